#include "host/QtWebView.h"

#include "host/Dialogs.h"
#include "host/QtWebDownload.h"
#include "host/WebProfile.h"

#include <QAction>
#include <QAuthenticator>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace {
// How long the notice about Escape stays on a page that has just gone full screen.
constexpr int noticeMs = 4000;

// A site as the user knows it: its host, and the port where it is not the scheme's own.
QString siteName(const QUrl& url) {
    return url.port() == -1 ? url.host() : u"%1:%2"_s.arg(url.host()).arg(url.port());
}

// What a site wants, as the question to the user says it; empty for a feature the program never grants.
QString featureWish(QWebEnginePage::Feature feature) {
    switch (feature) {
    case QWebEnginePage::Notifications:
        return u"show notifications"_s;
    case QWebEnginePage::Geolocation:
        return u"know your location"_s;
    case QWebEnginePage::MediaAudioCapture:
        return u"use your microphone"_s;
    case QWebEnginePage::MediaVideoCapture:
        return u"use your camera"_s;
    case QWebEnginePage::MediaAudioVideoCapture:
        return u"use your camera and microphone"_s;
    case QWebEnginePage::DesktopVideoCapture:
        return u"share your screen"_s;
    case QWebEnginePage::DesktopAudioVideoCapture:
        return u"share your screen and its sound"_s;
    default:
        return {};
    }
}

} // namespace

QtWebView::QtWebView(WebProfile& profile, Dialogs& dialogs, QWidget* parent)
    : WebView(parent)
    , m_profile(profile)
    , m_dialogs(dialogs)
    , m_view(profile.takeView())
    , m_page(m_view->page()) {
    m_view->setParent(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->show();
    setFocusProxy(m_view);
    connect(m_page, &QWebEnginePage::titleChanged, this, &WebView::TitleChange);
    // Without a handler the engine drops a page's request for a new window without a trace.
    connect(m_page, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        Q_EMIT NewWindow(request.requestedUrl().toString());
    });

    // Every page of the profile reports its downloads there; this view answers for its own page only.
    connect(m_page->profile(), &QWebEngineProfile::downloadRequested, this,
            [this](QWebEngineDownloadRequest* request) {
                if (request->page() == m_page &&
                    request->state() == QWebEngineDownloadRequest::DownloadRequested)
                    Q_EMIT DownloadRequested(new QtWebDownload(request));
            });

    // Unanswered, a request for a feature stays pending for good.
    connect(m_page, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, QWebEnginePage::Feature feature) { askForFeature(origin, feature); });
    connect(m_page, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl& address, QAuthenticator* authenticator) {
                askForLogin(siteName(address), authenticator);
            });
    connect(m_page, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl&, QAuthenticator* authenticator, const QString& proxyHost) {
                askForLogin(proxyHost, authenticator);
            });
    // Certificate errors are left to the engine, which refuses the page and shows its error page.

    m_page->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    connect(m_page, &QWebEnginePage::fullScreenRequested, this, [this](QWebEngineFullScreenRequest request) {
        const bool allowed = m_page->settings()->testAttribute(QWebEngineSettings::FullScreenSupportEnabled);
        if (request.toggleOn() && !allowed) {
            request.reject();
            return;
        }
        request.accept();
        if (request.toggleOn())
            enterFullScreen();
        else
            leaveFullScreen();
    });
}

QtWebView::~QtWebView() {
    // The page goes back to its own view before either view goes.
    if (m_fullScreen) {
        m_view->setPage(m_page);
        delete m_fullScreen;
    }
}

void QtWebView::askForFeature(const QUrl& origin, QWebEnginePage::Feature feature) {
    QWebEnginePage* page = m_page;
    // Pointer lock needs no question: the engine grants it only after a click, and releases it on Escape.
    if (feature == QWebEnginePage::MouseLock) {
        page->setFeaturePermission(origin, feature, QWebEnginePage::PermissionGrantedByUser);
        return;
    }
    const QString wish = featureWish(feature);
    std::optional<bool> allowed = wish.isEmpty() ? false : m_profile.answer(origin, feature);
    if (!allowed) {
        // The question runs its own event loop: this view and its page may go while it is open, the profile
        // outlives them.
        const QPointer<QWebEnginePage> guard = page;
        WebProfile& profile = m_profile;
        allowed = m_dialogs.confirm(u"%1 wants to %2. Allow it?"_s.arg(siteName(origin), wish));
        profile.rememberAnswer(origin, feature, *allowed);
        if (!guard)
            return;
    }
    page->setFeaturePermission(origin, feature,
                               *allowed ? QWebEnginePage::PermissionGrantedByUser
                                        : QWebEnginePage::PermissionDeniedByUser);
}

