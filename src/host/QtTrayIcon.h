#pragma once

#include "host/TrayIcon.h"

#include <QIcon>

class QSystemTrayIcon;

// The notification-area icon over QSystemTrayIcon. A single click on the icon activates it.
class QtTrayIcon final : public TrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(const QIcon& icon, QObject* parent = nullptr);

    bool isAvailable() const override;
    void show() override;
    void hide() override;
    bool isVisible() const override;

private:
    QSystemTrayIcon* m_icon;
};
