#pragma once

#include <QObject>

// The notification-area icon: put in, take out, and one activation event.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Whether the desktop has a notification area to put the icon into.
    virtual bool isAvailable() const = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;

Q_SIGNALS:
    void activated();
};
