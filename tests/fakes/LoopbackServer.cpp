#include "LoopbackServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

// A whole answer that closes the connection after it.
QByteArray wholeAnswer(int status, const QByteArray& contentType, const QByteArray& body,
                       const QByteArray& moreHeaders) {
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) +
           "\r\nContent-Type: " + contentType +
           "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
           moreHeaders + "\r\n" + body;
}

} // namespace

LoopbackServer::LoopbackServer()
    : LoopbackServer(
          [this](QTcpSocket& connection, const Request& request) { answerWithPage(connection, request); }) {
}

LoopbackServer::LoopbackServer(Handler handler)
    : m_handler(std::move(handler)) {
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackServer::accept);
    if (!m_server.listen(QHostAddress::LocalHost))
        qFatal("LoopbackServer: cannot listen on 127.0.0.1");
}

void LoopbackServer::addPage(const QString& path, const QByteArray& html, const QByteArray& moreHeaders) {
    m_pages.insert(path.toUtf8(), {html, moreHeaders});
}

int LoopbackServer::requestCount(const QString& target) const {
    const QByteArray wanted = target.toUtf8();
    return int(std::count_if(m_requests.cbegin(), m_requests.cend(),
                             [&wanted](const Request& request) { return request.target == wanted; }));
}

void LoopbackServer::answerWithPage(QTcpSocket& connection, const Request& request) const {
    const auto page = m_pages.constFind(request.target);
    connection.write(page != m_pages.cend() ? answers::rawHtml(200, page->html, page->moreHeaders)
                                            : wholeAnswer(404, "text/html; charset=utf-8",
                                                          "<html><title>Not found</title></html>", {}));
    connection.disconnectFromHost();
}

QString LoopbackServer::address(const QString& path) const {
    return u"http://127.0.0.1:"_s + QString::number(port()) + path;
}

quint16 LoopbackServer::closedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        qFatal("LoopbackServer: cannot listen on 127.0.0.1");
    return probe.serverPort();
}

void LoopbackServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::bytesWritten, this, [this](qint64 bytes) { m_bytesSent += bytes; });
        // Collects each request's head, then hands it to the handler.
        auto pending = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, pending] {
            *pending += socket->readAll();
            qsizetype end;
            while ((end = pending->indexOf("\r\n\r\n")) >= 0) {
                Request request;
                request.head = pending->left(end);
                pending->remove(0, end + 4);
                const QList<QByteArray> line = request.head.left(request.head.indexOf("\r\n")).split(' ');
                request.method = line.value(0);
                request.target = line.value(1);
                m_requests.append(request);
                m_handler(*socket, request);
            }
        });
    }
}

namespace answers {

QByteArray raw(int status, const QByteArray& body, const QByteArray& moreHeaders) {
    return wholeAnswer(status, "text/plain", body, moreHeaders);
}

QByteArray rawHtml(int status, const QByteArray& html, const QByteArray& moreHeaders) {
    return wholeAnswer(status, "text/html; charset=utf-8", html, moreHeaders);
}

LoopbackServer::Handler bytes(const QByteArray& answer) {
    return [answer](QTcpSocket& connection, const LoopbackServer::Request&) {
        connection.write(answer);
        connection.disconnectFromHost();
    };
}

LoopbackServer::Handler text(int status, const QByteArray& body, const QByteArray& moreHeaders) {
    return bytes(raw(status, body, moreHeaders));
}

LoopbackServer::Handler never() {
    return [](QTcpSocket&, const LoopbackServer::Request&) {
    };
}

LoopbackServer::Handler drip(const QByteArray& before, const QByteArray& dripped, int intervalMs) {
    return [=](QTcpSocket& connection, const LoopbackServer::Request&) {
        connection.write(before);
        auto* timer = new QTimer(&connection);
        auto next = std::make_shared<qsizetype>(0);
        QObject::connect(timer, &QTimer::timeout, &connection, [&connection, timer, next, dripped] {
            if (*next >= dripped.size()) {
                timer->stop();
                return;
            }
            connection.write(dripped.mid((*next)++, 1));
        });
        timer->start(intervalMs);
    };
}

LoopbackServer::Handler endless(qint64 total) {
    return [total](QTcpSocket& connection, const LoopbackServer::Request&) {
        connection.write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
        const QByteArray chunk(16 * 1024, '1');
        auto written = std::make_shared<qint64>(0);
        // Keeps a little queued and tops it up as the client takes it, so that the server itself stays small.
        const auto topUp = [&connection, chunk, written, total] {
            while (*written < total && connection.bytesToWrite() < 4 * chunk.size()) {
                connection.write(chunk);
                *written += chunk.size();
            }
        };
        QObject::connect(&connection, &QTcpSocket::bytesWritten, &connection, topUp);
        topUp();
    };
}

} // namespace answers
