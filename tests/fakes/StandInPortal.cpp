#include "StandInPortal.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>

using namespace Qt::StringLiterals;

PrivateBus::PrivateBus() {
    m_daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    if (!m_daemon.waitForStarted()) {
        m_problem = u"dbus-daemon could not be started: "_s + m_daemon.errorString();
        return;
    }
    // The daemon prints its address once it listens.
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty())
        m_problem =
            u"dbus-daemon printed no address: "_s + QString::fromLocal8Bit(m_daemon.readAllStandardError());
}

PrivateBus::~PrivateBus() {
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }
}

QDBusConnection PrivateBus::connect(const QString& name) const {
    return QDBusConnection::connectToBus(m_address, name);
}

bool StandInPortal::registerOn(const PrivateBus& bus) {
    m_connection = bus.connect(u"stand-in portal"_s);
    return m_connection.isConnected() &&
           m_connection.registerObject(u"/org/freedesktop/portal/desktop"_s, this,
                                       QDBusConnection::ExportAllSlots) &&
           m_connection.registerService(u"org.freedesktop.portal.Desktop"_s);
}

QDBusObjectPath StandInPortal::Screenshot(const QString&, const QVariantMap& options) {
    calls.append(options);
    m_caller = message().service();
    QString sender = m_caller.mid(1);
    sender.replace(u'.', u'_');
    m_requestPath = u"/org/freedesktop/portal/desktop/request/%1/%2"_s.arg(
        sender, options.value(u"handle_token"_s).toString());
    if (holdCallReply) {
        setDelayedReply(true);
        m_heldCall = message();
        m_heldPath = m_requestPath;
    }
    if (reply != Hold) {
        // The real portal replies to the call first and sends the answer after it.
        const Reply how = reply;
        QMetaObject::invokeMethod(
            this, [this, how] { respond(how); }, Qt::QueuedConnection);
    }
    return QDBusObjectPath(m_requestPath);
}

void StandInPortal::releaseCallReply() {
    m_connection.send(m_heldCall.createReply(QVariant::fromValue(QDBusObjectPath(m_heldPath))));
}

void StandInPortal::answer(Reply how) {
    respond(how);
}

void StandInPortal::respond(Reply how) {
    QVariantMap results;
    uint response = 2;
    if (how == Picture) {
        lastFile = m_files.filePath(u"screenshot-%1.png"_s.arg(++m_pictures));
        picture.save(lastFile, "PNG");
        results.insert(u"uri"_s, QUrl::fromLocalFile(lastFile).toString());
        response = 0;
    } else if (how == Cancelled) {
        response = 1;
    }
    QDBusMessage signal = QDBusMessage::createTargetedSignal(
        m_caller, m_requestPath, u"org.freedesktop.portal.Request"_s, u"Response"_s);
    signal << response << results;
    m_connection.send(signal);
}
