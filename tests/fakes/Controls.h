#pragma once

// What tests and benchmarks use to reach a window's controls and handlers, which the window keeps private:
// a control by the object name the window gives it, a handler (a private slot) through Qt's meta-object
// system, as its event would run it.

#include <QMetaObject>
#include <QMetaType>
#include <QObject>
#include <QString>

// The window's control of this name and type. A missing one ends the run: the test itself is wrong.
template <class Control> Control* control(const QObject* window, const char* name) {
    Control* found = window->findChild<Control*>(QString::fromLatin1(name));
    if (!found)
        qFatal("%s has no control %s of the type asked for", qPrintable(window->objectName()), name);
    return found;
}

// Runs the window's handler with these arguments. A missing one ends the run: the test itself is wrong.
template <class... Args> void handle(QObject* window, const char* handler, const Args&... args) {
    if (!QMetaObject::invokeMethod(window, handler, Qt::DirectConnection,
                                   QArgument<Args>(QMetaType::fromType<Args>().name(), args)...))
        qFatal("%s has no handler %s taking these arguments", qPrintable(window->objectName()), handler);
}
