#include "app/Windows.h"

#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <utility>

Windows::Windows(Program& program)
    : m_program(program) {
}

Windows::~Windows() {
    for (const Entry& entry : m_entries)
        delete entry.window.data();
}

QWidget* Windows::findType(std::type_index type) const {
    for (const Entry& entry : m_entries) {
        if (entry.type == type && entry.window)
            return entry.window;
    }
    return nullptr;
}

void Windows::adopt(std::type_index type, QWidget* window) {
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->installEventFilter(this);
    std::erase_if(m_entries, [](const Entry& entry) { return entry.window.isNull(); });
    m_entries.push_back({type, window});
}

void Windows::load(QWidget* window) {
    if (window->metaObject()->indexOfSlot("Form_Load()") >= 0)
        QMetaObject::invokeMethod(window, "Form_Load", Qt::DirectConnection);
}

void Windows::forget(QWidget* window) {
    std::erase_if(m_entries,
                  [window](const Entry& entry) { return entry.window == window || !entry.window; });
    window->removeEventFilter(this);
    if (m_entries.empty() && !m_ended) {
        // The program ends when no window is left once the current handler has finished: a handler that
        // closes one window and then shows another keeps it running.
        QTimer::singleShot(0, this, [this] {
            if (m_entries.empty() && !m_ended)
                endProgram();
        });
    }
}

bool Windows::eventFilter(QObject* watched, QEvent* event) {
    // No window of the program refuses to close, so a close event means the window is going.
    if (event->type() == QEvent::Close) {
        if (auto* window = qobject_cast<QWidget*>(watched))
            forget(window);
    }
    return QObject::eventFilter(watched, event);
}

void Windows::show(QWidget* window) {
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

void Windows::unload(QWidget* window) {
    if (window)
        window->close();
}

void Windows::endProgram() {
    if (m_ended)
        return;
    m_ended = true;
    const std::vector<Entry> entries = std::exchange(m_entries, {});
    for (const Entry& entry : entries) {
        if (QWidget* window = entry.window) {
            // Hiding sends no close event; the window goes when control returns to the event loop, so a
            // handler that ends the program from inside a window's own code finishes safely.
            window->removeEventFilter(this);
            window->hide();
            window->deleteLater();
        }
    }
    Q_EMIT programEnded();
}

int Windows::count() const {
    return int(
        std::count_if(m_entries.begin(), m_entries.end(), [](const Entry& e) { return !e.window.isNull(); }));
}
