#pragma once

#include "host/WebView.h"

#include <QWebEnginePage>

class Dialogs;
class QAuthenticator;
class QWebEngineView;
class WebProfile;

// The web view over Qt WebEngine, on the program's one shared profile. Typed text becomes an address through
// QUrl::fromUserInput. A page's requests that need the user (a site's wish to use the camera, say, or a
// password) are put to the user through the dialogs.
class QtWebView final : public WebView {
    Q_OBJECT
public:
    QtWebView(WebProfile& profile, Dialogs& dialogs, QWidget* parent = nullptr);

    void Navigate(const QString& address) override;
    QString LocationName() const override;

    QWebEngineView* engineView() const { return m_view; }

private:
    void askForFeature(const QUrl& origin, QWebEnginePage::Feature feature);
    void askForLogin(const QString& site, QAuthenticator* authenticator);

    WebProfile& m_profile;
    Dialogs& m_dialogs;
    QWebEngineView* m_view;
};
