#pragma once

#include "host/ScreenPortal.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <optional>

class QDBusPendingCallWatcher;

// The screenshot portal (org.freedesktop.portal.Screenshot) on a D-Bus session bus. One request at a time:
// the call names a request object, whose Response signal carries the answer and the address of the
// picture the desktop wrote.
class DBusScreenPortal final : public QObject, public ScreenPortal {
    Q_OBJECT
public:
    // How long a request stays open without an answer: time enough for the user to answer the desktop's
    // question about permission.
    static constexpr std::chrono::milliseconds answerTime{std::chrono::minutes(2)};

    // `bus` gives the session bus; it is first called at the first request, so that a program that never
    // needs the portal never connects.
    explicit DBusScreenPortal(std::function<QDBusConnection()> bus, QObject* parent = nullptr);

    bool request(QObject* context, Done done) override;

    // Whether a request waits for its answer.
    bool isOpen() const { return m_open; }
    // Counts the time a request may wait; running exactly while a request waits.
    const QTimer& answerTimer() const { return m_answerTimer; }
    // The answer timer's end: the open request is given up and answered with a failure.
    void answerTimer_Timeout();

private Q_SLOTS:
    void Response(uint response, const QVariantMap& results);

private:
    void callFinished(QDBusPendingCallWatcher* call);
    void listen(const QString& requestPath);
    void stopListening();
    void finish(const Answer& answer);

    std::function<QDBusConnection()> m_connect;
    std::optional<QDBusConnection> m_bus;
    QTimer m_answerTimer;
    bool m_open = false;
    QString m_requestPath;
    // The call of the open request; replies to earlier calls are not heard.
    QPointer<QDBusPendingCallWatcher> m_call;
    QPointer<QObject> m_context;
    Done m_done;
    quint64 m_requests = 0;
};
