#include "app/Downloads.h"

#include "app/Confirmation.h"
#include "host/Dialogs.h"
#include "host/Host.h"
#include "host/WebDownload.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>

using namespace Qt::StringLiterals;

namespace downloads {

QString cleanName(const QString& suggested) {
    QString name = suggested.section(u'/', -1).section(u'\\', -1);
    name.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    name = name.trimmed();
    // A name of dots alone means a folder, and a leading dot would hide the file.
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    return name.isEmpty() ? u"download"_s : name;
}

QString folder() {
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return downloads.isEmpty() ? QDir::homePath() : downloads;
}

QString size(qint64 bytes) {
    if (bytes < 1024)
        return u"%1 bytes"_s.arg(bytes);
    if (bytes < 1024 * 1024)
        return u"%1 KB"_s.arg(bytes / 1024);
    return u"%1 MB"_s.arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

} // namespace downloads

namespace {

// The files of a partial download: the partial file, and the engine's own working files beside it, whose
// names it forms by adding to the partial file's name ("x.part.download").
QStringList partialFiles(const QString& partialPath) {
    const QFileInfo partial(partialPath);
    QStringList files;
    const QStringList names =
        partial.dir().entryList({partial.fileName() + u".*"_s}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
        files.append(partial.dir().filePath(name));
    if (partial.exists() || partial.isSymLink())
        files.append(partialPath);
    return files;
}

void removePartialFiles(const QString& partialPath) {
    for (const QString& file : partialFiles(partialPath))
        QFile::remove(file);
}

// A file name beside `path` that nothing uses yet, for the download while it is partial.
QString freePartialPath(const QString& path) {
    QString candidate = path + u".part"_s;
    for (int n = 1; !partialFiles(candidate).isEmpty(); ++n)
        candidate = u"%1.%2.part"_s.arg(path).arg(n);
    return candidate;
}

QString asClause(QString reason) {
    reason = reason.trimmed();
    while (reason.endsWith(u'.'))
        reason.chop(1);
    if (!reason.isEmpty())
        reason[0] = reason[0].toLower();
    return reason.isEmpty() ? u"the transfer stopped"_s : reason;
}

// The progress window: closing it while the download runs cancels the download, as its button does.
class DownloadWindow final : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (onClose)
            onClose();
        QWidget::closeEvent(event);
    }
};

} // namespace

Downloads::Downloads(const Host& host)
    : m_host(host) {
}

Downloads::~Downloads() {
    cancelAll();
}

int Downloads::running() const {
    return int(std::count_if(m_transfers.begin(), m_transfers.end(), [](const Transfer& t) {
        return t.download && t.download->state() == WebDownload::State::InProgress;
    }));
}

Downloads::Transfer* Downloads::find(const WebDownload* download) {
    const auto found = std::find_if(m_transfers.begin(), m_transfers.end(),
                                    [download](const Transfer& t) { return t.download == download; });
    return found == m_transfers.end() ? nullptr : &*found;
}

void Downloads::save(WebDownload* download) {
    Dialogs& dialogs = *m_host.dialogs;
    // As in a browser, the downloads folder is made on first use, so that the dialog opens there.
    QDir().mkpath(downloads::folder());
    const QString proposed =
        QDir(downloads::folder()).filePath(downloads::cleanName(download->suggestedFileName()));
    const QString path = dialogs.chooseSaveFile(proposed);
    if (path.isEmpty()) {
        download->cancel();
        return;
    }
    const QString fileName = QFileInfo(path).fileName();
    if (confirmation::wouldReplace(path) &&
        !dialogs.confirm(confirmation::replaceQuestion(u"file"_s, fileName))) {
        download->cancel();
        return;
    }

    Transfer transfer;
    transfer.download = download;
    transfer.path = path;
    transfer.partialPath = freePartialPath(path);
    m_transfers.push_back(transfer);
    connect(download, &WebDownload::progressChanged, this, [this, download] {
        if (Transfer* t = find(download))
            showProgress(*t);
    });
    connect(download, &WebDownload::finished, this, [this, download] { finish(download); });
    download->accept(transfer.partialPath);
    showWindow(m_transfers.back());
}

