#pragma once

#include "host/WebView.h"

class QWebEngineView;

// The web view over Qt WebEngine. Typed text becomes an address through QUrl::fromUserInput. Views use the
// engine's default profile, which is off the record: nothing is written to disk.
class QtWebView final : public WebView {
    Q_OBJECT
public:
    explicit QtWebView(QWidget* parent = nullptr);

    void Navigate(const QString& address) override;
    QString LocationName() const override;

    QWebEngineView* engineView() const { return m_view; }

    // Builds one engine view ahead of need, so that the first window with a web view opens without the
    // engine's cold start. The next QtWebView takes it over.
    static void warmUp();

private:
    QWebEngineView* m_view;
};
