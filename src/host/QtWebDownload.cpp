#include "host/QtWebDownload.h"

#include <QFileInfo>
#include <QWebEngineDownloadRequest>

QtWebDownload::QtWebDownload(QWebEngineDownloadRequest* request)
    : WebDownload(request)
    , m_request(request)
    // The engine offers a name it has already made unique in its own download folder ("x (1).zip"); the
    // site's name is what the user should see.
    , m_suggested(request->suggestedFileName()) {
    connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, &WebDownload::progressChanged);
    connect(request, &QWebEngineDownloadRequest::totalBytesChanged, this, &WebDownload::progressChanged);
    connect(request, &QWebEngineDownloadRequest::stateChanged, this, &QtWebDownload::noteEnd);
    connect(request, &QWebEngineDownloadRequest::interruptReasonChanged, this, &QtWebDownload::noteEnd);
}

void QtWebDownload::noteEnd() {
    if (m_finished || !m_request)
        return;
    // Cut short, the engine starts the download again from nothing in the background, and without a network
    // it waits for one without end; the download still shows as running meanwhile.
    const auto reason = m_request->interruptReason();
    const bool failed =
        reason != QWebEngineDownloadRequest::NoReason && reason != QWebEngineDownloadRequest::UserCanceled;
    if (m_failure.isEmpty() && failed &&
        m_request->state() == QWebEngineDownloadRequest::DownloadInProgress) {
        // Cancelling changes the reason to the user's cancel: the failure is kept first.
        m_failure = m_request->interruptReasonString();
        m_request->cancel();
        return;
    }
    const State now = state();
    if (now == State::Completed || now == State::Cancelled || now == State::Interrupted) {
        m_finished = true;
        Q_EMIT finished();
    }
}

QString QtWebDownload::suggestedFileName() const {
    return m_suggested;
}

qint64 QtWebDownload::receivedBytes() const {
    return m_request ? m_request->receivedBytes() : 0;
}

qint64 QtWebDownload::totalBytes() const {
    return m_request ? m_request->totalBytes() : -1;
}

WebDownload::State QtWebDownload::state() const {
    if (!m_failure.isEmpty())
        return State::Interrupted;
    if (!m_request)
        return State::Cancelled;
    switch (m_request->state()) {
    case QWebEngineDownloadRequest::DownloadRequested:
        return State::Requested;
    case QWebEngineDownloadRequest::DownloadInProgress:
        return State::InProgress;
    case QWebEngineDownloadRequest::DownloadCompleted:
        return State::Completed;
    case QWebEngineDownloadRequest::DownloadCancelled:
        return State::Cancelled;
    case QWebEngineDownloadRequest::DownloadInterrupted:
        return State::Interrupted;
    }
    return State::Interrupted;
}

QString QtWebDownload::failureReason() const {
    if (!m_failure.isEmpty())
        return m_failure;
    if (!m_request || m_request->state() != QWebEngineDownloadRequest::DownloadInterrupted)
        return QString();
    return m_request->interruptReasonString();
}

void QtWebDownload::accept(const QString& path) {
    if (!m_request)
        return;
    const QFileInfo target(path);
    m_request->setDownloadDirectory(target.absolutePath());
    m_request->setDownloadFileName(target.fileName());
    m_request->accept();
}

void QtWebDownload::cancel() {
    if (m_request)
        m_request->cancel();
}
