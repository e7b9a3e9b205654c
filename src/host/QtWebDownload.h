#pragma once

#include "host/WebDownload.h"

#include <QPointer>

class QWebEngineDownloadRequest;

// A download of the web engine. It lives as long as the engine's request, which its profile owns. A failure
// ends it: where the engine would quietly fetch the file again from the start, the download is cancelled and
// reported as interrupted.
class QtWebDownload final : public WebDownload {
    Q_OBJECT
public:
    explicit QtWebDownload(QWebEngineDownloadRequest* request);

    QString suggestedFileName() const override;
    qint64 receivedBytes() const override;
    qint64 totalBytes() const override;
    State state() const override;
    QString failureReason() const override;
    void accept(const QString& path) override;
    void cancel() override;

private:
    void noteEnd();

    QPointer<QWebEngineDownloadRequest> m_request;
    QString m_suggested;
    // Why the download stopped, kept when this side ended it because the engine met a failure.
    QString m_failure;
    bool m_finished = false;
};
