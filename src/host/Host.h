#pragma once

#include <QString>
#include <functional>

class Desktop;
class Dialogs;
class Http;
class QIcon;
class QObject;
class QWidget;
class ScreenPortal;
class TrayIcon;
class WebView;

// Every outside component the windows use. main() fills it with the real Qt ones; tests fill it with fakes
// or with real ones pointed at loopback servers and temporary folders. The pointers are not owned.
struct Host {
    std::function<WebView*(QWidget* parent)> makeWebView;
    std::function<TrayIcon*(const QIcon& icon, QObject* parent)> makeTrayIcon;
    Dialogs* dialogs = nullptr;
    Http* http = nullptr;
    Desktop* desktop = nullptr;
    // The desktop's screenshot service, asked where the screen cannot be read directly; none when null.
    ScreenPortal* screenPortal = nullptr;
    // Prepares the web engine ahead of the first web view; may do nothing.
    std::function<void()> warmUpWebViews = [] {
    };
    // The folder that holds the program, without a trailing separator.
    QString programFolder;
};
