#include "host/QtDesktop.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

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

void QtDesktop::clearClipboard() {
    QGuiApplication::clipboard()->clear();
}

void QtDesktop::setClipboardImage(const QImage& image) {
    QGuiApplication::clipboard()->setImage(image);
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
