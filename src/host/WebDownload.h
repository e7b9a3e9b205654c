#pragma once

#include <QObject>
#include <QString>

// One file a web page sends to be saved, as the web engine offers it. It starts unanswered: accept() saves it
// under a path, cancel() refuses it. Once accepted, progressChanged() follows its bytes and finished() tells
// once that it completed, failed or was cancelled.
class WebDownload : public QObject {
    Q_OBJECT
public:
    enum class State { Requested, InProgress, Completed, Cancelled, Interrupted };

    using QObject::QObject;

    // The file name the site suggests; it may hold folder parts or be empty.
    virtual QString suggestedFileName() const = 0;
    virtual qint64 receivedBytes() const = 0;
    // The whole size, or -1 when the site does not say.
    virtual qint64 totalBytes() const = 0;
    virtual State state() const = 0;
    // Why an interrupted download stopped, in words for the user; empty otherwise.
    virtual QString failureReason() const = 0;

    // Starts saving into exactly this path.
    virtual void accept(const QString& path) = 0;
    virtual void cancel() = 0;

Q_SIGNALS:
    void progressChanged();
    // The download ended: state() is Completed, Cancelled or Interrupted.
    void finished();
};
