#include "host/QtWebView.h"

#include "host/Dialogs.h"
#include "host/WebProfile.h"

#include <QAuthenticator>
#include <QPointer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace {

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
    , m_view(profile.takeView()) {
    m_view->setParent(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->show();
    setFocusProxy(m_view);
    QWebEnginePage* page = m_view->page();
    connect(m_view, &QWebEngineView::titleChanged, this, &WebView::TitleChange);
    // Without a handler the engine drops a page's request for a new window without a trace.
    connect(page, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        Q_EMIT NewWindow(request.requestedUrl().toString());
    });
    // Unanswered, a request for a feature stays pending for good.
    connect(page, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, QWebEnginePage::Feature feature) { askForFeature(origin, feature); });
    connect(page, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl& address, QAuthenticator* authenticator) {
                askForLogin(siteName(address), authenticator);
            });
    connect(page, &QWebEnginePage::proxyAuthenticationRequired, this,
            [this](const QUrl&, QAuthenticator* authenticator, const QString& proxyHost) {
                askForLogin(proxyHost, authenticator);
            });
    // Certificate errors are left to the engine, which refuses the page and shows its error page.
}

void QtWebView::askForFeature(const QUrl& origin, QWebEnginePage::Feature feature) {
    QWebEnginePage* page = m_view->page();
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
    m_view->load(QUrl::fromUserInput(address));
}

QString QtWebView::LocationName() const {
    const QString title = m_view->title();
    return title.isEmpty() ? m_view->url().toString() : title;
}
