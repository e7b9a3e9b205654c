#pragma once

#include "host/WebView.h"

#include <QPointer>
#include <QWebEnginePage>

class Dialogs;
class QAuthenticator;
class QWebEngineView;
class WebProfile;

// The web view over Qt WebEngine, on the program's one shared profile. Typed text becomes an address through
// QUrl::fromUserInput. A page's requests that need the user (a site's wish to use the camera, say, or a
// password) are put to the user through the dialogs. A page that goes full screen moves, for that time, into
// a full-screen window of its own above the view's window, which stays exactly as it was.
class QtWebView final : public WebView {
    Q_OBJECT
public:
    QtWebView(WebProfile& profile, Dialogs& dialogs, QWidget* parent = nullptr);
    ~QtWebView() override;

    void Navigate(const QString& address) override;
    QString LocationName() const override;
    void setFullScreenAllowed(bool allowed) override;

    QWebEngineView* engineView() const { return m_view; }
    QWebEnginePage* page() const { return m_page; }
    // The window that shows the page while it fills the screen; null otherwise.
    QWidget* fullScreenWindow() const { return m_fullScreen; }

protected:
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void askForFeature(const QUrl& origin, QWebEnginePage::Feature feature);
    void askForLogin(const QString& site, QAuthenticator* authenticator);
    void enterFullScreen();
    void leaveFullScreen();
    void askPageToLeaveFullScreen();

    WebProfile& m_profile;
    Dialogs& m_dialogs;
    QWebEngineView* m_view;
    // The view's own page. While the page is full screen another view shows it, and m_view has none.
    QWebEnginePage* m_page;
    QPointer<QWidget> m_fullScreen;
};
