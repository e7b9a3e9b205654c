#include "host/QtWebView.h"

#include <QPointer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {
// The view built by warmUp(), waiting for its first user. It lives on the UI thread only.
QPointer<QWebEngineView> spareView;
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
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->show();
    setFocusProxy(m_view);
    connect(m_view, &QWebEngineView::titleChanged, this, &WebView::TitleChange);
    // Without a handler the engine drops a page's request for a new window without a trace.
    connect(
        m_view->page(), &QWebEnginePage::newWindowRequested, this,
        [this](QWebEngineNewWindowRequest& request) { Q_EMIT NewWindow(request.requestedUrl().toString()); });
}

void QtWebView::Navigate(const QString& address) {
    m_view->load(QUrl::fromUserInput(address));
}

QString QtWebView::LocationName() const {
    const QString title = m_view->title();
    return title.isEmpty() ? m_view->url().toString() : title;
}

void QtWebView::warmUp() {
    if (!spareView) {
        spareView = new QWebEngineView;
        // Making the page starts the engine itself (its profile and browser side), the costly part.
        spareView->page();
    }
}
