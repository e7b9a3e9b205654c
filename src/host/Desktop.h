#pragma once

#include <QDateTime>
#include <QImage>

// The desktop around the program: the screen's picture, the clipboard, the beep, the clock and the mouse
// pointer.
class Desktop {
public:
    virtual ~Desktop() = default;

    // A picture of the whole virtual desktop (every monitor), or a null image where the program cannot read
    // the screen by itself.
    virtual QImage grabScreen() = 0;
    virtual void clearClipboard() = 0;
    virtual void setClipboardImage(const QImage& image) = 0;
    // The clipboard's picture, or a null image when it holds none.
    virtual QImage clipboardImage() const = 0;
    virtual void beep() = 0;
    virtual QDateTime now() const = 0;
    // Hands a change of the mouse pointer (such as the wait pointer) to the window system now, rather than at
    // the next turn of the event loop, for work that holds the event loop up.
    virtual void flushPointerChange() = 0;
};
