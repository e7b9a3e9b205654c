#pragma once

// A stand-in for the desktop's screenshot portal on a private session bus, and the bus itself: the test
// decides how each request is answered, and when.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QImage>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

// A D-Bus daemon of the test's own, started with `dbus-daemon --session`, stopped when this goes.
class PrivateBus final {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the daemon could not be started; `problem` then says why.
    QString address() const { return m_address; }
    QString problem() const { return m_problem; }
    // A new connection to the bus under a name of its own.
    QDBusConnection connect(const QString& name) const;

private:
    QProcess m_daemon;
    QString m_address;
    QString m_problem;
};

// org.freedesktop.portal.Screenshot as the desktop offers it: a call names a request object, whose Response
// signal goes to the caller alone. Requests are answered as `reply` says: at once, or held until answer().
class StandInPortal final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    enum Reply { Picture, Cancelled, Refused, Hold };

    // Registers the portal on its own connection to `bus`; false when the bus refused the name or object.
    bool registerOn(const PrivateBus& bus);

    Reply reply = Picture;
    // The picture a Picture answer hands over, written into a file of the stand-in's own.
    QImage picture;
    // What each call asked for.
    QList<QVariantMap> calls;
    // The file the last Picture answer named.
    QString lastFile;

    // Answers the request held last, with `how`.
    void answer(Reply how);
    // While set, a call's own reply (the request object's path) is held too, until releaseCallReply().
    bool holdCallReply = false;
    void releaseCallReply();

public Q_SLOTS:
    QDBusObjectPath Screenshot(const QString& parentWindow, const QVariantMap& options);

private:
    void respond(Reply how);

    QDBusConnection m_connection{QString()};
    QTemporaryDir m_files;
    QString m_caller;
    QString m_requestPath;
    QDBusMessage m_heldCall;
    QString m_heldPath;
    int m_pictures = 0;
};
