#pragma once

#include <QHash>
#include <QTcpServer>
#include <QUrl>

// A small HTTP server on 127.0.0.1 that serves fixed pages by path, for tests of the real web engine.
class PageServer final : public QObject {
    Q_OBJECT
public:
    explicit PageServer(QObject* parent = nullptr);

    // Serves `html` as text/html at `path` ("/news.html").
    void addPage(const QString& path, const QByteArray& html);
    // The address of a path on this server.
    QUrl url(const QString& path) const;
    int requestCount(const QString& path) const { return m_requests.value(path); }

private:
    void answer(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, QByteArray> m_pages;
    QHash<QString, int> m_requests;
};
