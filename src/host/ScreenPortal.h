#pragma once

#include <QImage>
#include <QString>
#include <functional>

class QObject;

// The desktop's screenshot service, for desktops where a program cannot read the screen by itself (a Wayland
// session). The desktop answers later, and may first ask the user for permission.
class ScreenPortal {
public:
    // A picture of the whole screen, or no picture and the reason, in words fit to show the user.
    struct Answer {
        QImage picture;
        QString failure;
    };
    using Done = std::function<void(const Answer&)>;

    virtual ~ScreenPortal() = default;

    // Asks for a picture of the whole screen, without letting the user choose a part, and returns at once.
    // `done` runs once, later, on this thread, unless `context` is gone by then. While an earlier request is
    // open nothing is asked and the result is false.
    virtual bool request(QObject* context, Done done) = 0;
};
