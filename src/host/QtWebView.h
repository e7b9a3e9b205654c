#pragma once

#include "host/WebView.h"

#include <QPointer>

class QWebEnginePage;
class QWebEngineView;

// The web view over Qt WebEngine. Typed text becomes an address through QUrl::fromUserInput. A page that goes
// full screen moves, for that time, into a full-screen window of its own above the view's window, which stays
// exactly as it was.
class QtWebView final : public WebView {
    Q_OBJECT
public:
    explicit QtWebView(QWidget* parent = nullptr);
    ~QtWebView() override;

    void Navigate(const QString& address) override;
    QString LocationName() const override;
    void setFullScreenAllowed(bool allowed) override;

    QWebEngineView* engineView() const { return m_view; }
    QWebEnginePage* page() const { return m_page; }
    // The window that shows the page while it fills the screen; null otherwise.
    QWidget* fullScreenWindow() const { return m_fullScreen; }

    // Builds one engine view ahead of need, so that the first window with a web view opens without the
    // engine's cold start. The next QtWebView takes it over.
    static void warmUp();

protected:
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void enterFullScreen();
    void leaveFullScreen();
    void askPageToLeaveFullScreen();

    QWebEngineView* m_view;
    // The view's own page. While the page is full screen another view shows it, and m_view has none.
    QWebEnginePage* m_page;
    QPointer<QWidget> m_fullScreen;
};
