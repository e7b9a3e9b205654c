#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <typeindex>
#include <vector>

class Program;

// The program's windows. Each window class has at most one instance: created on first use (its load step,
// the slot Form_Load where it has one, runs then), reused while it lives, and forgotten the moment it is
// closed, so that the next use creates it afresh. A window class W is constructed as W(Program&).
class Windows final : public QObject {
    Q_OBJECT
public:
    explicit Windows(Program& program);
    ~Windows() override;

    // The one instance of W, created (and loaded) if it does not exist. Null when its own load step closed
    // it again.
    template <class W> W* get();
    // The instance of W if it exists, else null.
    template <class W> W* find() const;
    // Gets W and shows it; null when its load step closed it.
    template <class W> W* show();

    // Makes a window visible, modeless and without an owner, and activates it.
    static void show(QWidget* window);
    // Closes one window: it is forgotten at once and destroyed.
    void unload(QWidget* window);
    // Ends the program: every window is destroyed at once, without its close handling, and programEnded()
    // tells the application to leave its event loop. Every way of ending the program goes through here.
    void endProgram();

    int count() const;
    bool hasEnded() const { return m_ended; }

Q_SIGNALS:
    // The program has ended: main() leaves the event loop on it.
    void programEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        std::type_index type;
        QPointer<QWidget> window;
    };

    QWidget* findType(std::type_index type) const;
    void adopt(std::type_index type, QWidget* window);
    // Runs the window's load step, a slot that it keeps private like its other handlers.
    static void load(QWidget* window);
    void forget(QWidget* window);

    Program& m_program;
    std::vector<Entry> m_entries;
    bool m_ended = false;
};

template <class W> W* Windows::find() const {
    return static_cast<W*>(findType(typeid(W)));
}

template <class W> W* Windows::get() {
    if (W* existing = find<W>())
        return existing;
    auto* window = new W(m_program);
    adopt(typeid(W), window);
    load(window);
    return find<W>();
}

template <class W> W* Windows::show() {
    W* window = get<W>();
    if (window)
        show(window);
    return window;
}
