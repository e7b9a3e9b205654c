// Screenshots where the program cannot read the screen: the real portal client against a stand-in
// screenshot portal on a private session bus, with fakes for the screen, clipboard, beep and messages.
#include "Fakes.h"
#include "StandInPortal.h"
#include "gamewindow/Screenshot.h"
#include "host/DBusScreenPortal.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QStandardPaths>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString screenshotName = u"Jun 05 07 14 03 09.png"_s;
// How long a test waits for an answer to go through the bus: a few milliseconds at rest, much more on a
// machine busy with other tests.
constexpr int answerWait = 20000;

// A picture with something to recognise in it.
QImage testPicture() {
    QImage picture(320, 180, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QPainter(&picture).fillRect(200, 100, 60, 40, Qt::magenta);
    return picture;
}

QImage asRgb(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class PortalTest final : public QObject {
    Q_OBJECT

    // A program whose screen gives no picture, a picSC, and the real portal client on the private bus.
    struct Session {
        explicit Session(const QDBusConnection& bus)
            : portal([bus] { return bus; }) {
            host = fakes.host();
            host.screenPortal = &portal;
            fakes.desktop.clock = QDateTime(QDate(2007, 6, 5), QTime(14, 3, 9));
            fakes.desktop.clipboard = QImage(2, 2, QImage::Format_RGB32);
        }
        void take() { screenshot::take(host, picSC.get()); }
        QString folder() const { return host.programFolder + u"/screenshots"_s; }
        // Nothing kept: no file, no beep; the clipboard as it was before.
        void verifyNothingKept() const {
            QCOMPARE(entries(folder()), QStringList());
            QCOMPARE(fakes.desktop.beeps, 0);
            QCOMPARE(fakes.desktop.clipboard.size(), QSize(2, 2));
        }

        FakeHost fakes;
        DBusScreenPortal portal;
        Host host;
        std::unique_ptr<QLabel> picSC = std::make_unique<QLabel>();
    };

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<StandInPortal> m_standIn;
    QDBusConnection m_client{QString()};

private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty())
            QSKIP("needs dbus-daemon (Debian package dbus-daemon) for a private session bus");
        m_bus = std::make_unique<PrivateBus>();
        QVERIFY2(!m_bus->address().isEmpty(), qPrintable(m_bus->problem()));
        m_standIn = std::make_unique<StandInPortal>();
        QVERIFY(m_standIn->registerOn(*m_bus));
        m_standIn->picture = testPicture();
        m_client = m_bus->connect(u"program"_s);
        QVERIFY(m_client.isConnected());
    }
    void init() {
        m_standIn->reply = StandInPortal::Picture;
        m_standIn->calls.clear();
    }

    // The picture goes the usual way: clipboard, picSC, the screenshots folder, and a beep; the portal's own
    // file is removed once read. A second request while the first is open asks nothing.
    void thePortalsPictureIsKeptAsACaptureIs() {
        Session s(m_client);
        m_standIn->reply = StandInPortal::Hold;
        QElapsedTimer roundTrip;
        roundTrip.start();
        s.take();
        QTRY_COMPARE_WITH_TIMEOUT(m_standIn->calls.size(), 1, answerWait);
        s.take();
        QVERIFY(s.portal.isOpen());
        m_standIn->answer(StandInPortal::Picture);
        QTRY_COMPARE_WITH_TIMEOUT(s.fakes.desktop.beeps, 1, answerWait);

        const QVariantMap asked = m_standIn->calls.first();
        QCOMPARE(asked.value(u"interactive"_s), QVariant(false));
        QVERIFY(!asked.value(u"handle_token"_s).toString().isEmpty());

        const QString path = s.folder() + u'/' + screenshotName;
        QCOMPARE(entries(s.folder()), QStringList{screenshotName});
        QCOMPARE(QImageReader(path).format(), QByteArray("png"));
        QVERIFY(asRgb(QImage(path)) == testPicture());
        QVERIFY(asRgb(s.fakes.desktop.clipboard) == testPicture());
        QVERIFY(asRgb(s.picSC->pixmap().toImage()) == testPicture());
        QCOMPARE(s.fakes.dialogs.told, QStringList());
        QVERIFY(!QFileInfo::exists(m_standIn->lastFile));
        QVERIFY(!s.portal.isOpen());
        QVERIFY(!s.portal.answerTimer().isActive());

        // The portal answers at once now; the whole way from the request to the written file, measured.
        roundTrip.restart();
        m_standIn->reply = StandInPortal::Picture;
        s.take();
        QTRY_COMPARE_WITH_TIMEOUT(s.fakes.desktop.beeps, 2, answerWait);
        qInfo("portal round trip to the written file, stand-in portal: %lld ms", roundTrip.elapsed());
        QCOMPARE(entries(s.folder()).size(), 2);
        // Calls reach the portal in the order they are made: the request made while the first was open would
        // have come before this one.
        QCOMPARE(m_standIn->calls.size(), 2);
    }

    void aCancelledOrRefusedRequestSavesNothing_data() {
        QTest::addColumn<int>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("cancelled") << int(StandInPortal::Cancelled)
                                   << u"The screenshot could not be taken: it was cancelled."_s;
        QTest::newRow("refused") << int(StandInPortal::Refused)
                                 << u"The screenshot could not be taken: the desktop refused it."_s;
    }
    void aCancelledOrRefusedRequestSavesNothing() {
        QFETCH(int, reply);
        QFETCH(QString, message);
        Session s(m_client);
        m_standIn->reply = StandInPortal::Reply(reply);
        s.take();
        QTRY_COMPARE_WITH_TIMEOUT(s.fakes.dialogs.told, QStringList{message}, answerWait);
        s.verifyNothingKept();
        // The program goes on: the next request is asked and answered.
        m_standIn->reply = StandInPortal::Picture;
        s.take();
        QTRY_COMPARE_WITH_TIMEOUT(s.fakes.desktop.beeps, 1, answerWait);
        QCOMPARE(m_standIn->calls.size(), 2);
    }

    // A portal that never answers: the request stays open, further requests ask nothing, and when the answer
    // time is up the user is told; an answer after that changes nothing.
    void aPortalThatNeverAnswersIsGivenUp() {
        Session s(m_client);
        m_standIn->reply = StandInPortal::Hold;
        // Not even the call's own reply comes before the time is up.
        m_standIn->holdCallReply = true;
        s.take();
        QTRY_COMPARE_WITH_TIMEOUT(m_standIn->calls.size(), 1, answerWait);
        m_standIn->holdCallReply = false;
        QVERIFY(s.portal.isOpen());
        QVERIFY(s.portal.answerTimer().isActive());
        QCOMPARE(s.portal.answerTimer().intervalAsDuration(), DBusScreenPortal::answerTime);
        s.take();
        QCOMPARE(s.fakes.dialogs.told, QStringList());

        s.portal.answerTimer_Timeout();
        QCOMPARE(s.fakes.dialogs.told,
                 QStringList{u"The screenshot could not be taken: the desktop did not answer."_s});
        QVERIFY(!s.portal.isOpen());
        QVERIFY(!s.portal.answerTimer().isActive());

        // A new request is asked. The given-up call's late reply, and its late answer, do not disturb it:
        // the new request hears its own answer.
        s.take();
        QTRY_COMPARE_WITH_TIMEOUT(m_standIn->calls.size(), 2, answerWait);
        m_standIn->releaseCallReply();
        m_standIn->answer(StandInPortal::Picture);
        QTRY_COMPARE_WITH_TIMEOUT(s.fakes.desktop.beeps, 1, answerWait);
        QCOMPARE(entries(s.folder()), QStringList{screenshotName});
        QCOMPARE(s.fakes.dialogs.told.size(), 1);
        // The request made while the first was open asked nothing (calls arrive in order).
        QCOMPARE(m_standIn->calls.size(), 2);
    }

    void withoutAPortalThereIsOneMessage_data() {
        QTest::addColumn<bool>("bus");
        QTest::newRow("a session bus without the portal") << true;
        QTest::newRow("no session bus") << false;
    }
    void withoutAPortalThereIsOneMessage() {
        QFETCH(bool, bus);
        // A second bus of the test's own, where no portal is registered.
        PrivateBus empty;
        QVERIFY2(!empty.address().isEmpty(), qPrintable(empty.problem()));
        Session s(bus ? empty.connect(u"program on an empty bus"_s)
                      : QDBusConnection::connectToBus(u"unix:path=/nonexistent/bus"_s, u"no bus"_s));
        s.take();
        QTRY_COMPARE_WITH_TIMEOUT(
            s.fakes.dialogs.told,
            QStringList{u"The screenshot could not be taken: this desktop offers no screenshot service."_s},
            answerWait);
        s.verifyNothingKept();
        QVERIFY(!s.portal.isOpen());
    }

    // The game window closed while the request is open: the answer ends the capture quietly.
    void aWindowClosedWhileTheRequestIsOpenEndsQuietly() {
        Session s(m_client);
        m_standIn->reply = StandInPortal::Hold;
        s.take();
        QTRY_COMPARE_WITH_TIMEOUT(m_standIn->calls.size(), 1, answerWait);
        s.picSC.reset();
        m_standIn->answer(StandInPortal::Picture);
        QTRY_VERIFY_WITH_TIMEOUT(!s.portal.isOpen(), answerWait);
        QCOMPARE(s.fakes.dialogs.told, QStringList());
        s.verifyNothingKept();
        QVERIFY(!QFileInfo::exists(m_standIn->lastFile));
    }
};

int main(int argc, char** argv) {
    // The names are checked in the English month names of the C locale, whatever the machine's locale is.
    qputenv("LC_ALL", "C.UTF-8");
    QApplication app(argc, argv);
    PortalTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "portal_test.moc"
