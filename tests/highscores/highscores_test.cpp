// The highscores lookup: the lookup address, the window, the game window's Highscores command and the name
// box's Enter. The address is also loaded by the real web engine from a server on 127.0.0.1, to see that the
// encoded name arrives as sent.

#include "Controls.h"
#include "Fakes.h"
#include "LoopbackServer.h"
#include "Modal.h"
#include "app/Program.h"
#include "base/Twips.h"
#include "gamewindow/frmMain.h"
#include "highscores/Lookup.h"
#include "highscores/frmHighscores.h"
#include "host/QtDialogs.h"
#include "host/QtWebView.h"
#include "host/WebProfile.h"

#include <QAction>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>
#include <QUrlQuery>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// A player's highscores are this address followed by the encoded name; the path alone on another server.
const QString lookupPage = u"http://www.brambleden.com/highscores/lookup.php?personal="_s;
const QString lookupPath = u"/highscores/lookup.php?personal="_s;

QStringList listed(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

// The title the window system shows, after Qt's own treatment of the title text.
QString shownTitle(const QWidget* window) {
    return window->windowHandle() ? window->windowHandle()->title() : QString();
}

// Types the text into the name box and presses Enter, as the player does.
void lookUp(QComboBox* box, const QString& text) {
    box->clearEditText();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

} // namespace

class HighscoresTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() {
        // Closed windows go at the next event loop turn; let them before the next test.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void lookupAddress_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("query");

        QTest::newRow("plain") << u"Zezima"_s << u"Zezima"_s;
        QTest::newRow("empty: nothing after personal=") << QString() << QString();
        QTest::newRow("space") << u"a b"_s << u"a%20b"_s;
        QTest::newRow("a name cannot change the address")
            << u"a b&personal=x#y"_s << u"a%20b%26personal%3Dx%23y"_s;
        QTest::newRow("plus is no space") << u"a+b"_s << u"a%2Bb"_s;
        QTest::newRow("path and percent") << u"../x/%41?"_s << u"..%2Fx%2F%2541%3F"_s;
        QTest::newRow("outside ASCII, as UTF-8") << u"J\u00f6rg"_s << u"J%C3%B6rg"_s;
        QTest::newRow("spaces kept at the ends") << u" Zezima "_s << u"%20Zezima%20"_s;
    }

    void lookupAddress() {
        QFETCH(QString, name);
        QFETCH(QString, query);

        const QString address = highscores::lookupAddress(name);
        QCOMPARE(address, lookupPage + query);

        // Read back, the address carries exactly one value, the name as typed.
        const QUrl url(address, QUrl::StrictMode);
        QVERIFY(url.isValid());
        QCOMPARE(url.fragment(), QString());
        const QUrlQuery items(url);
        QCOMPARE(items.queryItems().size(), 1);
        QCOMPARE(items.queryItemValue(u"personal"_s, QUrl::FullyDecoded), name);
    }

    void windowAsDesigned() {
        FakeHost fake;
        Program program(fake.host());
        frmHighscores* window = program.windows.show<frmHighscores>();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        QCOMPARE(window->windowTitle(), u"Runescape Highscores"_s);
        // A tool window (kept out of the taskbar) whose client area has the designed size and cannot change.
        QCOMPARE(window->windowType(), Qt::Tool);
        QCOMPARE(control<QWidget>(window, "client")->size(), twips::size(7710, 9345));
        QCOMPARE(window->minimumSize(), window->maximumSize());

        QVERIFY(fake.lastWebView()->navigations.isEmpty());
        QCOMPARE(control<QComboBox>(window, "cboUsername")->currentText(), QString());
        QCOMPARE(control<QComboBox>(window, "cboUsername")->count(), 0);

        // The menu bar holds one command, "Close", with no drop-down.
        const QList<QAction*> bar = window->menuBar()->actions();
        QCOMPARE(bar.size(), 1);
        QCOMPARE(bar.at(0), control<QAction>(window, "mnuClose"));
        QCOMPARE(control<QAction>(window, "mnuClose")->text(), u"Close"_s);
        QVERIFY(!control<QAction>(window, "mnuClose")->menu());
    }

    void commandAsksAndShowsOneWindow() {
        FakeHost fake;
        Program program(fake.host());
        frmMain* game = program.windows.get<frmMain>();

        // Cancel gives the empty name, which goes through like any other.
        handle(game, "mnuHighscores_Click");
        QCOMPARE(fake.dialogs.asked.size(), 1);
        QCOMPARE(fake.dialogs.asked.at(0).prompt, u"Please enter a username to lookup:"_s);
        QCOMPARE(fake.dialogs.asked.at(0).title, QString());
        frmHighscores* window = program.windows.find<frmHighscores>();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), u"Runescape Highscores []"_s);
        FakeWebView* view = fake.lastWebView();
        QCOMPARE(view->navigations, QStringList{lookupPage});

        // A name looked up in the window is listed; a name given at the game window's prompt never is.
        lookUp(control<QComboBox>(window, "cboUsername"), u"Bob"_s);
        fake.dialogs.answers.enqueue(u"Zezima"_s);
        handle(game, "mnuHighscores_Click");
        QCOMPARE(program.windows.find<frmHighscores>(), window);
        QCOMPARE(window->windowTitle(), u"Runescape Highscores [Zezima]"_s);
        QCOMPARE(view->lastNavigation(), lookupPage + u"Zezima"_s);
        QCOMPARE(view->navigations.size(), 3);
        QCOMPARE(listed(control<QComboBox>(window, "cboUsername")), QStringList{u"Bob"_s});
        QCOMPARE(control<QComboBox>(window, "cboUsername")->currentText(), u"Bob"_s);
    }

    void enterLooksUpAndListsAsTyped() {
        FakeHost fake;
        Program program(fake.host());
        frmHighscores* window = program.windows.show<frmHighscores>();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QComboBox* box = control<QComboBox>(window, "cboUsername");
        FakeWebView* view = fake.lastWebView();

        // Keys other than Enter only edit the text.
        QTest::keyClicks(box, u"Bob"_s);
        QVERIFY(view->navigations.isEmpty());
        QCOMPARE(box->count(), 0);

        // Enter twice on the same name: two lookups, two equal entries, and the text stays.
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter);
        const QString bob = lookupPage + u"Bob"_s;
        QCOMPARE(view->navigations, (QStringList{bob, bob}));
        QCOMPARE(listed(box), (QStringList{u"Bob"_s, u"Bob"_s}));
        QCOMPARE(box->currentText(), u"Bob"_s);
        QCOMPARE(window->windowTitle(), u"Runescape Highscores [Bob]"_s);

        // The box neither completes a typed beginning from the list nor swaps a name for one that differs in
        // case only.
        lookUp(box, u"Bo"_s);
        QCOMPARE(box->currentText(), u"Bo"_s);
        QCOMPARE(view->lastNavigation(), lookupPage + u"Bo"_s);
        lookUp(box, u"BOB"_s);
        QCOMPARE(box->currentText(), u"BOB"_s);
        QCOMPARE(view->lastNavigation(), lookupPage + u"BOB"_s);

        // An empty text is looked up and listed too.
        lookUp(box, QString());
        QCOMPARE(view->lastNavigation(), lookupPage);
        QCOMPARE(window->windowTitle(), u"Runescape Highscores []"_s);
        QCOMPARE(listed(box), (QStringList{u"Bob"_s, u"Bob"_s, u"Bo"_s, u"BOB"_s, QString()}));
        QCOMPARE(view->navigations.size(), 5);

        // Picking an entry only puts it into the text field.
        box->setCurrentIndex(2);
        QCOMPARE(box->currentText(), u"Bo"_s);
        QCOMPARE(view->navigations.size(), 5);
    }

    void closingEmptiesTheList() {
        FakeHost fake;
        Program program(fake.host());
        frmMain* game = program.windows.get<frmMain>();
        handle(game, "mnuHighscores_Click");
        QPointer<frmHighscores> first = program.windows.find<frmHighscores>();
        QVERIFY(first);
        lookUp(control<QComboBox>(first, "cboUsername"), u"Bob"_s);
        QCOMPARE(control<QComboBox>(first, "cboUsername")->count(), 1);

        control<QAction>(first, "mnuClose")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        QVERIFY(!program.windows.find<frmHighscores>());
        QVERIFY(!program.windows.hasEnded());

        fake.dialogs.answers.enqueue(u"Zezima"_s);
        handle(game, "mnuHighscores_Click");
        frmHighscores* second = program.windows.find<frmHighscores>();
        QVERIFY(second);
        QCOMPARE(control<QComboBox>(second, "cboUsername")->count(), 0);
        QCOMPARE(control<QComboBox>(second, "cboUsername")->currentText(), QString());
        QCOMPARE(second->windowTitle(), u"Runescape Highscores [Zezima]"_s);
        QCOMPARE(fake.lastWebView()->navigations, QStringList{lookupPage + u"Zezima"_s});
    }

    void titlesShowNamesLiterally() {
        FakeHost fake;
        Program program(fake.host());
        frmMain* game = program.windows.get<frmMain>();

        fake.dialogs.answers.enqueue(u"[*]"_s);
        handle(game, "mnuHighscores_Click");
        frmHighscores* window = program.windows.find<frmHighscores>();
        QVERIFY(window);
        QCOMPARE(shownTitle(window), u"Runescape Highscores [[*]]"_s);

        lookUp(control<QComboBox>(window, "cboUsername"), u"x[*]y"_s);
        QCOMPARE(shownTitle(window), u"Runescape Highscores [x[*]y]"_s);
        QCOMPARE(listed(control<QComboBox>(window, "cboUsername")), QStringList{u"x[*]y"_s});
    }

    void promptIsTheRealDialog() {
        FakeHost fake;
        QtDialogs dialogs;
        Host host = fake.host();
        host.dialogs = &dialogs;
        Program program(host);
        frmMain* game = program.windows.get<frmMain>();

        QString title;
        QString prompt;
        onNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            title = dialog->windowTitle();
            prompt = dialog->labelText();
            auto* field = dialog->findChild<QLineEdit*>();
            if (!field) {
                dialog->reject();
                return;
            }
            QTest::keyClicks(field, u"a b&c"_s);
            QTest::keyClick(field, Qt::Key_Return);
        });
        handle(game, "mnuHighscores_Click");

        QCOMPARE(title, u"Mossport"_s);
        QCOMPARE(prompt, u"Please enter a username to lookup:"_s);
        frmHighscores* window = program.windows.find<frmHighscores>();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), u"Runescape Highscores [a b&c]"_s);
        QCOMPARE(fake.lastWebView()->lastNavigation(), lookupPage + u"a%20b%26c"_s);
    }

    void engineReceivesTheEncodedName() {
        LoopbackServer server;
        WebProfile profile{WebProfile::Folders{}};
        FakeDialogs dialogs;
        QWidget window;
        auto* view = new QtWebView(profile, dialogs, &window);
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // The lookup address, moved from the maker's site to the loopback server.
        const QString address = highscores::lookupAddress(u"a b&personal=x#y"_s);
        const QString maker = u"http://www.brambleden.com"_s;
        QVERIFY(address.startsWith(maker + u'/'));
        const QString local = server.address(QString()) + address.mid(maker.size());
        view->Navigate(local);

        const QString expected = lookupPath + u"a%20b%26personal%3Dx%23y"_s;
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(expected), 1, 20000);
    }
};

QTEST_MAIN(HighscoresTest)
#include "highscores_test.moc"
