// The splash window: its design, its load step and the hand-over to the game window after one tick.
#include "Controls.h"
#include "Fakes.h"
#include "app/ClickableLabel.h"
#include "app/Look.h"
#include "app/Program.h"
#include "gamewindow/frmMain.h"
#include "startup/frmSplash.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class SplashTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { look::registerTahoma(); }

    void theSplashIsAsDesigned() {
        FakeHost fakes;
        Program program(fakes.host());
        frmSplash* splash = program.windows.show<frmSplash>();
        QVERIFY(splash);
        QVERIFY(QTest::qWaitForWindowExposed(splash));

        QCOMPARE(splash->size(), QSize(370, 234));
        // No title bar, no close box, no taskbar entry.
        QVERIFY(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(splash->windowType(), Qt::SplashScreen);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(qAbs(splash->geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(splash->geometry().center().y() - screen.center().y()) <= 1);

        QCOMPARE(control<ClickableLabel>(splash, "lblURL1")->text(), u"http://www.brambleden.com/"_s);
        QCOMPARE(control<ClickableLabel>(splash, "lblURL1")->geometry(), QRect(96, 136, 175, 13));
        QCOMPARE(control<QLabel>(splash, "Label1")->text(), u"Mossport"_s);
        QCOMPARE(control<QLabel>(splash, "Label1")->pos(), QPoint(96, 80));
        QVERIFY(control<QLabel>(splash, "Label1")->font().bold());
        QCOMPARE(control<QLabel>(splash, "Label1")->font().pointSizeF(), 26.25);
        QCOMPARE(control<QLabel>(splash, "Label2")->text(), u"by Penwick"_s);
        QCOMPARE(control<QLabel>(splash, "Label2")->geometry(), QRect(96, 120, 177, 17));
        QCOMPARE(control<QLabel>(splash, "lblVersion")->geometry(), QRect(8, 216, 353, 17));
        QCOMPARE(control<QLabel>(splash, "lblVersion")->palette().color(QPalette::WindowText),
                 QColor(128, 128, 128));
        QCOMPARE(control<QLabel>(splash, "Label2")->palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(QFontInfo(control<QLabel>(splash, "Label2")->font()).family(), u"Tahoma"_s);
        QVERIFY(control<QLabel>(splash, "lblVersion")->alignment().testFlag(Qt::AlignHCenter));

        // The picture is drawn unscaled from the top-left corner and covers the whole window.
        const QImage picture(u":/splash.jpg"_s);
        QCOMPARE(picture.size(), QSize(372, 236));
        const QImage shown = splash->grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (const QPoint at :
             {QPoint(0, 0), QPoint(5, 200), QPoint(40, 210), QPoint(330, 200), QPoint(369, 233)})
            QCOMPARE(shown.pixel(at), picture.convertToFormat(QImage::Format_RGB32).pixel(at));
    }

    void theLoadStepShowsTheRunningVersion() {
        FakeHost fakes;
        Program program(fakes.host());
        frmSplash* splash = program.windows.get<frmSplash>();
        QCOMPARE(program.mod.strVersion, QStringLiteral(MOSSPORT_VERSION));
        QCOMPARE(control<QLabel>(splash, "lblVersion")->text(), QStringLiteral("Version: " MOSSPORT_VERSION));
    }

    void oneTickGivesWayToTheGameWindow() {
        FakeHost fakes;
        Program program(fakes.host());
        QPointer<frmSplash> splash = program.windows.show<frmSplash>();
        QCOMPARE(control<QTimer>(splash, "tmrSplash")->interval(), 3000);
        QVERIFY(control<QTimer>(splash, "tmrSplash")->isActive());
        QVERIFY(!program.windows.find<frmMain>());

        handle(splash, "tmrSplash_Timer");
        QVERIFY(!program.windows.find<frmSplash>());
        frmMain* game = program.windows.find<frmMain>();
        QVERIFY(game);
        QVERIFY(game->isVisible());
        // The splash and its timer are destroyed: the tick cannot come again.
        QTRY_VERIFY(splash.isNull());
        QCOMPARE(program.windows.count(), 1);
        QVERIFY(!program.windows.hasEnded());
    }

    void theLinkOpensTheMakersHomePageOnEveryClickAndTheSplashStays() {
        FakeHost fakes;
        Program program(fakes.host());
        frmSplash* splash = program.windows.show<frmSplash>();
        QVERIFY(QTest::qWaitForWindowExposed(splash));
        QTest::mouseClick(control<ClickableLabel>(splash, "lblURL1"), Qt::LeftButton);
        QTest::mouseClick(control<ClickableLabel>(splash, "lblURL1"), Qt::LeftButton);
        QCOMPARE(fakes.dialogs.opened,
                 QStringList({u"http://www.brambleden.com"_s, u"http://www.brambleden.com"_s}));
        QCOMPARE(program.windows.find<frmSplash>(), splash);
        QVERIFY(control<QTimer>(splash, "tmrSplash")->isActive());
        // Other labels do not react.
        QTest::mouseClick(control<QLabel>(splash, "Label2"), Qt::LeftButton);
        QCOMPARE(fakes.dialogs.opened.size(), 2);
    }
};

QTEST_MAIN(SplashTest)
#include "splash_test.moc"
