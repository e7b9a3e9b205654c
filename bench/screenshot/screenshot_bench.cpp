// How long "Take SS" takes on a full-HD screen: the whole capture (clipboard, grab, event pump, name, PNG
// file, beep), timed around screenshot::take, median of N runs, and the size of the file it writes.
//
// From the build folder (build-shot):
//   xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" bin/screenshot_bench [runs] [scene] [levels]
//
// runs: 21 unless given. scene: "page" (default), a rendered web page with a textured game area, text in many
// colours and gradients; or "noise", every pixel random, the worst case for PNG. Add "levels" to also print
// the PNG encoding time and size of that screen at every zlib level, which is how the level was chosen.
#include "gamewindow/Screenshot.h"
#include "host/Dialogs.h"
#include "host/Host.h"
#include "host/QtDesktop.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Messages end the benchmark: a capture that fails has nothing to measure.
class FailingDialogs final : public Dialogs {
public:
    QString ask(const QString&, const QString&) override { return {}; }
    void tell(const QString& message) override {
        std::fprintf(stderr, "screenshot_bench: %s\n", qPrintable(message));
        std::exit(1);
    }
    bool confirm(const QString&) override { return false; }
    QString chooseSaveFile(const QString&) override { return {}; }
    std::optional<Login> askLogin(const QString&, const QString&) override { return std::nullopt; }
    void openInBrowser(const QString&) override {}
};

