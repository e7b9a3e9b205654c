// The program's one web profile as a user meets it across starts: a login kept through every way the program
// ends, a second copy that leaves the first one's store alone, and folders no one else can read. Each start
// is a separate process (webprofile_session) in a temporary HOME, against pages on 127.0.0.1.
#include "LoopbackServer.h"
#include "host/WebProfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineProfile>

using namespace Qt::StringLiterals;

namespace {

// A user's home of its own, with the data and cache folders the program finds there.
struct Home {
    Home() {
        environment.insert(u"HOME"_s, dir.path());
        environment.insert(u"XDG_DATA_HOME"_s, dir.path() + u"/.local/share"_s);
        environment.insert(u"XDG_CACHE_HOME"_s, dir.path() + u"/.cache"_s);
        environment.insert(u"XDG_CONFIG_HOME"_s, dir.path() + u"/.config"_s);
    }
    QString data() const { return dir.path() + u"/.local/share/Mossport"_s; }
    QString cache() const { return dir.path() + u"/.cache/Mossport"_s; }

    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

constexpr QFile::Permissions groupOrOther = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                            QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

void startSession(QProcess& session, const Home& home, const QString& address, const QStringList& more) {
    session.setProcessEnvironment(home.environment);
    session.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    session.start(QStringLiteral(MOSSPORT_SESSION), QStringList{address} + more);
}

// Runs one whole session; what its page said, or why it failed.
QString runSession(const Home& home, const QString& address, const QString& ending) {
    QProcess session;
    startSession(session, home, address, {ending});
    // The pages come from this process: its event loop must run meanwhile.
    if (!QTest::qWaitFor([&session] { return session.state() == QProcess::NotRunning; }, 60000))
        return u"(no end)"_s;
    if (session.exitStatus() != QProcess::NormalExit || session.exitCode() != 0)
        return u"(failed with %1)"_s.arg(session.exitCode());
    return QString::fromLocal8Bit(session.readAllStandardOutput()).trimmed();
}

} // namespace

class WebProfileTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        m_server.addPage(u"/login"_s,
                         "<html><script>localStorage.setItem('player', 'zezima');"
                         "document.title = 'done:login';</script></html>",
                         "Set-Cookie: session=s3cret; Max-Age=31536000; Path=/\r\n");
        m_server.addPage(u"/check"_s, "<html><script>document.title = 'done:' + "
                                      "(localStorage.getItem('player') || 'nobody');</script></html>");
    }

    void aLoginSurvivesEveryEnding_data() {
        QTest::addColumn<QString>("ending");
        QTest::newRow("Quit") << u"quit"_s;
        QTest::newRow("close box") << u"close"_s;
        QTest::newRow("Update Now") << u"update"_s;
    }
    void aLoginSurvivesEveryEnding() {
        QFETCH(QString, ending);
        Home home;
        // A data folder that others could read is made private.
        QVERIFY(QDir().mkpath(home.data()));
        QVERIFY(QFile::setPermissions(home.data(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadGroup | QFile::ReadOther));

        // The session ends as soon as the page has set its cookie and its stored value.
        QCOMPARE(runSession(home, m_server.address(u"/login"_s), ending), u"done:login"_s);
        const qsizetype before = m_server.requests().size();
        QCOMPARE(runSession(home, m_server.address(u"/check"_s), u"quit"_s), u"done:zezima"_s);
        QVERIFY(m_server.requests().size() > before);
        const LoopbackServer::Request first = m_server.requests().at(before);
        QCOMPARE(first.target, "/check");
        QVERIFY2(first.head.contains("\r\nCookie: session=s3cret"), first.head.constData());

        // No one but the user can reach what the engine wrote: some of its files are readable by all (its
        // "Visited Links", say), but they lie in folders that others cannot enter.
        for (const QString& folder : {home.data(), home.cache()}) {
            QCOMPARE(QFileInfo(folder).permissions() & groupOrOther, QFile::Permissions());
            QVERIFY(!QDir(folder + u"/web"_s).isEmpty());
        }
    }

    void aSecondCopyKeepsToMemoryAndLeavesTheStoreAlone() {
        Home home;
        QCOMPARE(runSession(home, m_server.address(u"/login"_s), u"quit"_s), u"done:login"_s);

        QProcess first;
        startSession(first, home, m_server.address(u"/check"_s), {u"quit"_s, u"hold"_s});
        QTRY_VERIFY_WITH_TIMEOUT(first.canReadLine() || first.state() == QProcess::NotRunning, 60000);
        QCOMPARE(first.readLine().trimmed(), "done:zezima");
        // The first copy has held its lock for an hour: that does not make the lock stale.
        QFile lock(home.data() + u"/web.lock"_s);
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(
            lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        lock.close();

        qsizetype before = m_server.requests().size();
        QCOMPARE(runSession(home, m_server.address(u"/check"_s), u"quit"_s), u"done:nobody"_s);
        QVERIFY(!firstCheckSince(before).contains("Cookie:"));

        // The first copy dies without cleaning up: its store is whole, and the next copy takes its lock over.
        first.kill();
        QTRY_COMPARE_WITH_TIMEOUT(first.state(), QProcess::NotRunning, 20000);
        before = m_server.requests().size();
        QCOMPARE(runSession(home, m_server.address(u"/check"_s), u"quit"_s), u"done:zezima"_s);
        QVERIFY(firstCheckSince(before).contains("\r\nCookie: session=s3cret"));
    }

    void aStoreThatCannotBeMadeKeepsToMemory_data() {
        QTest::addColumn<bool>("dataBlocked");
        QTest::newRow("data folder") << true;
        QTest::newRow("cache folder") << false;
    }
    void aStoreThatCannotBeMadeKeepsToMemory() {
        QFETCH(bool, dataBlocked);
        QTemporaryDir dir;
        // A file where a folder has to be: no one, not even root, can make the folder.
        QFile blocker(dir.filePath(u"file"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const QString blocked = blocker.fileName() + u"/Mossport"_s;
        const QString open = dir.filePath(u"Mossport"_s);
        WebProfile profile({dataBlocked ? blocked : open, dataBlocked ? open : blocked});
        QVERIFY(!profile.isPersistent());
        QVERIFY(profile.engineProfile()->isOffTheRecord());
    }

private:
    // The head of the first request for the check page since this many requests; the first copy's requests
    // for other things may come in between.
    QByteArray firstCheckSince(qsizetype before) const {
        for (qsizetype i = before; i < m_server.requests().size(); ++i) {
            if (m_server.requests().at(i).target == "/check")
                return m_server.requests().at(i).head;
        }
        return "(none)";
    }

    LoopbackServer m_server;
};

QTEST_MAIN(WebProfileTest)
#include "webprofile_test.moc"
