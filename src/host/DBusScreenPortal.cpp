#include "host/DBusScreenPortal.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QString portalService = u"org.freedesktop.portal.Desktop"_s;
const QString portalPath = u"/org/freedesktop/portal/desktop"_s;
const QString screenshotInterface = u"org.freedesktop.portal.Screenshot"_s;
const QString requestInterface = u"org.freedesktop.portal.Request"_s;

const QString noService = u"this desktop offers no screenshot service"_s;

// The portal's answers: 0 the picture, 1 the user cancelled, anything else the request ended otherwise.
constexpr uint answeredWithPicture = 0;
constexpr uint cancelledByUser = 1;

// Reads the picture the desktop wrote. The file is the desktop's hand-over and nobody else's: once read it
// is removed, provided it is a plain file on this machine.
ScreenPortal::Answer readPicture(const QString& uri) {
    const QUrl url(uri);
    if (!url.isLocalFile())
        return {{}, u"the desktop's picture could not be read"_s};
    const QString path = url.toLocalFile();
    QImageReader reader(path);
    const QImage picture = reader.read();
    const QFileInfo file(path);
    if (file.isFile() && !file.isSymLink())
        QFile::remove(path);
    if (picture.isNull())
        return {{}, u"the desktop's picture could not be read (%1)"_s.arg(reader.errorString())};
    return {picture, {}};
}

} // namespace

DBusScreenPortal::DBusScreenPortal(std::function<QDBusConnection()> bus, QObject* parent)
    : QObject(parent)
    , m_connect(std::move(bus)) {
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(answerTime);
    connect(&m_answerTimer, &QTimer::timeout, this, &DBusScreenPortal::answerTimer_Timeout);
}

bool DBusScreenPortal::request(QObject* context, Done done) {
    if (m_open)
        return false;
    m_open = true;
    m_context = context;
    m_done = std::move(done);
    m_answerTimer.start();
    if (!m_bus)
        m_bus = m_connect();
    if (!m_bus->isConnected()) {
        // Answered from the event loop all the same, so that every answer comes after the request returns.
        QTimer::singleShot(0, this, [this] { finish({{}, noService}); });
        return true;
    }

    // The request object's path is known before the call, from the bus name and a token of our own, so the
    // answer cannot slip past between the call's reply and listening for it.
    const QString token = u"mossport%1"_s.arg(++m_requests);
    QString sender = m_bus->baseService().mid(1);
    sender.replace(u'.', u'_');
    listen(u"%1/request/%2/%3"_s.arg(portalPath, sender, token));

    QDBusMessage call =
        QDBusMessage::createMethodCall(portalService, portalPath, screenshotInterface, u"Screenshot"_s);
    const QVariantMap options = {{u"handle_token"_s, token}, {u"interactive"_s, false}, {u"modal"_s, false}};
    call << QString() << options;
    auto* watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call), this);
    m_call = watcher;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DBusScreenPortal::callFinished);
    return true;
}

void DBusScreenPortal::callFinished(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    // The reply to a request already given up must not redirect a newer request's listening.
    if (!m_open || call != m_call)
        return;
    const QDBusPendingReply<QDBusObjectPath> reply = *call;
    if (reply.isError()) {
        switch (reply.error().type()) {
        case QDBusError::ServiceUnknown:
        case QDBusError::NoServer:
        case QDBusError::Disconnected:
        case QDBusError::UnknownObject:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod:
            finish({{}, noService});
            break;
        default:
            finish({{}, u"the desktop's screenshot service failed (%1)"_s.arg(reply.error().message())});
        }
        return;
    }
    // An older portal names a request object of its own choosing.
    if (reply.value().path() != m_requestPath)
        listen(reply.value().path());
}

void DBusScreenPortal::Response(uint response, const QVariantMap& results) {
    if (!m_open)
        return;
    if (response == answeredWithPicture)
        finish(readPicture(results.value(u"uri"_s).toString()));
    else if (response == cancelledByUser)
        finish({{}, u"it was cancelled"_s});
    else
        finish({{}, u"the desktop refused it"_s});
}

void DBusScreenPortal::answerTimer_Timeout() {
    if (m_open)
        finish({{}, u"the desktop did not answer"_s});
}

void DBusScreenPortal::listen(const QString& requestPath) {
    stopListening();
    m_requestPath = requestPath;
    m_bus->connect(portalService, m_requestPath, requestInterface, u"Response"_s, this,
                   SLOT(Response(uint, QVariantMap)));
}

void DBusScreenPortal::stopListening() {
    if (m_requestPath.isEmpty())
        return;
    m_bus->disconnect(portalService, m_requestPath, requestInterface, u"Response"_s, this,
                      SLOT(Response(uint, QVariantMap)));
    m_requestPath.clear();
}

void DBusScreenPortal::finish(const Answer& answer) {
    stopListening();
    m_call = nullptr;
    m_answerTimer.stop();
    m_open = false;
    // The request is over before its answer is handled, so that the handler may ask again.
    const Done done = std::exchange(m_done, nullptr);
    const QPointer<QObject> context = std::exchange(m_context, nullptr);
    if (context && done)
        done(answer);
}
