// Idle cost of the game window: the processor time and memory that Mossport's game window uses while it shows
// a page and the play-time clock runs, against a bare QWebEngineView of the same size on the same page. Both
// run side by side in the same run (as separate processes, with the sidebar shown in a third, and in a fourth
// the game window with no page at all), so that the machine's load falls on each alike; the page is served on
// 127.0.0.1 by this process.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" build-test/bin/idle_bench [SECONDS]
//
// SECONDS (60 unless given) is how long the processor time is counted, after every window has shown its page
// and settled for 5 s. Prints, per process tree: clock ticks of processor time (all processes, and the main
// process alone), the share of one core, the resident memory of the main process and of all its processes
// (summed, so libraries they share count more than once). Exits with 1 when Mossport (sidebar out of sight,
// as it starts) uses more than 0.1% of a core above the bare view.
#include "app/Look.h"
#include "app/Program.h"
#include "gamewindow/frmMain.h"
#include "host/RealHost.h"
#include "host/WebView.h"

#include <LoopbackServer.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <cstdio>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kSettleMs = 5000;
constexpr double kAllowedExtraPercent = 0.1;

// A page like a game's front page: text, a table and pictures drawn by the browser, nothing that moves.
const QByteArray kPage = R"(<!doctype html><html><head><title>Idle page</title><style>
body { font-family: sans-serif; background: #1b2a1b; color: #e0e0c0; margin: 20px }
.box { background: linear-gradient(#3a5a3a, #1b2a1b); border: 2px solid #a08040; padding: 12px; margin: 8px 0 }
td { border: 1px solid #806030; padding: 4px 10px }
</style></head><body><h1>Brambleden</h1>
<div class="box"><h2>News</h2><p>The servers are up. A new quest is out in the swamp to the south.</p></div>
<div class="box"><table><tr><td>Attack</td><td>40</td></tr><tr><td>Strength</td><td>38</td></tr>
<tr><td>Defence</td><td>35</td></tr><tr><td>Magic</td><td>52</td></tr></table></div>
<div class="box"><p>Play now: choose a world below.</p><ul><li>World 1</li><li>World 2</li><li>World 3</li></ul></div>
</body></html>)";

// ----- the windows measured, each in a process of its own -----

// The game window as the program shows it, pointed at the served page, its clock running. Without a page,
// the web view shows nothing: the main process's memory without web content.
int runMossport(int argc, char** argv, const QUrl& page, bool sidebar) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Mossport"_s);
    QApplication::setQuitOnLastWindowClosed(false);
    look::registerTahoma();
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(u"notes"_s);
    QDir(folder.path()).mkpath(u"screenshots"_s);
    RealHost host(folder.path());
    Program program(host.host());
    frmMain* window = program.windows.show<frmMain>();
    if (!window)
        return 1;
    if (sidebar)
        window->mnuSidebar->trigger();
    QObject::connect(window->wbApplet, &WebView::TitleChange, &app, [](const QString& title) {
        if (title == u"Idle page"_s) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
    if (page.isEmpty()) {
        QTimer::singleShot(0, &app, [] {
            std::printf("ready\n");
            std::fflush(stdout);
        });
    } else {
        window->wbApplet->Navigate(page.toString());
    }
    return QApplication::exec();
}

// A bare web view of the game window's web view size on the same page.
int runBare(int argc, char** argv, const QUrl& page) {
    QApplication app(argc, argv);
    QWebEngineView view;
    view.resize(777, 545);
    QObject::connect(&view, &QWebEngineView::titleChanged, &app, [](const QString& title) {
        if (title == u"Idle page"_s) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
    view.load(page);
    view.show();
    return QApplication::exec();
}

// ----- measuring -----

struct Usage {
    qint64 ticksAll = 0;
    qint64 ticksMain = 0;
    qint64 rssMainKb = 0;
    qint64 rssAllKb = 0;
};

QList<QByteArray> statFields(qint64 pid) {
    QFile file(u"/proc/%1/stat"_s.arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = file.readAll();
    // The command name in parentheses may hold spaces; the fields after it are plain numbers.
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return {};
    return line.mid(close + 2).split(' ');
}

qint64 ticksOf(qint64 pid) {
    const QList<QByteArray> f = statFields(pid);
    return f.size() > 12 ? f[11].toLongLong() + f[12].toLongLong() : 0; // utime, stime
}

qint64 kbFrom(const QString& file, const QByteArray& key) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : in.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

// The process and every process under it (the web engine's helpers).
QList<qint64> treeOf(qint64 root) {
    QHash<qint64, QList<qint64>> children;
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        const QList<QByteArray> f = number ? statFields(pid) : QList<QByteArray>();
        if (f.size() > 1)
            children[f[1].toLongLong()].append(pid);
    }
    QList<qint64> tree{root};
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree += children.value(tree[i]);
    return tree;
}

Usage usageOf(qint64 root) {
    Usage usage;
    for (const qint64 pid : treeOf(root)) {
        usage.ticksAll += ticksOf(pid);
        usage.rssAllKb += kbFrom(u"/proc/%1/status"_s.arg(pid), "VmRSS:");
    }
    usage.ticksMain = ticksOf(root);
    usage.rssMainKb = kbFrom(u"/proc/%1/status"_s.arg(root), "VmRSS:");
    return usage;
}

struct Subject {
    QString name;
    QStringList arguments;
    QProcess* process = nullptr;
    bool ready = false;
    Usage start;
    Usage end;
};

} // namespace

int main(int argc, char** argv) {
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QT_LOGGING_RULES", "qt.webenginecontext.info=false");
    if (argc == 3 && QByteArray(argv[1]) == "--bare")
        return runBare(argc, argv, QUrl(QString::fromLatin1(argv[2])));
    if (argc == 3 && QByteArray(argv[1]) == "--mossport")
        return runMossport(argc, argv, QUrl(QString::fromLatin1(argv[2])), false);
    if (argc == 3 && QByteArray(argv[1]) == "--mossport-sidebar")
        return runMossport(argc, argv, QUrl(QString::fromLatin1(argv[2])), true);
    if (argc == 2 && QByteArray(argv[1]) == "--mossport-no-page")
        return runMossport(argc, argv, QUrl(), false);

    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: idle_bench [SECONDS]\n");
        return 2;
    }
    LoopbackServer server;
    server.addPage(u"/idle.html"_s, kPage);
    const QString page = server.address(u"/idle.html"_s);

    QList<Subject> subjects(4);
    subjects[0].name = u"bare QWebEngineView"_s;
    subjects[0].arguments = QStringList{u"--bare"_s, page};
    subjects[1].name = u"Mossport game window"_s;
    subjects[1].arguments = QStringList{u"--mossport"_s, page};
    subjects[2].name = u"Mossport, sidebar shown"_s;
    subjects[2].arguments = QStringList{u"--mossport-sidebar"_s, page};
    subjects[3].name = u"Mossport, no page"_s;
    subjects[3].arguments = QStringList{u"--mossport-no-page"_s};
    int readyCount = 0;
    for (Subject& s : subjects) {
        s.process = new QProcess(&app);
        s.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(s.process, &QProcess::readyReadStandardOutput, &app, [&s, &readyCount] {
            if (!s.ready && s.process->readAllStandardOutput().contains("ready")) {
                s.ready = true;
                ++readyCount;
            }
        });
        s.process->start(QCoreApplication::applicationFilePath(), s.arguments);
    }

    QElapsedTimer waited;
    waited.start();
    while (readyCount < subjects.size() && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    bool ok = readyCount == subjects.size();
    if (ok) {
        const auto waitFor = [](int ms) {
            QElapsedTimer timer;
            timer.start();
            while (timer.elapsed() < ms)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        };
        waitFor(kSettleMs);
        for (Subject& s : subjects)
            s.start = usageOf(s.process->processId());
        waitFor(seconds * 1000);
        for (Subject& s : subjects)
            s.end = usageOf(s.process->processId());
    } else {
        std::fprintf(stderr, "idle_bench: a window never showed the page\n");
    }
    for (Subject& s : subjects) {
        s.process->terminate();
        if (!s.process->waitForFinished(10000))
            s.process->kill();
    }
    if (!ok)
        return 1;

    const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
    std::printf("idle for %d s after %d s to settle; %g ticks a second\n", seconds, kSettleMs / 1000,
                ticksPerSecond);
    std::printf("%-26s %10s %10s %10s %14s %14s\n", "", "ticks all", "ticks main", "% of core",
                "main RSS MiB", "all RSS MiB");
    QList<double> percents;
    for (const Subject& s : subjects) {
        const qint64 all = s.end.ticksAll - s.start.ticksAll;
        const qint64 main = s.end.ticksMain - s.start.ticksMain;
        const double percent = 100.0 * double(all) / (ticksPerSecond * seconds);
        percents.append(percent);
        std::printf("%-26s %10lld %10lld %10.3f %14.1f %14.1f\n", qPrintable(s.name), all, main, percent,
                    double(s.end.rssMainKb) / 1024, double(s.end.rssAllKb) / 1024);
    }
    const double extra = percents[1] - percents[0];
    std::printf(
        "Mossport above the bare view: %.3f%% of a core (allowed %.1f%%); with the sidebar shown %.3f%%\n",
        extra, kAllowedExtraPercent, percents[2] - percents[0]);
    return extra <= kAllowedExtraPercent ? 0 : 1;
}