// A page as busy as a game screen: a game area of textured, shaded terrain drawn pixel by pixel, beside
// columns of text in many colours over gradients.
QString busyPage() {
    QString text;
    for (int i = 0; i < 400; ++i)
        text += u"<span style='color:hsl(%1,70%,%2%)'>Quest log %3: the bridge at Lumb</span> "_s
                    .arg((i * 37) % 360)
                    .arg(45 + i % 30)
                    .arg(i);
    return uR"(<!doctype html><html><head><title>loading</title><style>
body{margin:0;background:linear-gradient(135deg,#203040,#604020);font:13px sans-serif;color:#eee}
#game{position:absolute;left:8px;top:8px} #side{position:absolute;left:1290px;top:8px;width:620px}
#below{position:absolute;left:8px;top:820px;width:1270px;columns:3}
</style></head><body><canvas id="game" width="1270" height="800"></canvas><div id="side">%1</div>
<div id="below">%1</div><script>
const c = document.getElementById('game'), g = c.getContext('2d');
const img = g.createImageData(c.width, c.height); let seed = 7;
function rnd() { seed = (seed * 1103515245 + 12345) & 0x7fffffff; return seed / 0x7fffffff; }
for (let y = 0; y < c.height; ++y) for (let x = 0; x < c.width; ++x) {
  const h = Math.sin(x / 37) * Math.cos(y / 23) + Math.sin((x + y) / 91), k = (y * c.width + x) * 4;
  const n = rnd() * 40, grass = h > 0;
  img.data[k] = (grass ? 40 : 110) + n + h * 30; img.data[k + 1] = (grass ? 120 : 90) + n + h * 25;
  img.data[k + 2] = (grass ? 30 : 60) + n; img.data[k + 3] = 255;
}
g.putImageData(img, 0, 0);
for (let i = 0; i < 60; ++i) { g.fillStyle = 'hsl(' + (i * 53 % 360) + ',60%,50%)';
  g.fillRect(rnd() * 1200, rnd() * 740, 20 + rnd() * 50, 20 + rnd() * 50); }
requestAnimationFrame(() => requestAnimationFrame(() => { document.title = 'ready'; }));
</script></body></html>)"_s.arg(text);
}

// Every pixel random: nothing for PNG to compress.
class NoiseWindow final : public QWidget {
public:
    NoiseWindow()
        : QWidget(nullptr, Qt::FramelessWindowHint)
        , m_picture(QGuiApplication::primaryScreen()->size(), QImage::Format_RGB32) {
        QRandomGenerator random(7);
        for (int y = 0; y < m_picture.height(); ++y) {
            auto* line = reinterpret_cast<quint32*>(m_picture.scanLine(y));
            for (int x = 0; x < m_picture.width(); ++x)
                line[x] = random.generate();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, m_picture); }

private:
    QImage m_picture;
};

void runEvents(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Shows the scene over the whole screen and waits until it is on the screen.
QWidget* showScene(const QString& scene) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget* window = nullptr;
    if (scene == u"noise"_s) {
        window = new NoiseWindow;
    } else {
        auto* view = new QWebEngineView;
        view->setWindowFlags(Qt::FramelessWindowHint);
        QEventLoop loop;
        QObject::connect(view, &QWebEngineView::titleChanged, &loop, [&loop](const QString& title) {
            if (title == u"ready"_s)
                loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        view->setHtml(busyPage());
        window = view;
        window->setGeometry(screen);
        window->show();
        loop.exec();
    }
    window->setGeometry(screen);
    window->show();
    // Let the compositor put the last frame on the screen.
    runEvents(1500);
    return window;
}

// CPU time of the calling thread, which does the whole capture: on a busy machine it shows what the
// capture itself costs, apart from the time other processes take.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

template <class T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Encoding time and size of one picture at each zlib level, through QImageWriter's 0 to 100 scale.
void printLevels(const QImage& picture) {
    std::printf("level  compression  encode ms  CPU ms  size (medians of 5)\n");
    for (int level = -1; level <= 9; ++level) {
        // Qt maps its 0..100 to zlib's 0..9 as compression * 9 / 91; this is the smallest value for a level.
        const int compression = level < 0 ? -1 : (level * 91 + 8) / 9;
        std::vector<qint64> times;
        std::vector<double> cpuTimes;
        qint64 size = 0;
        for (int i = 0; i < 5; ++i) {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "png");
            writer.setCompression(compression);
            QElapsedTimer timer;
            timer.start();
            const double cpuStart = threadCpuMs();
            writer.write(picture);
            cpuTimes.push_back(threadCpuMs() - cpuStart);
            times.push_back(timer.elapsed());
            size = buffer.size();
        }
        std::printf("%5s  %11d  %9lld  %6.0f  %.2f MB%s\n",
                    level < 0 ? "Qt" : qPrintable(QString::number(level)), compression, median(times),
                    median(cpuTimes), double(size) / 1e6,
                    compression == screenshot::pngCompression ? "  <- used" : "");
    }
}

} // namespace

int main(int argc, char** argv) {
    // The web engine refuses to run as root with its sandbox on; it reads this before the application exists.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    int runs = 21;
    QString scene = u"page"_s;
    bool levels = false;
    for (const QString& argument : arguments) {
        bool isNumber = false;
        const int number = argument.toInt(&isNumber);
        if (isNumber && number > 0)
            runs = number;
        else if (argument == u"levels"_s)
            levels = true;
        else
            scene = argument;
    }

    QWidget* window = showScene(scene);

    QTemporaryDir programFolder(QDir::currentPath() + u"/screenshot-bench-XXXXXX"_s);
    if (!programFolder.isValid() || !QDir(programFolder.path()).mkdir(u"screenshots"_s)) {
        std::fprintf(stderr, "screenshot_bench: no temporary program folder in %s\n",
                     qPrintable(QDir::currentPath()));
        return 1;
    }
    QtDesktop desktop;
    FailingDialogs dialogs;
    Host host;
    host.desktop = &desktop;
    host.dialogs = &dialogs;
    host.programFolder = programFolder.path();
    QLabel picSC;
    const QDir folder(programFolder.path() + u"/screenshots"_s);

    std::vector<qint64> times;
    std::vector<double> cpuTimes;
    std::vector<qint64> sizes;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        screenshot::take(host, &picSC);
        cpuTimes.push_back(threadCpuMs() - cpuStart);
        times.push_back(timer.elapsed());
        // One file per run, as when captures are seconds apart: remove it before the next.
        const QFileInfoList files = folder.entryInfoList(QDir::Files);
        for (const QFileInfo& file : files) {
            sizes.push_back(file.size());
            QFile::remove(file.filePath());
        }
    }

    const QSize size = picSC.pixmap().size();
    std::printf("screenshot: %dx%d %s screen, PNG compression %d: median %lld ms over %d runs "
                "(first %lld, min %lld, max %lld; CPU median %.0f ms); file %.2f MB (median)\n",
                size.width(), size.height(), qPrintable(scene), screenshot::pngCompression, median(times),
                runs, times.front(), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()), median(cpuTimes), double(median(sizes)) / 1e6);
    if (levels)
        printLevels(desktop.grabScreen());
    delete window;
    return 0;
}
