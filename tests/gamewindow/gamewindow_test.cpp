// The game window: its design and menus, the typed confirmations, the end of the program, the play-time
// clock, the sidebar and hiding into the notification area.
#include "Controls.h"
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
        handle(game, "tmrPlay_Timer");
}

// The game window on the screen with its sidebar, and so the clock's figures, in sight.
frmMain* showWithSidebar(Program& program) {
    frmMain* game = program.windows.show<frmMain>();
    control<QAction>(game, "mnuSidebar")->trigger();
    return game;
}

QString shownTime(const frmMain* game) {
    return control<QLabel>(game, "lblHours")->text() + u':' + control<QLabel>(game, "lblMinutes")->text() +
           u':' + control<QLabel>(game, "lblSeconds")->text();
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
        QCOMPARE(control<QWidget>(game, "client")->size(), QSize(792, 561));
        QCOMPARE(control<QWidget>(game, "client")->palette().color(QPalette::Window), QColor(64, 64, 64));
        QVERIFY(!game->windowIcon().isNull());
        const Qt::WindowFlags flags = game->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(game->minimumSize(), game->maximumSize());
        QCOMPARE(game->centralWidget(), control<QWidget>(game, "client"));

        QCOMPARE(control<WebView>(game, "wbApplet")->geometry(), QRect(8, 8, 777, 545));
        QVERIFY(!control<QLabel>(game, "picSC")->isVisible());
        QCOMPARE(control<QLabel>(game, "picSC")->geometry(), QRect(48, 8, 17, 17));

        struct Expected {
            QLabel* label;
            QString text;
            QPoint at;
            bool bold;
        };
        const Expected labels[] = {
            {control<QLabel>(game, "Label1"), u"Play Time:"_s, {800, 256}, true},
            {control<QLabel>(game, "Label2"), u"Hours:"_s, {800, 272}, true},
            {control<QLabel>(game, "lblHours"), u"0"_s, {840, 272}, false},
            {control<QLabel>(game, "Label3"), u"Minutes:"_s, {800, 288}, true},
            {control<QLabel>(game, "lblMinutes"), u"0"_s, {856, 288}, false},
            {control<QLabel>(game, "Label4"), u"Seconds:"_s, {800, 304}, true},
            {control<QLabel>(game, "lblSeconds"), u"0"_s, {856, 304}, false},
        };
        for (const Expected& expected : labels) {
            QCOMPARE(expected.label->text(), expected.text);
            QCOMPARE(expected.label->pos(), expected.at);
            QCOMPARE(expected.label->font().bold(), expected.bold);
            QCOMPARE(expected.label->font().family(), u"Tahoma"_s);
            QCOMPARE(expected.label->palette().color(QPalette::WindowText), QColor(Qt::white));
            // Out of sight at the narrow width.
            QVERIFY(expected.label->x() >= control<QWidget>(game, "client")->width());
        }
        QCOMPARE(control<QPushButton>(game, "cmdPR")->text(), u"Pause"_s);
        QCOMPARE(control<QPushButton>(game, "cmdPR")->geometry(), QRect(800, 328, 57, 17));
        QCOMPARE(control<QPushButton>(game, "cmdClosers")->text(), u"Close RS"_s);
        QCOMPARE(control<QPushButton>(game, "cmdClosers")->geometry(), QRect(800, 344, 57, 17));
        QCOMPARE(control<QPushButton>(game, "cmdPR")->font().pointSizeF(), 8.25);
        // Keyboard focus order: the web view, then the two buttons.
        QList<QWidget*> order;
        for (QWidget* w = control<WebView>(game, "wbApplet")->nextInFocusChain();
             w != control<WebView>(game, "wbApplet"); w = w->nextInFocusChain()) {
            if (w == control<QPushButton>(game, "cmdPR") || w == control<QPushButton>(game, "cmdClosers"))
                order.append(w);
        }
        QCOMPARE(order, (QList<QWidget*>{control<QPushButton>(game, "cmdPR"),
                                         control<QPushButton>(game, "cmdClosers")}));
    }

    void theMenusAreAsDesigned() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.get<frmMain>();
        QCOMPARE(captions(game->menuBar()->actions()),
                 QStringList({u"File"_s, u"Runescape"_s, u"Take SS"_s}));
        QCOMPARE(captions(control<QMenu>(game, "mnuFile")->actions()),
                 QStringList({u"Sidebar"_s, u"Notepad"_s, u"Browser"_s, u"Take SS"_s, u"Hide"_s, u"Quit"_s}));
        QCOMPARE(captions(control<QMenu>(game, "mnuRunescape")->actions()),
                 QStringList({u"Highscores"_s, u"Forums"_s, u"Brambleden"_s}));
        QVERIFY(!control<QAction>(game, "mnuTScreenshot")->menu());
        QCOMPARE(control<QAction>(game, "mnuScreenshot")->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(control<QAction>(game, "mnuHide")->shortcut(), QKeySequence(Qt::Key_F3));
        for (QAction* action :
             control<QMenu>(game, "mnuFile")->actions() + control<QMenu>(game, "mnuRunescape")->actions()) {
            if (action != control<QAction>(game, "mnuScreenshot") &&
                action != control<QAction>(game, "mnuHide"))
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
        handle(game, "cmdPR_Click"); // paused before: Close RS leaves the clock as it is
        QTest::mouseClick(control<QPushButton>(game, "cmdClosers"), Qt::LeftButton);
        QCOMPARE(fakes.dialogs.asked.size(), 1);
        QCOMPARE(fakes.dialogs.asked[0].prompt, u"Type yes to close RS."_s);
        QCOMPARE(fakes.dialogs.asked[0].title, u"Close Runescape?"_s);
        // Loaded once at creation; once more when the game page is closed.
        QCOMPARE(view->navigations.size(), closes ? 2 : 1);
        QCOMPARE(view->lastNavigation(), u"http://www.brambleden.com/mossport/"_s);
        QVERIFY(!control<QTimer>(game, "tmrPlay")->isActive());
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
        control<QAction>(game, "mnuQuit")->trigger();
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
        control<QAction>(game, "mnuBrambleden")->trigger();
        QCOMPARE(fakes.dialogs.opened, QStringList({u"http://www.brambleden.com"_s}));
        QCOMPARE(fakes.lastWebView()->navigations.size(), 1);
    }

    void theKeysF1AndF3ReachTheirCommands() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        QVERIFY(QTest::qWaitForWindowActive(game));
        QSignalSpy screenshot(control<QAction>(game, "mnuScreenshot"), &QAction::triggered);
        QSignalSpy hide(control<QAction>(game, "mnuHide"), &QAction::triggered);
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
        frmMain* game = showWithSidebar(program);
        setPlayTime(game, hours, minutes, seconds);
        QCOMPARE(shownTime(game), u"%1:%2:%3"_s.arg(hours).arg(minutes).arg(seconds));
        handle(game, "tmrPlay_Timer");
        QCOMPARE(shownTime(game), afterOneTick);
    }

    void hoursGoOnWithoutLimitAndTheirLabelWidens() {
        PlayTime time{99, 59, 59};
        QCOMPARE(addOneSecond(time), (PlayTime{100, 0, 0}));
        QCOMPARE(addOneSecond({4'000'000'000ULL, 59, 59}), (PlayTime{4'000'000'001ULL, 0, 0}));

        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = showWithSidebar(program);
        const int narrow = control<QLabel>(game, "lblHours")->width();
        setPlayTime(game, 10, 0, 0);
        QCOMPARE(control<QLabel>(game, "lblHours")->text(), u"10"_s);
        QVERIFY(control<QLabel>(game, "lblHours")->width() > narrow);
        QCOMPARE(control<QLabel>(game, "lblHours")->x(), 840);
    }

    void pauseFreezesTheCountAndResumeGoesOn() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = showWithSidebar(program);
        auto* tmrPlay = control<QTimer>(game, "tmrPlay");
        auto* cmdPR = control<QPushButton>(game, "cmdPR");
        QCOMPARE(tmrPlay->interval(), 1000);
        QVERIFY(tmrPlay->isActive());
        setPlayTime(game, 0, 0, 5);

        QTest::mouseClick(cmdPR, Qt::LeftButton);
        QCOMPARE(cmdPR->text(), u"Resume"_s);
        QVERIFY(!tmrPlay->isActive());
        QCOMPARE(shownTime(game), u"0:0:5"_s);

        QTest::mouseClick(cmdPR, Qt::LeftButton);
        QCOMPARE(cmdPR->text(), u"Pause"_s);
        QVERIFY(tmrPlay->isActive());
        // A fresh interval: the whole second lies ahead.
        QVERIFY(tmrPlay->remainingTime() > 900);
        handle(game, "tmrPlay_Timer");
        QCOMPARE(shownTime(game), u"0:0:6"_s);
    }

    // The figures the narrow window cuts off are hidden, and their text is left alone while they are: a
    // change every second would repaint nothing but still lay the text out. The clock counts on all the same
    // and the figures read the exact time the moment the sidebar opens.
    void theClockCountsOnOutOfSightWithoutLayingOutItsFigures() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        QVERIFY(QTest::qWaitForWindowExposed(game));
        auto* sidebar = control<QAction>(game, "mnuSidebar");
        const QList<QLabel*> figures{control<QLabel>(game, "lblHours"), control<QLabel>(game, "lblMinutes"),
                                     control<QLabel>(game, "lblSeconds")};
        for (QLabel* figure : figures)
            QVERIFY(!figure->isVisible());
        setPlayTime(game, 1, 59, 58);
        handle(game, "tmrPlay_Timer");
        for (QLabel* figure : figures)
            QCOMPARE(figure->text(), u"0"_s);

        sidebar->trigger();
        for (QLabel* figure : figures)
            QVERIFY(figure->isVisible());
        QCOMPARE(shownTime(game), u"1:59:59"_s);
        // Each figure is sized to its text as it comes into sight: "59" is wider than the "0" it had.
        QCOMPARE(figures[1]->size(), figures[1]->sizeHint());
        QVERIFY(control<QWidget>(game, "client")->rect().contains(figures[0]->geometry()));
        handle(game, "tmrPlay_Timer");
        QCOMPARE(shownTime(game), u"2:0:0"_s);

        sidebar->trigger();
        for (QLabel* figure : figures)
            QVERIFY(!figure->isVisible());
        handle(game, "tmrPlay_Timer");
        QCOMPARE(shownTime(game), u"2:0:0"_s);
        sidebar->trigger();
        QCOMPARE(shownTime(game), u"2:0:1"_s);
    }

    void theSidebarTogglesTheClientWidth() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        QVERIFY(QTest::qWaitForWindowExposed(game));
        game->move(100, 50);
        const QRect before = game->geometry();

        control<QAction>(game, "mnuSidebar")->trigger();
        QCOMPARE(control<QWidget>(game, "client")->width(), 873);
        QTRY_COMPARE(game->width(), before.width() + 81);
        QCOMPARE(game->geometry().topLeft(), before.topLeft());
        QCOMPARE(game->height(), before.height());
        QCOMPARE(control<WebView>(game, "wbApplet")->geometry(), QRect(8, 8, 777, 545));
        // The buttons now end inside the client area.
        QVERIFY(control<QPushButton>(game, "cmdClosers")->geometry().right() <
                control<QWidget>(game, "client")->width());

        control<QAction>(game, "mnuSidebar")->trigger();
        QCOMPARE(control<QWidget>(game, "client")->width(), 792);
        QTRY_COMPARE(game->geometry(), before);

        // Any width but exactly the wide one counts as hidden.
        control<QWidget>(game, "client")->setFixedWidth(874);
        control<QAction>(game, "mnuSidebar")->trigger();
        QCOMPARE(control<QWidget>(game, "client")->width(), 873);
    }

    void hideAndComeBackFromTheIcon() {
        FakeHost fakes;
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        FakeTrayIcon* icon = fakes.lastTrayIcon();
        QVERIFY(!icon->isVisible());
        control<QAction>(game, "mnuSidebar")->trigger();
        setPlayTime(game, 0, 0, 3);

        control<QAction>(game, "mnuHide")->trigger();
        QVERIFY(icon->isVisible());
        QVERIFY(!game->isVisible());
        QCOMPARE(program.windows.find<frmMain>(), game);
        // The clock goes on while the window is hidden.
        QVERIFY(control<QTimer>(game, "tmrPlay")->isActive());
        handle(game, "tmrPlay_Timer");

        icon->click();
        QVERIFY(game->isVisible());
        QVERIFY(!icon->isVisible());
        QCOMPARE(control<QWidget>(game, "client")->width(), 873);
        QCOMPARE(shownTime(game), u"0:0:4"_s);

        // A second hide puts the icon back.
        control<QAction>(game, "mnuHide")->trigger();
        QVERIFY(icon->isVisible());
        QCOMPARE(icon->shows, 2);
        QVERIFY(fakes.dialogs.told.isEmpty());
        QVERIFY(!program.windows.hasEnded());
    }

    void withoutANotificationAreaHideRefusesAndTheWindowStays() {
        FakeHost fakes(/*trayAvailable=*/false);
        Program program(fakes.host());
        frmMain* game = program.windows.show<frmMain>();
        control<QAction>(game, "mnuHide")->trigger();
        QVERIFY(game->isVisible());
        QVERIFY(!fakes.lastTrayIcon()->isVisible());
        QCOMPARE(fakes.dialogs.told,
                 QStringList({u"There is no notification area to hide Mossport into."_s}));
    }
};

QTEST_MAIN(GameWindowTest)
#include "gamewindow_test.moc"
