#pragma once

#include "host/WebDownload.h"

#include <QString>
#include <QWidget>

// An embedded web view as the windows use it: navigate to a string, read the shown page's name, size the view
// in twips, hear when the shown document's title changes, and answer the page's downloads and requests for
// full screen.
class WebView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Starts loading the given text as an address in this view and returns at once.
    virtual void Navigate(const QString& address) = 0;
    // The title of the shown page, or its address when it has no title.
    virtual QString LocationName() const = 0;

    // Whether the shown page may fill the screen when it asks to (pages ask only after a click). Refused
    // until allowed. While the page fills the screen, Escape, the page's own exit, and the view's window
    // going out of sight each end it, and the page is told.
    virtual void setFullScreenAllowed(bool allowed) = 0;

    // The view's size in twips. A negative length is refused (false) and the old size kept.
    bool setWidthTwips(double twips);
    bool setHeightTwips(double twips);
    double widthTwips() const;
    double heightTwips() const;

Q_SIGNALS:
    // The title of the shown document changed.
    void TitleChange(const QString& title);
    // The shown page asked for a new window with this address (a link with target="_blank", window.open).
    // The view opens no window of its own: whoever shows the view decides where the address opens.
    void NewWindow(const QString& address);
    // The shown page sends a file to be saved (an attachment, a "download" link, a file the view cannot
    // show). The download waits for an answer; it belongs to the engine, and a download nobody accepts is
    // dropped.
    void DownloadRequested(WebDownload* download);
};
