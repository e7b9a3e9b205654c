#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QString>

// Menus as the windows design them: every menu and command named like its design name, so that tests find it.
namespace menus {

// The window's menu bar, drawn in the window itself rather than in a desktop-wide menu bar.
inline QMenuBar* menuBarOf(QMainWindow* window) {
    QMenuBar* bar = window->menuBar();
    bar->setNativeMenuBar(false);
    bar->setObjectName(QStringLiteral("menuBar"));
    return bar;
}

inline QMenu* addMenu(QMenuBar* bar, const char* name, const QString& caption) {
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

// A command in a menu, or on the menu bar itself, that runs `handler` of `window` when chosen.
template <class Window>
QAction* addCommand(QWidget* menu, const char* name, const QString& caption, Window* window,
                    void (Window::*handler)()) {
    auto* action = new QAction(caption, menu);
    action->setObjectName(QString::fromLatin1(name));
    menu->addAction(action);
    QObject::connect(action, &QAction::triggered, window, handler);
    return action;
}

} // namespace menus
