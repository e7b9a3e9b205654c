// The start-up with its version check, from the splash window's load step to the splash, the update window or
// the game window. The maker's site is played by a server on 127.0.0.1 that the program's own HTTP transfer
// reaches as the application's proxy: the program asks for its real address, unchanged.
#include "LoopbackServer.h"
#include "app/Program.h"
#include "gamewindow/frmMain.h"
#include "host/QtHttp.h"
#include "startup/frmSplash.h"
#include "startup/frmUpdate.h"

#include "Controls.h"
#include "Fakes.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QNetworkProxy>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

void useProxy(quint16 port) {
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, port));
}

// The maker's site for the length of a test.
class Site final {
public:
    explicit Site(LoopbackServer::Handler handler)
        : server(std::move(handler)) {
        useProxy(server.port());
    }
    ~Site() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    LoopbackServer server;
};

Host withHttp(Host host, Http* http) {
    host.http = http;
    return host;
}

// A program with fakes for every outside component but the HTTP transfer, which is the real one.
struct Run {
    FakeHost fakes;
    QtHttp http;
    Program program{withHttp(fakes.host(), &http)};
    qint64 loadMs = -1;

    // What main() does: show the splash window, whose load step runs the version check.
    void start() {
        QElapsedTimer clock;
        clock.start();
        program.windows.show<frmSplash>();
        loadMs = clock.elapsed();
    }
};

// Lets the registry's end-of-handler check run, and the windows it closed go.
void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool anyVisible(const QString& name) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [&name](const QWidget* window) {
        return window->isVisible() && window->objectName() == name;
    });
}

const QByteArray newer = MOSSPORT_NEXT_VERSION;

// The ways out of the update window.
enum Way { Later, Now, CloseBox };

// How the maker's site fails to answer.
enum Failure { NotListening, NotFound, Endless, Never, Drip, DripBody };

