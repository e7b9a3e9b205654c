#include "host/QtTrayIcon.h"

#include <QSystemTrayIcon>

QtTrayIcon::QtTrayIcon(const QIcon& icon, QObject* parent)
    : TrayIcon(parent)
    , m_icon(new QSystemTrayIcon(icon, this)) {
    m_icon->setToolTip(QString());
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            Q_EMIT activated();
    });
}

bool QtTrayIcon::isAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayIcon::show() {
    m_icon->show();
}

void QtTrayIcon::hide() {
    m_icon->hide();
}

bool QtTrayIcon::isVisible() const {
    return m_icon->isVisible();
}
