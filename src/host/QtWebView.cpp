#include "host/QtWebView.h"

#include "host/QtWebDownload.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
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
// The view built by warmUp(), waiting for its first user. It lives on the UI thread only.
QPointer<QWebEngineView> spareView;

// How long the notice about Escape stays on a page that has just gone full screen.
constexpr int noticeMs = 4000;
} // namespace

QtWebView::QtWebView(QWidget* parent)
    : WebView(parent) {
    if (spareView) {
        m_view = spareView;
        spareView = nullptr;
        m_view->setParent(this);
    } else {
        m_view = new QWebEngineView(this);
    }
    m_page = m_view->page();
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

void QtWebView::warmUp() {
    if (!spareView) {
        spareView = new QWebEngineView;
        // Making the page starts the engine itself (its profile and browser side), the costly part.
        spareView->page();
    }
}