// The process's peak resident memory in KiB, from /proc; -1 where it is not given.
qint64 peakMemoryKiB() {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

class VersionCheckTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() {
        settle();
        QVERIFY2(!anyVisible(u"frmSplash"_s) && !anyVisible(u"frmUpdate"_s) && !anyVisible(u"frmMain"_s),
                 "a window outlived its program");
    }

    void noNewerVersionShowsSplashThenGame_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("kept");

        const QString running = QStringLiteral(MOSSPORT_VERSION);
        QTest::newRow("equal") << QByteArray(MOSSPORT_VERSION) << running;
        QTest::newRow("equal with a line end") << QByteArray(MOSSPORT_VERSION "\r\n") << running;
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("error page served as 200")
            << QByteArray("<html><body><h1>Not Found</h1> 9.9.9</body></html>\n")
            << u"<html><body><h1>Not Found</h1> 9.9.9</body></html>"_s;
    }

    void noNewerVersionShowsSplashThenGame() {
        QFETCH(QByteArray, body);
        QFETCH(QString, kept);
        Site site(answers::text(200, body));
        Run run;
        run.start();

        QCOMPARE(site.server.requests().size(), 1);
        QCOMPARE(site.server.requests()[0].method, QByteArray("GET"));
        QCOMPARE(site.server.requests()[0].target,
                 QByteArray("http://www.brambleden.com/mossport/version.kel"));
        QCOMPARE(run.program.mod.strVersion, QStringLiteral(MOSSPORT_VERSION));
        QCOMPARE(run.program.mod.strNewVersion, kept);

        frmSplash* splash = run.program.windows.find<frmSplash>();
        QVERIFY(splash);
        QVERIFY(splash->isVisible());
        QCOMPARE(control<QLabel>(splash, "lblVersion")->text(), QStringLiteral("Version: " MOSSPORT_VERSION));
        QVERIFY(!run.program.windows.find<frmUpdate>());
        QVERIFY(!run.program.windows.find<frmMain>());

        handle(splash, "tmrSplash_Timer");
        settle();
        QVERIFY(!run.program.windows.find<frmSplash>());
        frmMain* game = run.program.windows.find<frmMain>();
        QVERIFY(game);
        QVERIFY(game->isVisible());
        QCOMPARE(run.program.windows.count(), 1);
        QVERIFY(!run.program.windows.hasEnded());
    }

    void newerVersionReplacesSplash_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("shown");

        QTest::newRow("next revision") << newer << QStringLiteral(MOSSPORT_NEXT_VERSION);
        QTest::newRow("two-digit revision, line end") << QByteArray("1.0.10\r\n") << u"1.0.10"_s;
    }

    void newerVersionReplacesSplash() {
        QFETCH(QByteArray, body);
        QFETCH(QString, shown);
        Site site(answers::text(200, body));
        Run run;
        run.start();

        QVERIFY(!run.program.windows.find<frmSplash>());
        QVERIFY(!anyVisible(u"frmSplash"_s));
        frmUpdate* update = run.program.windows.find<frmUpdate>();
        QVERIFY(update);
        QVERIFY(update->isVisible());
        QCOMPARE(control<QLabel>(update, "lblVersion")->text(), QStringLiteral(MOSSPORT_VERSION));
        QCOMPARE(control<QLabel>(update, "lblNewVersion")->text(), shown);
        QVERIFY(!run.program.windows.find<frmMain>());

        // The splash window closed inside its load step; the update window keeps the program going.
        settle();
        QVERIFY(!run.program.windows.hasEnded());
        QCOMPARE(run.program.windows.count(), 1);
    }

    void updateWindowAsDesigned() {
        Site site(answers::text(200, newer));
        Run run;
        run.start();
        frmUpdate* update = run.program.windows.find<frmUpdate>();
        QVERIFY(update);

        QCOMPARE(update->windowTitle(), u"Update Mossport"_s);
        // A tool window (no taskbar entry) of fixed size.
        QCOMPARE(update->windowType(), Qt::Tool);
        QCOMPARE(update->minimumSize(), QSize(312, 146));
        QCOMPARE(update->maximumSize(), QSize(312, 146));

        // The focus starts on "Update Now"; Tab goes between the two buttons only.
        QVERIFY(QTest::qWaitForWindowActive(update));
        QCOMPARE(QApplication::focusWidget(), control<QPushButton>(update, "cmdUpdate"));
        QTest::keyClick(update, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), control<QPushButton>(update, "cmdLater"));
        QTest::keyClick(update, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), control<QPushButton>(update, "cmdUpdate"));

        // The light band lies across the top, under the message; the dark grey below it.
        const QImage picture = update->grab().toImage();
        QCOMPARE(picture.pixelColor(2, 2), QColor(Qt::white));
        QCOMPARE(picture.pixelColor(2, 60), QColor(64, 64, 64));
        QVERIFY(control<QLabel>(update, "Label1")->geometry().bottom() <
                control<QWidget>(update, "shpCover")->geometry().bottom());
    }

    void leavingTheUpdateWindow_data() {
        QTest::addColumn<int>("way");
        QTest::addColumn<bool>("gameWindow");
        QTest::addColumn<QStringList>("opened");

        QTest::newRow("Update Later") << int(Later) << true << QStringList();
        QTest::newRow("Update Now") << int(Now) << false
                                    << QStringList{u"http://www.brambleden.com/mossport/update.exe"_s};
        QTest::newRow("close box") << int(CloseBox) << false << QStringList();
    }

    void leavingTheUpdateWindow() {
        QFETCH(int, way);
        QFETCH(bool, gameWindow);
        QFETCH(QStringList, opened);
        Site site(answers::text(200, newer));
        Run run;
        run.start();
        QPointer<frmUpdate> update = run.program.windows.find<frmUpdate>();
        QVERIFY(update);

        if (way == CloseBox)
            update->close();
        else
            QTest::mouseClick(way == Now ? control<QPushButton>(update, "cmdUpdate")
                                         : control<QPushButton>(update, "cmdLater"),
                              Qt::LeftButton);
        settle();

        QVERIFY(update.isNull());
        QCOMPARE(run.fakes.dialogs.opened, opened);
        QCOMPARE(run.program.windows.hasEnded(), !gameWindow);
        // The game window opens once, on the product page, or not at all.
        frmMain* game = run.program.windows.find<frmMain>();
        QCOMPARE(game != nullptr, gameWindow);
        QCOMPARE(run.program.windows.count(), gameWindow ? 1 : 0);
        if (gameWindow) {
            QVERIFY(game->isVisible());
            QCOMPARE(run.fakes.webViews().size(), 1);
            QCOMPARE(run.fakes.lastWebView()->navigations,
                     QStringList{u"http://www.brambleden.com/mossport/"_s});
        } else {
            QVERIFY(run.fakes.webViews().isEmpty());
        }
        // The version is not asked for again.
        QCOMPARE(site.server.requests().size(), 1);
    }

    void failedFetchGoesOnWithSplash_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("leastMs");
        QTest::addColumn<int>("mostMs");

        // Those that answer, or refuse, go on at once; those that hold on are cut off at the time limit.
        const int limit = QtHttp::timeLimitMs;
        QTest::newRow("nothing listening") << int(NotListening) << 0 << 1000;
        QTest::newRow("404 naming a newer version") << int(NotFound) << 0 << 1000;
        QTest::newRow("100 MiB") << int(Endless) << 0 << 1000;
        QTest::newRow("never answers") << int(Never) << limit - 100 << limit + 500;
        QTest::newRow("a byte every two seconds") << int(Drip) << limit - 100 << limit + 500;
        QTest::newRow("headers, then a byte every 200 ms") << int(DripBody) << limit - 100 << limit + 500;
    }

    void failedFetchGoesOnWithSplash() {
        QFETCH(int, kind);
        QFETCH(int, leastMs);
        QFETCH(int, mostMs);
        const LoopbackServer::Handler handlers[] = {
            answers::never(),
            answers::text(404, newer),
            answers::endless(100 * 1024 * 1024),
            answers::never(),
            answers::drip({}, answers::raw(200, newer), 2000),
            answers::drip("HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n", QByteArray(40, '2'), 200),
        };
        Site site(handlers[kind]);
        if (kind == NotListening)
            useProxy(LoopbackServer::closedPort());
        const qint64 peakBefore = peakMemoryKiB();
        Run run;
        run.start();

        QVERIFY2(run.loadMs >= leastMs && run.loadMs <= mostMs,
                 qPrintable(QString::number(run.loadMs) + u" ms"_s));
        QVERIFY(run.program.mod.strNewVersion.isEmpty());
        QVERIFY(!run.program.windows.find<frmUpdate>());
        frmSplash* splash = run.program.windows.find<frmSplash>();
        QVERIFY(splash);
        QVERIFY(splash->isVisible());
        QCOMPARE(control<QLabel>(splash, "lblVersion")->text(), QStringLiteral("Version: " MOSSPORT_VERSION));

        if (kind == Endless) {
            // What the server got rid of includes what the system buffers on both ends: far from the 100 MiB.
            QVERIFY2(site.server.bytesSent() < 16 * 1024 * 1024,
                     qPrintable(QString::number(site.server.bytesSent())));
            if (peakBefore < 0)
                QSKIP("/proc/self/status gives no peak memory here");
            const qint64 grewKiB = peakMemoryKiB() - peakBefore;
            QVERIFY2(grewKiB < 16 * 1024, qPrintable(QString::number(grewKiB) + u" KiB more at the peak"_s));
        }
    }
};

QTEST_MAIN(VersionCheckTest)
#include "versioncheck_test.moc"
