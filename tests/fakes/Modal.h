#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

// Runs `action` on the next modal dialog that appears, from the event loop the dialog runs. Gives up after
// `timeoutMs`, so a dialog that never comes does not leave a timer behind.
inline void onNextModal(std::function<void(QWidget*)> action, int timeoutMs = 10000) {
    auto* timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, clock, action = std::move(action), timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (modal)
            action(modal);
    });
    timer->start();
}
