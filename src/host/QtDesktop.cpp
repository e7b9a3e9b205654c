#include "host/QtDesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

QImage QtDesktop::grabScreen() {
    // A Wayland client sees only its own windows; the screen is the compositor's to give.
    if (QGuiApplication::platformName() == u"wayland")
        return QImage();
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return QImage();
    if (screens.size() == 1)
        return screens.first()->grabWindow(0).toImage();
    // Several monitors: paint each one's picture at its place on the virtual desktop.
    const QRect desktop = screens.first()->virtualGeometry();
    QImage picture(desktop.size(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    for (QScreen* screen : screens)
        painter.drawPixmap(screen->geometry().topLeft() - desktop.topLeft(), screen->grabWindow(0));
    return picture;
}

// The clipboard owns what it is given and deletes it once something else takes its place. Qt 6.4's Wayland
// clipboard never does: every picture put there would stay in memory until the program ends. So whatever the
// program gave the clipboard and still exists after the clipboard has been cleared or given something else
// is deleted here; the clipboard no longer refers to it then.
QtDesktop::~QtDesktop() {
    if (!m_given || !qGuiApp)
        return;
    // At the end on Wayland the clipboard still refers to the last picture: it lets go of it first. The
    // desktop drops a Wayland client's clipboard at its end anyway; elsewhere the clipboard keeps it, for
    // the desktop to take over.
    if (QGuiApplication::platformName() != u"wayland")
        return;
    QGuiApplication::clipboard()->clear();
    deleteReplaced();
}

void QtDesktop::deleteReplaced() {
    delete m_given.data();
}

void QtDesktop::clearClipboard() {
    QGuiApplication::clipboard()->clear();
    deleteReplaced();
}

void QtDesktop::setClipboardImage(const QImage& image) {
    auto* data = new QMimeData;
    data->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(data);
    deleteReplaced();
    m_given = data;
}

QImage QtDesktop::clipboardImage() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasImage())
        return QImage();
    return QGuiApplication::clipboard()->image();
}

void QtDesktop::beep() {
    QApplication::beep();
}

QDateTime QtDesktop::now() const {
    return QDateTime::currentDateTime();
}

void QtDesktop::flushPointerChange() {
    // On X11 the change waits in the connection's output buffer, which the event loop flushes; only that
    // buffer is flushed here, without a turn of the event loop. A platform may offer the X11 interface
    // without a connection (offscreen does); elsewhere there is nothing to flush.
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (xcb_connection_t* connection = x11 ? x11->connection() : nullptr)
        xcb_flush(connection);
}
