// The game window: its design and menus, the typed confirmations, the end of the program, the play-time
// clock, the sidebar and hiding into the notification area.
#include "Fakes.h"
#include "app/Program.h"
#include "browser/frmBrowser.h"
#include "gamewindow/frmMain.h"
#include "highscores/frmHighscores.h"
#include "notepad/frmNotepad.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

QStringList captions(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions)
        texts.append(action->text());
    return texts;
}

void setPlayTime(frmMain* game, int hours, int minutes, int seconds) {
    // The clock is only ever advanced by its ticks.
    const int total = (hours * 60 + minutes) * 60 + seconds;
    for (int i = 0; i < total; ++i)
        game->tmrPlay_Timer();
}

QString shownTime(const frmMain* game) {
    return game->lblHours->text() + u':' + game->lblMinutes->text() + u':' + game->lblSeconds->text();
}

} // namespace

class GameWindowTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theWindowIsAsDesigned() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        QVERIFY(QTest::qWaitForWindowExposed(game));

        QCOMPARE(game->windowTitle(), u"Mossport - by Penwick"_s);
        QCOMPARE(game->client->size(), QSize(792, 561));
        QCOMPARE(game->client->palette().color(QPalette::Window), QColor(64, 64, 64));
        QVERIFY(!game->windowIcon().isNull());
        const Qt::WindowFlags flags = game->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(game->minimumSize(), game->maximumSize());
        QCOMPARE(game->centralWidget(), game->client);

        QCOMPARE(game->wbApplet->geometry(), QRect(8, 8, 777, 545));
        QVERIFY(!game->picSC->isVisible());
        QCOMPARE(game->picSC->geometry(), QRect(48, 8, 17, 17));

        struct Expected {
            QLabel* label;
            QString text;
            QPoint at;
            bool bold;
        };
        const Expected labels[] = {
            {game->Label1, u"Play Time:"_s, {800, 256}, true},
            {game->Label2, u"Hours:"_s, {800, 272}, true},
            {game->lblHours, u"0"_s, {840, 272}, false},
            {game->Label3, u"Minutes:"_s, {800, 288}, true},
            {game->lblMinutes, u"0"_s, {856, 288}, false},
            {game->Label4, u"Seconds:"_s, {800, 304}, true},
            {game->lblSeconds, u"0"_s, {856, 304}, false},
        };
        for (const Expected& expected : labels) {
            QCOMPARE(expected.label->text(), expected.text);
            QCOMPARE(expected.label->pos(), expected.at);
            QCOMPARE(expected.label->font().bold(), expected.bold);
            QCOMPARE(expected.label->font().family(), u"Tahoma"_s);
            QCOMPARE(expected.label->palette().color(QPalette::WindowText), QColor(Qt::white));
            // Out of sight at the narrow width.
            QVERIFY(expected.label->x() >= game->client->width());
        }
        QCOMPARE(game->cmdPR->text(), u"Pause"_s);
        QCOMPARE(game->cmdPR->geometry(), QRect(800, 328, 57, 17));
        QCOMPARE(game->cmdClosers->text(), u"Close RS"_s);
        QCOMPARE(game->cmdClosers->geometry(), QRect(800, 344, 57, 17));
        QCOMPARE(game->cmdPR->font().pointSizeF(), 8.25);
        // Keyboard focus order: the web view, then the two buttons.
        QList<QWidget*> order;
        for (QWidget* w = game->wbApplet->nextInFocusChain(); w != game->wbApplet;
             w = w->nextInFocusChain()) {
            if (w == game->cmdPR || w == game->cmdClosers)
                order.append(w);
        }
        QCOMPARE(order, (QList<QWidget*>{game->cmdPR, game->cmdClosers}));
    }

    void theMenusAreAsDesigned() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.get<frmMain>();
        QCOMPARE(captions(game->menuBar()->actions()),
                 QStringList({u"File"_s, u"Runescape"_s, u"Take SS"_s}));
        QCOMPARE(captions(game->mnuFile->actions()),
                 QStringList({u"Sidebar"_s, u"Notepad"_s, u"Browser"_s, u"Take SS"_s, u"Hide"_s, u"Quit"_s}));
        QCOMPARE(captions(game->mnuRunescape->actions()),
                 QStringList({u"Highscores"_s, u"Forums"_s, u"Brambleden"_s}));
        QVERIFY(!game->mnuTScreenshot->menu());
        QCOMPARE(game->mnuScreenshot->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(game->mnuHide->shortcut(), QKeySequence(Qt::Key_F3));
        for (QAction* action : game->mnuFile->actions() + game->mnuRunescape->actions()) {
            if (action != game->mnuScreenshot && action != game->mnuHide)
                QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->text()));
            QVERIFY(!action->isCheckable() && action->isEnabled() && !action->isSeparator());
        }
    }

    void theGamePageLoadsAtCreation() {
        FakeHost fakes;
        Program program(fakes.host());
        program.windows.get<frmMain>();
        QCOMPARE(fakes.lastWebView()->navigations, QStringList({u"http://www.brambleden.com/mossport/"_s}));
    }

    void closeRsActsOnlyOnExactlyYes_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("yes") << u"yes"_s << true;
        QTest::newRow("Yes") << u"Yes"_s << false;
        QTest::newRow("YES") << u"YES"_s << false;
        QTest::newRow(" yes") << u" yes"_s << false;
        QTest::newRow("yes ") << u"yes "_s << false;
        QTest::newRow("cancel") << QString() << false;
    }
    void closeRsActsOnlyOnExactlyYes() {
        QFETCH(QString, answer);
        QFETCH(bool, closes);
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        FakeWebView* view = fakes.lastWebView();
        view->showPage(u"the game"_s);
        fakes.dialogs.answers.enqueue(answer);
        game->cmdPR_Click(); // paused before: Close RS leaves the clock as it is
        QTest::mouseClick(game->cmdClosers, Qt::LeftButton);
        QCOMPARE(fakes.dialogs.asked.size(), 1);
        QCOMPARE(fakes.dialogs.asked[0].prompt, u"Type yes to close RS."_s);
        QCOMPARE(fakes.dialogs.asked[0].title, u"Close Runescape?"_s);
        // Loaded once at creation; once more when the game page is closed.
        QCOMPARE(view->navigations.size(), closes ? 2 : 1);
        QCOMPARE(view->lastNavigation(), u"http://www.brambleden.com/mossport/"_s);
        QVERIFY(!game->tmrPlay->isActive());
        QCOMPARE(program.windows.find<frmMain>(), game);
    }

    void quitActsOnlyOnExactlyYesAndEndsEveryWindow_data() { closeRsActsOnlyOnExactlyYes_data(); }
    void quitActsOnlyOnExactlyYesAndEndsEveryWindow() {
        QFETCH(QString, answer);
        QFETCH(bool, closes);
        FakeHost fakes;
        Program program(fakes.host());
        QSignalSpy ended(&program.windows, &Windows::programEnded);
        frmMain* game = program.windows.show<frmMain>();
        const QList<QPointer<QWidget>> others = {program.windows.show<frmBrowser>(),
                                                 program.windows.show<frmHighscores>(),
                                                 program.windows.show<frmNotepad>()};
        fakes.dialogs.answers.enqueue(answer);
        game->mnuQuit->trigger();
        QCOMPARE(fakes.dialogs.asked.size(), 1);
        QCOMPARE(fakes.dialogs.asked[0].prompt, u"Type yes to exit."_s);
        QCOMPARE(fakes.dialogs.asked[0].title, u"Exit Mossport?"_s);
        QCOMPARE(ended.count(), closes ? 1 : 0);
        QCOMPARE(program.windows.count(), closes ? 0 : 4);
        if (closes) {
            for (const QPointer<QWidget>& window : others)
                QTRY_VERIFY(window.isNull());
        }
    }

    void theCloseBoxEndsTheProgramWithoutAQuestion() {
        FakeHost fakes;
        Program program(fakes.host());
        QSignalSpy ended(&program.windows, &Windows::programEnded);
        frmMain* game = program.windows.show<frmMain>();
        QPointer<frmNotepad> notepad = program.windows.show<frmNotepad>();
        QVERIFY(game->close());
        QCOMPARE(ended.count(), 1);
        QVERIFY(fakes.dialogs.asked.isEmpty());
        QTRY_VERIFY(notepad.isNull());
    }

    void bramblEdenOpensTheMakersHomePageInTheUsersBrowser() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        game->mnuBrambleden->trigger();
        QCOMPARE(fakes.dialogs.opened, QStringList({u"http://www.brambleden.com"_s}));
        QCOMPARE(fakes.lastWebView()->navigations.size(), 1);
    }

    void theKeysF1AndF3ReachTheirCommands() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        QVERIFY(QTest::qWaitForWindowActive(game));
        QSignalSpy screenshot(game->mnuScreenshot, &QAction::triggered);
        QSignalSpy hide(game->mnuHide, &QAction::triggered);
        QTest::keyClick(game, Qt::Key_F1);
        QTest::keyClick(game, Qt::Key_F3);
        QCOMPARE(screenshot.count(), 1);
        QCOMPARE(hide.count(), 1);
    }

    void theClockCountsTicksWithCarries_data() {
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("afterOneTick");
        QTest::newRow("start") << 0 << 0 << 0 << u"0:0:1"_s;
        QTest::newRow("59 seconds") << 0 << 0 << 59 << u"0:1:0"_s;
        QTest::newRow("59:59") << 0 << 59 << 59 << u"1:0:0"_s;
        QTest::newRow("1:59:58") << 1 << 59 << 58 << u"1:59:59"_s;
    }
    void theClockCountsTicksWithCarries() {
        QFETCH(int, hours);
        QFETCH(int, minutes);
        QFETCH(int, seconds);
        QFETCH(QString, afterOneTick);
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.get<frmMain>();
        setPlayTime(game, hours, minutes, seconds);
        QCOMPARE(shownTime(game), u"%1:%2:%3"_s.arg(hours).arg(minutes).arg(seconds));
        game->tmrPlay_Timer();
        QCOMPARE(shownTime(game), afterOneTick);
    }

    void hoursGoOnWithoutLimitAndTheirLabelWidens() {
        PlayTime time{99, 59, 59};
        QCOMPARE(addOneSecond(time), (PlayTime{100, 0, 0}));
        QCOMPARE(addOneSecond({4'000'000'000ULL, 59, 59}), (PlayTime{4'000'000'001ULL, 0, 0}));

        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.get<frmMain>();
        const int narrow = game->lblHours->width();
        setPlayTime(game, 10, 0, 0);
        QCOMPARE(game->lblHours->text(), u"10"_s);
        QVERIFY(game->lblHours->width() > narrow);
        QCOMPARE(game->lblHours->x(), 840);
    }

    void pauseFreezesTheCountAndResumeGoesOn() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.get<frmMain>();
        QCOMPARE(game->tmrPlay->interval(), 1000);
        QVERIFY(game->tmrPlay->isActive());
        setPlayTime(game, 0, 0, 5);

        QTest::mouseClick(game->cmdPR, Qt::LeftButton);
        QCOMPARE(game->cmdPR->text(), u"Resume"_s);
        QVERIFY(!game->tmrPlay->isActive());
        QCOMPARE(shownTime(game), u"0:0:5"_s);

        QTest::mouseClick(game->cmdPR, Qt::LeftButton);
        QCOMPARE(game->cmdPR->text(), u"Pause"_s);
        QVERIFY(game->tmrPlay->isActive());
        // A fresh interval: the whole second lies ahead.
        QVERIFY(game->tmrPlay->remainingTime() > 900);
        game->tmrPlay_Timer();
        QCOMPARE(shownTime(game), u"0:0:6"_s);
    }

    // The figures the narrow window cuts off are hidden, so that their change every second repaints nothing
    // (a repaint of the window composes it whole, web view included); the clock counts on all the same and
    // shows the exact time whenever the sidebar opens.
    void theClockCountsOnOutOfSightWithoutRepaints() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        QVERIFY(QTest::qWaitForWindowExposed(game));
        const QList<QLabel*> figures{game->lblHours, game->lblMinutes, game->lblSeconds};
        for (QLabel* figure : figures)
            QVERIFY(!figure->isVisible());
        setPlayTime(game, 1, 59, 58);
        game->tmrPlay_Timer();

        game->mnuSidebar->trigger();
        for (QLabel* figure : figures)
            QVERIFY(figure->isVisible());
        QCOMPARE(shownTime(game), u"1:59:59"_s);
        QVERIFY(game->client->rect().contains(game->lblHours->geometry()));
        game->tmrPlay_Timer();
        QCOMPARE(shownTime(game), u"2:0:0"_s);

        game->mnuSidebar->trigger();
        for (QLabel* figure : figures)
            QVERIFY(!figure->isVisible());
        game->tmrPlay_Timer();
        game->mnuSidebar->trigger();
        QCOMPARE(shownTime(game), u"2:0:1"_s);
    }

    void theSidebarTogglesTheClientWidth() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        QVERIFY(QTest::qWaitForWindowExposed(game));
        game->move(100, 50);
        const QRect before = game->geometry();

        game->mnuSidebar->trigger();
        QCOMPARE(game->client->width(), 873);
        QTRY_COMPARE(game->width(), before.width() + 81);
        QCOMPARE(game->geometry().topLeft(), before.topLeft());
        QCOMPARE(game->height(), before.height());
        QCOMPARE(game->wbApplet->geometry(), QRect(8, 8, 777, 545));
        // The buttons now end inside the client area.
        QVERIFY(game->cmdClosers->geometry().right() < game->client->width());

        game->mnuSidebar->trigger();
        QCOMPARE(game->client->width(), 792);
        QTRY_COMPARE(game->geometry(), before);

        // Any width but exactly the wide one counts as hidden.
        game->client->setFixedWidth(874);
        game->mnuSidebar->trigger();
        QCOMPARE(game->client->width(), 873);
    }

    void hideAndComeBackFromTheIcon() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        FakeTrayIcon* icon = fakes.lastTrayIcon();
        QVERIFY(!icon->isVisible());
        game->mnuSidebar->trigger();
        setPlayTime(game, 0, 0, 3);

        game->mnuHide->trigger();
        QVERIFY(icon->isVisible());
        QVERIFY(!game->isVisible());
        QCOMPARE(program.windows.find<frmMain>(), game);
        // The clock goes on while the window is hidden.
        QVERIFY(game->tmrPlay->isActive());
        game->tmrPlay_Timer();

        icon->click();
        QVERIFY(game->isVisible());
        QVERIFY(!icon->isVisible());
        QCOMPARE(game->client->width(), 873);
        QCOMPARE(shownTime(game), u"0:0:4"_s);

        // A second hide puts the icon back.
        game->mnuHide->trigger();
        QVERIFY(icon->isVisible());
        QCOMPARE(icon->shows, 2);
        QVERIFY(fakes.dialogs.told.isEmpty());
        QVERIFY(!program.windows.hasEnded());
    }

    void withoutANotificationAreaHideRefusesAndTheWindowStays() {
        FakeHost fakes(/*trayAvailable=*/false);
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        game->mnuHide->trigger();
        QVERIFY(game->isVisible());
        QVERIFY(!fakes.lastTrayIcon()->isVisible());
        QCOMPARE(fakes.dialogs.told,
                 QStringList({u"There is no notification area to hide Mossport into."_s}));
    }
};

QTEST_MAIN(GameWindowTest)
#include "gamewindow_test.moc"
