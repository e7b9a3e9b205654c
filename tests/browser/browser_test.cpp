// The companion browser: its resize rule, the address box, the preset pages, the caption, and the game
// window's Browser and Forums commands. The caption, typed addresses and layout run on the real web engine
// against pages served from 127.0.0.1.

#include "Controls.h"
#include "Fakes.h"
#include "LoopbackServer.h"
#include "app/Program.h"
#include "base/Twips.h"
#include "browser/ResizeRule.h"
#include "browser/frmBrowser.h"
#include "gamewindow/frmMain.h"
#include "highscores/frmHighscores.h"
#include "host/QtWebView.h"
#include "host/WebProfile.h"

#include <QAction>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWindow>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString hint = u"Enter the website you wish to visit here"_s;

// A program whose web views are the real engine's, on a profile in memory; every other component is a fake.
struct EngineProgram {
    EngineProgram()
        : program(engineHost(fake.host(), profile, fake.dialogs)) {}

    static Host engineHost(Host host, WebProfile& profile, Dialogs& dialogs) {
        host.makeWebView = [&profile, &dialogs](QWidget* parent) -> WebView* {
            return new QtWebView(profile, dialogs, parent);
        };
        return host;
    }

    FakeHost fake;
    WebProfile profile{WebProfile::Folders{}};
    Program program;
};

QWebEnginePage* pageOf(const frmBrowser* window) {
    return static_cast<QtWebView*>(control<WebView>(window, "wbBrowser"))->engineView()->page();
}

// The title the window system shows, after Qt's own treatment of the title text.
QString shownTitle(const QWidget* window) {
    return window->windowHandle() ? window->windowHandle()->title() : QString();
}

int browserWindowCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<frmBrowser*>(widget) != nullptr;
    return count;
}

} // namespace

// A web view that notes, with each navigation, whether its window was on screen at that moment.
class WindowWatchingView final : public WebView {
    Q_OBJECT
public:
    using WebView::WebView;

    void Navigate(const QString& address) override {
        navigations.append(address);
        windowVisible.append(window()->isVisible());
    }
    QString LocationName() const override { return {}; }
    void setFullScreenAllowed(bool) override {}

    QStringList navigations;
    QList<bool> windowVisible;
};

class BrowserTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        m_server.addPage(u"/news"_s, "<html><head><title>News</title></head>"
                                     "<body><a id='next' href='/scores'>Scores</a></body></html>");
        m_server.addPage(u"/scores"_s,
                         "<html><head><title>Scores [*]</title></head><body>1. Zezima</body></html>");
        m_server.addPage(u"/typed"_s, "<html><head><title>Typed</title></head><body>typed</body></html>");
        m_server.addPage(u"/opener"_s,
                         "<html><head><title>Opener</title></head><body>"
                         "<a id='blank' href='/scores' target='_blank'>Scores</a></body></html>");
        // The game window starts on the maker's product page: it reaches this server as its proxy, which
        // answers 404, and never the network.
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, u"127.0.0.1"_s, m_server.port()));
    }

    void cleanup() {
        // Windows closed by a test go at the next event loop turn; let them, so that counts start from zero.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void resizeRule_data() {
        QTest::addColumn<double>("clientWidth");
        QTest::addColumn<double>("clientHeight");
        QTest::addColumn<std::optional<double>>("width");
        QTest::addColumn<std::optional<double>>("height");

        using Length = std::optional<double>;
        QTest::newRow("designed") << 11535.0 << 9015.0 << Length(11275) << Length(8395);
        QTest::newRow("1000 wider") << 12535.0 << 9015.0 << Length(12275) << Length(8395);
        QTest::newRow("500 high: width still follows") << 11535.0 << 500.0 << Length(11275) << Length();
        QTest::newRow("narrower than the margins") << 200.0 << 9015.0 << Length() << Length(8395);
        QTest::newRow("exactly the margins: zero is a length") << 260.0 << 620.0 << Length(0) << Length(0);
        QTest::newRow("minimised") << 0.0 << 0.0 << Length() << Length();
    }

    void resizeRule() {
        QFETCH(double, clientWidth);
        QFETCH(double, clientHeight);
        QFETCH(std::optional<double>, width);
        QFETCH(std::optional<double>, height);

        const browser::ViewSize size = browser::resizeRule(clientWidth, clientHeight);
        QCOMPARE(size.width, width);
        QCOMPARE(size.height, height);
    }

    void windowAsDesigned() {
        FakeHost fake;
        Program program(fake.host());
        frmBrowser* window = program.windows.get<frmBrowser>();

        QCOMPARE(window->windowTitle(), u"Mossport Browser"_s);
        QCOMPARE(control<QLineEdit>(window, "txtURL")->text(), hint);
        QCOMPARE(control<QLineEdit>(window, "txtURL")->palette().color(QPalette::Text),
                 QColor(128, 128, 128));
        QVERIFY(fake.lastWebView()->navigations.isEmpty());

        // Two menus, in order, with their items in order.
        const QList<QAction*> menus = window->menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus.at(0)->menu(), control<QMenu>(window, "mnuRunescape"));
        QCOMPARE(menus.at(1)->menu(), control<QMenu>(window, "mnuOther"));
        const auto texts = [](const QMenu* menu) {
            QStringList result;
            for (const QAction* action : menu->actions())
                result.append(action->text());
            return result;
        };
        QCOMPARE(control<QMenu>(window, "mnuRunescape")->title(), u"Runescape"_s);
        QCOMPARE(texts(control<QMenu>(window, "mnuRunescape")),
                 (QStringList{u"Homepage"_s, u"Forums"_s, u"Message Center"_s}));
        QCOMPARE(control<QMenu>(window, "mnuOther")->title(), u"Other"_s);
        QCOMPARE(texts(control<QMenu>(window, "mnuOther")),
                 (QStringList{u"Brambleden"_s, u"Brambleden Forum"_s}));
    }

    void presetPages_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("address");

        QTest::newRow("Homepage") << u"mnuHomepage"_s << u"http://www.runescape.com"_s;
        QTest::newRow("Forums") << u"mnuForums"_s << u"http://forum.runescape.com/forums.ws"_s;
        QTest::newRow("Message Center")
            << u"mnuMCenter"_s << u"http://www.runescape.com/loginform.ws?mod=ticketing&dest=inbox.ws"_s;
        QTest::newRow("Brambleden") << u"mnuBrambleden"_s << u"http://www.brambleden.com/"_s;
        QTest::newRow("Brambleden Forum") << u"mnuBrambledenForum"_s << u"http://www.brambleden.com/forum"_s;
    }

    void presetPages() {
        QFETCH(QString, action);
        QFETCH(QString, address);

        FakeHost fake;
        Program program(fake.host());
        frmBrowser* window = program.windows.get<frmBrowser>();
        auto* item = window->findChild<QAction*>(action);
        QVERIFY(item);
        item->trigger();
        QCOMPARE(fake.lastWebView()->navigations, QStringList{address});
        // The real view keeps the query as it is, delimiters included.
        QCOMPARE(QUrl::fromUserInput(address).toString(QUrl::FullyEncoded), address);
    }

    void tabKeepsHintAndEnterSendsIt() {
        FakeHost fake;
        Program program(fake.host());
        frmBrowser* window = program.windows.show<frmBrowser>();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // The window's own focus, which holds whether or not another test's window is active on the display.
        QCOMPARE(window->focusWidget(), control<WebView>(window, "wbBrowser"));

        QTest::keyClick(control<WebView>(window, "wbBrowser"), Qt::Key_Tab);
        QCOMPARE(window->focusWidget(), control<QLineEdit>(window, "txtURL"));
        // What the box gets when Tab brings the focus into an active window.
        QFocusEvent tabbedIn(QEvent::FocusIn, Qt::TabFocusReason);
        QApplication::sendEvent(control<QLineEdit>(window, "txtURL"), &tabbedIn);
        QCOMPARE(control<QLineEdit>(window, "txtURL")->text(), hint);
        QCOMPARE(control<QLineEdit>(window, "txtURL")->palette().color(QPalette::Text),
                 QColor(128, 128, 128));

        QTest::keyClick(control<QLineEdit>(window, "txtURL"), Qt::Key_Return);
        QCOMPARE(fake.lastWebView()->navigations, QStringList{hint});
    }

    void clickClearsHint() {
        FakeHost fake;
        Program program(fake.host());
        frmBrowser* window = program.windows.show<frmBrowser>();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QLineEdit* box = control<QLineEdit>(window, "txtURL");
        // The normal text colour of this platform's palette.
        const QColor windowText = Qt::black;

        // A right-button click is no click on the box.
        QTest::mouseClick(box, Qt::RightButton);
        QCOMPARE(box->text(), hint);

        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
        QCOMPARE(box->palette().color(QPalette::Text), windowText);

        // Typed text is never cleared by a click; the hint typed again exactly is.
        QTest::keyClicks(box, u"runescape"_s);
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), u"runescape"_s);
        box->clear();
        QTest::keyClicks(box, hint.toLower());
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), hint.toLower());
        box->clear();
        QTest::keyClicks(box, hint);
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->text(), QString());
        QVERIFY(fake.lastWebView()->navigations.isEmpty());
    }

    void enterSendsTypedTextUnchanged() {
        FakeHost fake;
        Program program(fake.host());
        frmBrowser* window = program.windows.show<frmBrowser>();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QLineEdit* box = control<QLineEdit>(window, "txtURL");
        QSignalSpy returns(box, &QLineEdit::returnPressed);

        QTest::mouseClick(box, Qt::LeftButton);
        const QString typed = u"  forum.example/a b?x=1&y=2  "_s;
        QTest::keyClicks(box, typed);
        QVERIFY(fake.lastWebView()->navigations.isEmpty());

        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter);
        QCOMPARE(fake.lastWebView()->navigations, (QStringList{typed, typed}));
        // The keys still reach the box, which keeps its text.
        QCOMPARE(returns.count(), 2);
        QCOMPARE(box->text(), typed);

        // On an empty box Enter sends the empty text.
        box->clear();
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(fake.lastWebView()->lastNavigation(), QString());
        QCOMPARE(fake.lastWebView()->navigations.size(), 3);
    }

    void captionUsesLocationNameAndShowsBrackets() {
        FakeHost fake;
        Program program(fake.host());
        frmBrowser* window = program.windows.show<frmBrowser>();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        FakeWebView* view = fake.lastWebView();

        view->showPage(u"News"_s);
        QCOMPARE(shownTitle(window), u"Mossport Browser [News]"_s);
        // The caption names the page the view reports, not the text the event carried.
        Q_EMIT view->TitleChange(u"something else"_s);
        QCOMPARE(shownTitle(window), u"Mossport Browser [News]"_s);

        view->showPage(u"[*]"_s);
        QCOMPARE(shownTitle(window), u"Mossport Browser [[*]]"_s);
        view->showPage(QString());
        QCOMPARE(shownTitle(window), u"Mossport Browser []"_s);
        QCOMPARE(control<QLineEdit>(window, "txtURL")->text(), hint);
    }

    void engineCaptionFollowsPagesAndLinks() {
        EngineProgram engine;
        frmBrowser* window = engine.program.windows.show<frmBrowser>();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        control<WebView>(window, "wbBrowser")->Navigate(m_server.address(u"/news"_s));
        QTRY_COMPARE_WITH_TIMEOUT(shownTitle(window), u"Mossport Browser [News]"_s, 20000);

        // Following a link on the page renews the caption; the address box is left as it was.
        pageOf(window)->runJavaScript(u"document.getElementById('next').click()"_s);
        QTRY_COMPARE_WITH_TIMEOUT(shownTitle(window), u"Mossport Browser [Scores [*]]"_s, 20000);
        QCOMPARE(control<QLineEdit>(window, "txtURL")->text(), hint);
        QCOMPARE(m_server.requestCount(u"/scores"_s), 1);
    }

    void engineTypedAddressLoads() {
        EngineProgram engine;
        frmBrowser* window = engine.program.windows.show<frmBrowser>();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        // No scheme typed: the web view makes an address of the text.
        QTest::mouseClick(control<QLineEdit>(window, "txtURL"), Qt::LeftButton);
        const QString typed = u"127.0.0.1:%1/typed"_s.arg(m_server.port());
        QVERIFY(typed.startsWith(u"127.0.0.1:"_s));
        QTest::keyClicks(control<QLineEdit>(window, "txtURL"), typed);
        QTest::keyClick(control<QLineEdit>(window, "txtURL"), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(shownTitle(window), u"Mossport Browser [Typed]"_s, 20000);
        QCOMPARE(m_server.requestCount(u"/typed"_s), 1);
        QCOMPARE(control<QLineEdit>(window, "txtURL")->text(), typed);
    }

    void engineResizeFollowsClientArea() {
        EngineProgram engine;
        frmBrowser* window = engine.program.windows.show<frmBrowser>();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        WebView* view = control<WebView>(window, "wbBrowser");
        const QRect box = twips::rect(120, 120, 11295, 285);

        // The rule has run once on showing: 20 twips narrower and lower than designed.
        QCOMPARE(control<QWidget>(window, "client")->size(), twips::size(11535, 9015));
        QCOMPARE(view->geometry(), twips::rect(120, 480, 11275, 8395));
        QCOMPARE(control<QLineEdit>(window, "txtURL")->geometry(), box);

        // 67 pixels, 1005 twips, wider: the view widens by as much, the address box does not.
        const int barHeight = window->height() - control<QWidget>(window, "client")->height();
        window->resize(twips::toPixels(11535) + 67, window->height());
        QTRY_COMPARE(control<QWidget>(window, "client")->width(), twips::toPixels(11535) + 67);
        QCOMPARE(view->size(), twips::size(11275, 8395) + QSize(67, 0));
        QCOMPARE(control<QLineEdit>(window, "txtURL")->geometry(), box);

        // 500 twips high gives no height: the view keeps its last height while its width still follows.
        window->resize(twips::toPixels(11535), barHeight + twips::toPixels(500));
        QTRY_COMPARE(control<QWidget>(window, "client")->size(), twips::size(11535, 500));
        QCOMPARE(view->size(), twips::size(11275, 8395));
        QCOMPARE(view->pos(), twips::rect(120, 480, 0, 0).topLeft());

        // Minimised, nothing changes and nothing is said, even when the client area changes meanwhile;
        // restoring lays out the view for the restored client area.
        window->setWindowState(Qt::WindowMinimized);
        window->resize(twips::toPixels(11535) + 150, barHeight + twips::toPixels(9015) + 150);
        QTRY_COMPARE(control<QWidget>(window, "client")->size(), twips::size(11535, 9015) + QSize(150, 150));
        QCOMPARE(view->size(), twips::size(11275, 8395));
        window->setWindowState(Qt::WindowNoState);
        QCOMPARE(view->size(), twips::size(11275, 8395) + QSize(150, 150));
        QCOMPARE(control<QLineEdit>(window, "txtURL")->geometry(), box);
        QVERIFY(engine.fake.dialogs.told.isEmpty());
    }

    // A page that asks for a new window, by a link with target="_blank" or by window.open: in the game and
    // highscores windows the address opens in the browser window, shown as the Browser command shows it; in
    // the browser window it opens in that same window.
    void engineNewWindowsOpenInTheBrowser_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("script");
        const QString link = u"document.getElementById('blank').click()"_s;
        const QString open = u"window.open('/scores')"_s;
        for (const QString& window : {u"browser"_s, u"game"_s, u"highscores"_s}) {
            QTest::addRow("%s, target=_blank", qPrintable(window)) << window << link;
            QTest::addRow("%s, window.open", qPrintable(window)) << window << open;
        }
    }
    void engineNewWindowsOpenInTheBrowser() {
        QFETCH(QString, window);
        QFETCH(QString, script);
        EngineProgram engine;
        Windows& windows = engine.program.windows;
        WebView* view = window == u"browser"_s ? control<WebView>(windows.show<frmBrowser>(), "wbBrowser")
                        : window == u"game"_s
                            ? control<WebView>(windows.show<frmMain>(), "wbApplet")
                            : control<WebView>(windows.show<frmHighscores>(), "wbHighscores");
        QVERIFY(QTest::qWaitForWindowExposed(view->window()));
        QWebEnginePage* page = static_cast<QtWebView*>(view)->engineView()->page();
        view->Navigate(m_server.address(u"/opener"_s));
        QTRY_COMPARE_WITH_TIMEOUT(page->title(), u"Opener"_s, 20000);

        page->runJavaScript(script);
        QTRY_VERIFY_WITH_TIMEOUT(windows.find<frmBrowser>() && shownTitle(windows.find<frmBrowser>()) ==
                                                                   u"Mossport Browser [Scores [*]]"_s,
                                 20000);
        frmBrowser* browser = windows.find<frmBrowser>();
        QVERIFY(browser->isVisible());
        QCOMPARE(browserWindowCount(), 1);
        QCOMPARE(pageOf(browser)->url(), QUrl(m_server.address(u"/scores"_s)));
        if (window == u"browser"_s)
            QCOMPARE(control<WebView>(browser, "wbBrowser"), view);
        else
            QCOMPARE(page->title(), u"Opener"_s);
    }

    void gameWindowKeepsOneBrowser() {
        FakeHost fake;
        Host host = fake.host();
        const auto fakeView = host.makeWebView;
        // The browser window gets a view that watches its window; the game window keeps its fake.
        host.makeWebView = [fakeView](QWidget* parent) -> WebView* {
            if (parent && qobject_cast<frmBrowser*>(parent->window()))
                return new WindowWatchingView(parent);
            return fakeView(parent);
        };
        Program program(host);
        frmMain* game = program.windows.get<frmMain>();

        handle(game, "mnuBrowser_Click");
        frmBrowser* browser = program.windows.find<frmBrowser>();
        QVERIFY(browser);
        QVERIFY(browser->isVisible());
        auto* view = qobject_cast<WindowWatchingView*>(control<WebView>(browser, "wbBrowser"));
        QVERIFY(view);
        QCOMPARE(view->navigations, QStringList{u"http://www.brambleden.com/mossport/"_s});
        // The new window was complete and on screen before the navigation reached it.
        QCOMPARE(view->windowVisible, QList<bool>{true});

        // Forums reuses the same window and sends it to the forums page.
        QTest::mouseClick(control<QLineEdit>(browser, "txtURL"), Qt::LeftButton);
        handle(game, "mnuForums_Click");
        QCOMPARE(program.windows.find<frmBrowser>(), browser);
        QCOMPARE(browserWindowCount(), 1);
        QCOMPARE(view->navigations, (QStringList{u"http://www.brambleden.com/mossport/"_s,
                                                 u"http://forum.runescape.com/forums.ws"_s}));
        QCOMPARE(control<QLineEdit>(browser, "txtURL")->text(), QString());

        // Closed, the next command creates it afresh in its initial state.
        QPointer<frmBrowser> closed = browser;
        browser->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(closed.isNull());
        QCOMPARE(browserWindowCount(), 0);
        handle(game, "mnuForums_Click");
        browser = program.windows.find<frmBrowser>();
        QVERIFY(browser);
        QCOMPARE(browserWindowCount(), 1);
        QCOMPARE(control<QLineEdit>(browser, "txtURL")->text(), hint);
        QCOMPARE(browser->windowTitle(), u"Mossport Browser"_s);
        view = qobject_cast<WindowWatchingView*>(control<WebView>(browser, "wbBrowser"));
        QVERIFY(view);
        QCOMPARE(view->navigations, QStringList{u"http://forum.runescape.com/forums.ws"_s});
    }

private:
    LoopbackServer m_server;
};

QTEST_MAIN(BrowserTest)
#include "browser_test.moc"