void Downloads::showWindow(Transfer& transfer) {
    auto* window = new DownloadWindow(nullptr, Qt::Window);
    window->setObjectName(u"frmDownload"_s);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(u"Downloading %1"_s.arg(QFileInfo(transfer.path).fileName()));
    auto* layout = new QVBoxLayout(window);
    transfer.lblStatus = new QLabel(window);
    transfer.lblStatus->setObjectName(u"lblStatus"_s);
    transfer.lblStatus->setTextFormat(Qt::PlainText);
    transfer.lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    transfer.progress = new QProgressBar(window);
    transfer.progress->setObjectName(u"progress"_s);
    transfer.cmdCancel = new QPushButton(u"Cancel"_s, window);
    transfer.cmdCancel->setObjectName(u"cmdCancel"_s);
    layout->addWidget(transfer.lblStatus);
    layout->addWidget(transfer.progress);
    layout->addWidget(transfer.cmdCancel, 0, Qt::AlignRight);
    transfer.window = window;

    const QPointer<WebDownload> download = transfer.download;
    connect(transfer.cmdCancel, &QPushButton::clicked, window, [window, download] {
        // While it runs the button cancels; once it has ended it closes the window.
        if (download && download->state() == WebDownload::State::InProgress)
            download->cancel();
        else
            window->close();
    });
    window->onClose = [download] {
        if (download && download->state() == WebDownload::State::InProgress)
            download->cancel();
    };
    showProgress(transfer);
    window->resize(420, window->sizeHint().height());
    window->show();
}

void Downloads::showProgress(Transfer& transfer) {
    if (!transfer.window || !transfer.download)
        return;
    const qint64 received = transfer.download->receivedBytes();
    const qint64 total = transfer.download->totalBytes();
    const QString name = QFileInfo(transfer.path).fileName();
    if (total > 0) {
        transfer.progress->setRange(0, 1000);
        transfer.progress->setValue(int(std::clamp<qint64>(received * 1000 / total, 0, 1000)));
        transfer.lblStatus->setText(
            u"Downloading %1: %2 of %3"_s.arg(name, downloads::size(received), downloads::size(total)));
    } else {
        // No length given: a busy bar and the bytes so far.
        transfer.progress->setRange(0, 0);
        transfer.lblStatus->setText(u"Downloading %1: %2"_s.arg(name, downloads::size(received)));
    }
}

void Downloads::finish(WebDownload* download) {
    const auto found = std::find_if(m_transfers.begin(), m_transfers.end(),
                                    [download](const Transfer& t) { return t.download == download; });
    if (found == m_transfers.end())
        return;
    const Transfer transfer = *found;
    m_transfers.erase(found);
    const QString name = QFileInfo(transfer.path).fileName();

    QString failure;
    if (download->state() == WebDownload::State::Completed) {
        // rename() replaces a file the user agreed to replace in one step, so the name never lacks a file.
        if (std::rename(QFile::encodeName(transfer.partialPath).constData(),
                        QFile::encodeName(transfer.path).constData()) != 0)
            failure = QString::fromLocal8Bit(std::strerror(errno));
    } else if (download->state() == WebDownload::State::Interrupted) {
        failure = asClause(download->failureReason());
    }
    // The engine keeps an interrupted download's partial data, to resume it; nothing here resumes.
    if (download->state() != WebDownload::State::Completed || !failure.isEmpty())
        removePartialFiles(transfer.partialPath);

    if (download->state() == WebDownload::State::Completed && failure.isEmpty()) {
        if (transfer.window) {
            transfer.window->setWindowTitle(u"Downloaded %1"_s.arg(name));
            transfer.lblStatus->setText(u"Saved as %1"_s.arg(QDir::toNativeSeparators(transfer.path)));
            transfer.progress->setRange(0, 1);
            transfer.progress->setValue(1);
            transfer.cmdCancel->setText(u"Close"_s);
        }
        return;
    }
    if (transfer.window)
        transfer.window->close();
    if (!failure.isEmpty())
        m_host.dialogs->tell(u"%1 could not be downloaded: %2."_s.arg(name, failure));
}

void Downloads::cancelAll() {
    const std::vector<Transfer> transfers = std::exchange(m_transfers, {});
    for (const Transfer& transfer : transfers) {
        if (transfer.download) {
            disconnect(transfer.download, nullptr, this, nullptr);
            transfer.download->cancel();
        }
        removePartialFiles(transfer.partialPath);
        delete transfer.window;
    }
}
