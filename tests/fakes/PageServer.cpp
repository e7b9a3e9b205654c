#include "PageServer.h"

#include <QTcpSocket>

using namespace Qt::StringLiterals;

PageServer::PageServer(QObject* parent)
    : QObject(parent) {
    if (!m_server.listen(QHostAddress::LocalHost))
        qFatal("PageServer: cannot listen on 127.0.0.1");
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void PageServer::addPage(const QString& path, const QByteArray& html) {
    m_pages.insert(path, html);
}

QUrl PageServer::url(const QString& path) const {
    return QUrl(u"http://127.0.0.1:%1%2"_s.arg(m_server.serverPort()).arg(path));
}

void PageServer::answer(QTcpSocket* socket) {
    // The request line is enough: the pages do not depend on headers, and every answer closes the connection.
    if (!socket->canReadLine())
        return;
    const QList<QByteArray> requestLine = socket->readLine().trimmed().split(' ');
    const QString path = requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]) : QString();
    m_requests[path] += 1;
    const auto page = m_pages.constFind(path);
    const QByteArray body =
        page != m_pages.cend() ? *page : QByteArrayLiteral("<html><title>Not found</title></html>");
    const QByteArray status =
        page != m_pages.cend() ? QByteArrayLiteral("200 OK") : QByteArrayLiteral("404 Not Found");
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
