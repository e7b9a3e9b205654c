// The real program, started as a user starts it, on this test's display. Its version check reaches a server
// of this test through an HTTP proxy (the program honours the desktop's proxy settings), and the test uses
// the windows through the X server with xdotool, as a user would.
#include "LoopbackServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The maker's site, reached as the program's proxy: answers every request with this version file.
struct VersionSite {
    explicit VersionSite(const QByteArray& version)
        : server(answers::text(200, version)) {}
    QString proxy() const { return server.address(QString()); }

    LoopbackServer server;
};

// Runs xdotool and gives what it printed; empty when it failed.
QString xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(u"xdotool"_s, arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// The id of the visible window with exactly this title, or empty.
QString windowNamed(const QString& title) {
    const QString ids = xdotool(
        {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^"_s + QRegularExpression::escape(title) + u'$'});
    return ids.section(u'\n', 0, 0);
}

// Clicks at a point given relative to a window's top-left corner.
void clickIn(const QString& window, int x, int y) {
    xdotool(
        {u"mousemove"_s, u"--window"_s, window, QString::number(x), QString::number(y), u"click"_s, u"1"_s});
}

class Program {
public:
    explicit Program(const VersionSite& site) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // The program must switch the web engine's sandbox off for itself when it runs as root.
        environment.remove(u"QTWEBENGINE_DISABLE_SANDBOX"_s);
        environment.insert(u"http_proxy"_s, site.proxy());
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QDir(QCoreApplication::applicationDirPath()).filePath(u"mossport"_s), {});
    }
    ~Program() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

} // namespace

class ProgramTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display");
    }

    void aNewerVersionOffersTheUpdateAndUpdateNowEndsTheProgram() {
        VersionSite site(MOSSPORT_NEXT_VERSION "\n");
        Program program(site);
        QTRY_VERIFY_WITH_TIMEOUT(!windowNamed(u"Update Mossport"_s).isEmpty(), 20000);
        QVERIFY(windowNamed(u"Form1"_s).isEmpty());
        QCOMPARE(site.server.requests().size(), 1);
        QCOMPARE(site.server.requests()[0].method, QByteArray("GET"));
        QCOMPARE(site.server.requests()[0].target,
                 QByteArray("http://www.brambleden.com/mossport/version.kel"));

        // "Update Now" sits at 8, 112 and is 73 by 25 pixels.
        clickIn(windowNamed(u"Update Mossport"_s), 44, 124);
        QVERIFY(program.process().waitForFinished(20000));
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 0);
    }

    void theSplashGivesWayToTheGameWindowAndQuitEndsTheProgram() {
        VersionSite site(MOSSPORT_VERSION);
        Program program(site);
        QTRY_VERIFY_WITH_TIMEOUT(!windowNamed(u"Form1"_s).isEmpty(), 20000);
        QElapsedTimer splash;
        splash.start();
        QTRY_VERIFY_WITH_TIMEOUT(!windowNamed(u"Mossport - by Penwick"_s).isEmpty(), 20000);
        // The splash stays its three seconds, and is gone when the game window comes.
        QVERIFY2(splash.elapsed() > 2500, qPrintable(QString::number(splash.elapsed())));
        QVERIFY(windowNamed(u"Form1"_s).isEmpty());

        // File, then the last item of the menu (Quit), then "yes" into the question.
        const QString game = windowNamed(u"Mossport - by Penwick"_s);
        const auto shownWindows = [] {
            return xdotool({u"search"_s, u"--onlyvisible"_s, u"--class"_s, u"mossport"_s})
                .split(u'\n')
                .size();
        };
        const qsizetype before = shownWindows();
        clickIn(game, 15, 10);
        // The menu is a window of its own.
        QTRY_VERIFY_WITH_TIMEOUT(shownWindows() > before, 10000);
        xdotool({u"key"_s, u"--delay"_s, u"50"_s, u"Up"_s, u"Return"_s});
        QTRY_VERIFY_WITH_TIMEOUT(!windowNamed(u"Exit Mossport?"_s).isEmpty(), 10000);
        xdotool({u"type"_s, u"--delay"_s, u"50"_s, u"yes"_s});
        xdotool({u"key"_s, u"Return"_s});
        QVERIFY(program.process().waitForFinished(20000));
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "program_test.moc"
