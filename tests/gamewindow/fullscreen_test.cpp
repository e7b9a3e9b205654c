// Full screen with the real web engine and a window manager: a page on 127.0.0.1 asks for it after a click.
#include "Fakes.h"
#include "LoopbackServer.h"
#include "app/Program.h"
#include "gamewindow/frmMain.h"
#include "highscores/frmHighscores.h"
#include "host/QtWebView.h"
#include "host/WebProfile.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace {

// A button over the whole page that asks for full screen; the title tells what the page believes.
const QByteArray page = R"(<html><head><title>start</title><style>body{margin:0}
button{width:100%;height:100vh}</style></head><body><button id='go'
onclick='document.documentElement.requestFullscreen()'>go</button><script>
function show() { document.title = (document.fullscreenElement ? 'full ' : 'normal ') + innerWidth + 'x' + innerHeight; }
document.addEventListener('fullscreenchange', show);
document.addEventListener('fullscreenerror', () => { document.title = 'refused'; });
addEventListener('resize', show);
</script></body></html>)";

QtWebView* realView(QWidget* window, const QString& name) {
    return qobject_cast<QtWebView*>(window->findChild<WebView*>(name));
}

// A click as the user makes it, on the engine's own widget, so that the page may ask for full screen; true
// once the page's title is `expected`. A page just loaded may not take clicks yet: a test clicks until it
// does.
bool clickPage(QtWebView* view, const QString& expected) {
    if (view->LocationName() == expected)
        return true;
    if (!view->fullScreenWindow()) {
        QWidget* target = view->engineView()->focusProxy();
        QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
    }
    return false;
}

} // namespace

class FullScreenTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        if (!qEnvironmentVariableIsSet("MOSSPORT_WINDOW_MANAGER"))
            QSKIP("full screen needs the window manager that with-openbox.sh starts");
        m_server.addPage(u"/game"_s, page);
    }

    // However full screen ends, the page learns it and the game window is exactly as before.
    void theGameWindowComesBackAsItWas_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape") << u"escape"_s;
        QTest::newRow("the page's own exit") << u"page"_s;
        QTest::newRow("full-screen window made normal") << u"normal"_s;
        QTest::newRow("game window hidden") << u"hidden"_s;
    }
    void theGameWindowComesBackAsItWas() {
        QFETCH(QString, how);
        Program program(host());
        frmMain* game = program.windows.show<frmMain>();
        QVERIFY(QTest::qWaitForWindowExposed(game));
        game->findChild<QAction*>(u"mnuSidebar"_s)->trigger();
        QtWebView* view = realView(game, u"wbApplet"_s);
        QWidget* client = view->parentWidget();
        QTRY_COMPARE(client->width(), 13095 / 15);
        view->Navigate(m_server.address(u"/game"_s));
        QTRY_VERIFY_WITH_TIMEOUT(
            view->LocationName().startsWith(u"normal"_s) || view->LocationName() == u"start"_s, 20000);
        const QRect before = game->geometry();

        const QSize screen = game->screen()->geometry().size();
        const QString full = u"full %1x%2"_s.arg(screen.width()).arg(screen.height());
        QTRY_VERIFY_WITH_TIMEOUT(clickPage(view, full), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(view->LocationName(), full, 20000);
        QWidget* fullScreen = view->fullScreenWindow();
        QVERIFY(fullScreen && fullScreen->isVisible());
        QCOMPARE(fullScreen->geometry(), game->screen()->geometry());
        auto* notice = fullScreen->findChild<QLabel*>(u"fullScreenNotice"_s);
        QVERIFY(notice->isVisible());
        QVERIFY(notice->text().contains(u"Escape"_s));

        if (how == u"escape"_s)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : fullScreen,
                            Qt::Key_Escape);
        else if (how == u"page"_s)
            view->page()->runJavaScript(u"document.exitFullscreen()"_s);
        else if (how == u"normal"_s)
            fullScreen->showNormal();
        else
            game->hide();
        QTRY_VERIFY(!view->fullScreenWindow());
        // A page out of sight hears of the change when it is shown again.
        if (how == u"hidden"_s)
            game->show();
        QTRY_VERIFY_WITH_TIMEOUT(view->LocationName().startsWith(u"normal "_s), 20000);
        // The window manager places a window shown again where it likes: there only the size must hold.
        if (how == u"hidden"_s)
            QTRY_COMPARE(game->geometry().size(), before.size());
        else
            QTRY_COMPARE(game->geometry(), before);
        QCOMPARE(client->width(), 13095 / 15);
        QVERIFY(game->menuBar()->isVisible());
        QCOMPARE(view->engineView()->page(), view->page());
    }

    // The highscores window refuses: the page hears so and nothing leaves the window.
    void theHighscoresWindowRefuses() {
        Program program(host());
        auto* highscores = program.windows.show<frmHighscores>();
        QVERIFY(QTest::qWaitForWindowExposed(highscores));
        QtWebView* view = realView(highscores, u"wbHighscores"_s);
        view->Navigate(m_server.address(u"/game"_s));
        QTRY_COMPARE_WITH_TIMEOUT(view->LocationName(), u"start"_s, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(clickPage(view, u"refused"_s), 20000);
        QVERIFY(!view->fullScreenWindow());
    }

private:
    Host host() {
        Host host = m_fakes.host();
        host.makeWebView = [this](QWidget* parent) -> WebView* {
            return new QtWebView(m_profile, m_fakes.dialogs, parent);
        };
        return host;
    }

    FakeHost m_fakes;
    LoopbackServer m_server;
    // In memory: nothing of these pages is kept.
    WebProfile m_profile{WebProfile::Folders{}};
};

QTEST_MAIN(FullScreenTest)
#include "fullscreen_test.moc"
