#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <functional>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for the tests. Either it serves fixed pages by path, for the real web
// engine, or it answers each request the way a test says: at once, never, a byte at a time, or without end.
// It serves plain requests ("GET /path") and requests sent to it as a proxy ("GET http://host/path"), notes
// every request and counts every byte it manages to hand to the system.
class LoopbackServer final : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        // As sent: a path, or a whole address when the server is used as a proxy.
        QByteArray target;
        QByteArray head;
    };
    // Answers one request on its connection.
    using Handler = std::function<void(QTcpSocket& connection, const Request& request)>;

    // Serves the pages given to addPage, and "404 Not Found" at any other path.
    LoopbackServer();
    explicit LoopbackServer(Handler handler);

    // Serves `html` as text/html at `path` ("/news.html"), with these header lines ("Name: value\r\n") too.
    void addPage(const QString& path, const QByteArray& html, const QByteArray& moreHeaders = {});

    quint16 port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:port" followed by the path.
    QString address(const QString& path) const;
    const QList<Request>& requests() const { return m_requests; }
    // How many requests asked for this target.
    int requestCount(const QString& target) const;
    qint64 bytesSent() const { return m_bytesSent; }

    // A port on 127.0.0.1 where nothing listens.
    static quint16 closedPort();

private:
    void accept();
    void answerWithPage(QTcpSocket& connection, const Request& request) const;

    Handler m_handler;
    struct Page {
        QByteArray html;
        QByteArray moreHeaders;
    };
    QHash<QByteArray, Page> m_pages;
    QTcpServer m_server;
    QList<Request> m_requests;
    qint64 m_bytesSent = 0;
};

// Ways of answering.
namespace answers {

// These bytes as they are, then the connection closed.
LoopbackServer::Handler bytes(const QByteArray& answer);
// A whole answer with this status, its Content-Length and the connection closed after it.
LoopbackServer::Handler text(int status, const QByteArray& body, const QByteArray& moreHeaders = {});
// Reads the request and never answers.
LoopbackServer::Handler never();
// Sends `before` at once, then `dripped` one byte every `intervalMs`.
LoopbackServer::Handler drip(const QByteArray& before, const QByteArray& dripped, int intervalMs);
// A 200 answer with no length whose body goes on for `total` bytes, sent as fast as the client takes it.
LoopbackServer::Handler endless(qint64 total);

// The raw bytes of a text/plain answer with this status, headers and body.
QByteArray raw(int status, const QByteArray& body, const QByteArray& moreHeaders = {});
// The same for a text/html answer.
QByteArray rawHtml(int status, const QByteArray& html, const QByteArray& moreHeaders = {});

} // namespace answers