// The password goes to the engine for this one request and is kept nowhere by the program. Cancel leaves the
// authenticator null, and the engine shows the site's own answer.
void QtWebView::askForLogin(const QString& site, QAuthenticator* authenticator) {
    const auto login = m_dialogs.askLogin(site, authenticator->realm());
    if (!login) {
        *authenticator = QAuthenticator();
        return;
    }
    authenticator->setUser(login->user);
    authenticator->setPassword(login->password);
}

void QtWebView::Navigate(const QString& address) {
    m_page->load(QUrl::fromUserInput(address));
}

QString QtWebView::LocationName() const {
    const QString title = m_page->title();
    return title.isEmpty() ? m_page->url().toString() : title;
}

void QtWebView::setFullScreenAllowed(bool allowed) {
    m_page->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, allowed);
    if (!allowed)
        askPageToLeaveFullScreen();
}

void QtWebView::enterFullScreen() {
    if (m_fullScreen)
        return;
    // A window of its own, owned by this view so that it cannot outlive it.
    auto* window = new QWidget(this, Qt::Window);
    window->setObjectName(u"fullScreenWindow"_s);
    window->setWindowTitle(this->window()->windowTitle());
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* view = new QWebEngineView(window);
    view->setPage(m_page);
    layout->addWidget(view);

    auto* notice = new QLabel(u"Press Escape to leave full screen"_s, window);
    notice->setObjectName(u"fullScreenNotice"_s);
    notice->setStyleSheet(
        u"background: rgba(0, 0, 0, 200); color: white; padding: 12px; border-radius: 6px;"_s);
    notice->adjustSize();
    notice->raise();
    auto* timer = new QTimer(notice);
    timer->setObjectName(u"fullScreenNoticeTimer"_s);
    timer->setSingleShot(true);
    timer->setInterval(noticeMs);
    connect(timer, &QTimer::timeout, notice, &QWidget::hide);
    timer->start();

    // The engine does not leave full screen on Escape by itself.
    auto* escape = new QAction(window);
    escape->setShortcut(Qt::Key_Escape);
    escape->setShortcutContext(Qt::WindowShortcut);
    connect(escape, &QAction::triggered, this, &QtWebView::askPageToLeaveFullScreen);
    window->addAction(escape);

    window->installEventFilter(this);
    m_fullScreen = window;
    window->showFullScreen();
    window->activateWindow();
    view->setFocus();
}

void QtWebView::leaveFullScreen() {
    if (!m_fullScreen)
        return;
    QWidget* window = m_fullScreen;
    m_fullScreen = nullptr;
    window->removeEventFilter(this);
    m_view->setPage(m_page);
    window->hide();
    window->deleteLater();
    this->window()->activateWindow();
    m_view->setFocus();
}

void QtWebView::askPageToLeaveFullScreen() {
    // The page leaves full screen and asks to be shown normally again, which leaveFullScreen() does.
    if (m_fullScreen)
        m_page->triggerAction(QWebEnginePage::ExitFullScreen);
}

bool QtWebView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_fullScreen) {
        // The full-screen window closed or made normal by other means: the page must not go on believing it
        // fills the screen.
        const bool closed = event->type() == QEvent::Close;
        const bool madeNormal = event->type() == QEvent::WindowStateChange &&
                                !(m_fullScreen->windowState() & Qt::WindowFullScreen);
        if (closed || madeNormal) {
            askPageToLeaveFullScreen();
            if (closed)
                event->ignore();
            return closed;
        }
        if (event->type() == QEvent::Resize) {
            if (auto* notice = m_fullScreen->findChild<QLabel*>(u"fullScreenNotice"_s))
                notice->move((m_fullScreen->width() - notice->width()) / 2, 24);
        }
    }
    return WebView::eventFilter(watched, event);
}

void QtWebView::hideEvent(QHideEvent* event) {
    // The view's window went out of sight (hidden into the notification area, minimised, closed).
    askPageToLeaveFullScreen();
    WebView::hideEvent(event);
}
