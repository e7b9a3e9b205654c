// Start-up benchmark: the time from launch to the splash on the screen, and from the splash timer's tick to
// the game window painted. Runs the program's own start-up with the real components; run.sh launches it five
// times under Xvfb and prints the medians:
//   bench/startup/run.sh BUILD_DIR
#include "app/Look.h"
#include "app/Program.h"
#include "gamewindow/frmMain.h"
#include "host/RealHost.h"
#include "startup/frmSplash.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

qint64 wallClockNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Stamps the first paint of the splash and of the game window, and the splash timer's tick.
class Stamps final : public QObject {
public:
    qint64 splashPainted = 0;
    qint64 tick = 0;
    qint64 gamePainted = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (!splashPainted && qobject_cast<frmSplash*>(watched))
                stampAfterPaint(splashPainted);
            else if (!gamePainted && qobject_cast<frmMain*>(watched))
                stampAfterPaint(gamePainted);
        } else if (event->type() == QEvent::Timer && !tick && watched->objectName() == u"tmrSplash"_s) {
            tick = wallClockNs();
        }
        return false;
    }

private:
    // The paint is done once control is back in the event loop.
    void stampAfterPaint(qint64& stamp) {
        stamp = -1;
        QTimer::singleShot(0, this, [&stamp] { stamp = wallClockNs(); });
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: startup_bench LAUNCH_TIME_NS\n");
        return 2;
    }
    const qint64 launched = QByteArray(argv[1]).toLongLong();
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Mossport"_s);
    QApplication::setQuitOnLastWindowClosed(false);
    Stamps stamps;
    app.installEventFilter(&stamps);
    look::registerTahoma();

    RealHost host(QCoreApplication::applicationDirPath());
    Program program(host.host());
    QObject::connect(&program.windows, &Windows::programEnded, &app, [] { QApplication::exit(0); });
    program.windows.show<frmSplash>();

    QTimer done;
    done.setInterval(20);
    QObject::connect(&done, &QTimer::timeout, &app, [&] {
        if (stamps.gamePainted > 0)
            program.windows.endProgram();
    });
    done.start();
    QTimer::singleShot(20000, &app, [&] { program.windows.endProgram(); });
    QApplication::exec();

    if (stamps.splashPainted <= 0 || stamps.gamePainted <= 0) {
        std::fprintf(stderr, "startup_bench: a window was never painted\n");
        return 1;
    }
    std::printf("%.1f %.1f\n", double(stamps.splashPainted - launched) / 1e6,
                double(stamps.gamePainted - stamps.tick) / 1e6);
    return 0;
}
