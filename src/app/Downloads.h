#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

struct Host;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;
class WebDownload;

namespace downloads {

// The file name to propose for a site's suggested name: its last part without any folders, and "download"
// when nothing usable is left ("../../x" gives "x", "" and ".." give "download").
QString cleanName(const QString& suggested);
// The folder proposed for downloads: the user's downloads folder, or the home folder where there is none.
QString folder();
// A size for people: bytes, KB or MB (of 1024).
QString size(qint64 bytes);

} // namespace downloads

// Every web view's downloads: where each one goes, the window that follows it while it runs, what the user
// learns at its end, and what is removed when it fails. A download is written to a partial file beside the
// chosen one and takes the chosen name only when it is whole, so no half file ever carries that name.
class Downloads final : public QObject {
    Q_OBJECT
public:
    explicit Downloads(const Host& host);
    ~Downloads() override;

    // How many downloads are running.
    int running() const;

public Q_SLOTS:
    // Asks where to save the download and starts it, or cancels it when the user cancels.
    void save(WebDownload* download);
    // Cancels every running download and removes what it has written; the program calls this as it ends.
    void cancelAll();

private:
    struct Transfer {
        QPointer<WebDownload> download;
        QString path;
        QString partialPath;
        QPointer<QWidget> window;
        QLabel* lblStatus = nullptr;
        QProgressBar* progress = nullptr;
        QPushButton* cmdCancel = nullptr;
    };

    Transfer* find(const WebDownload* download);
    void showWindow(Transfer& transfer);
    void showProgress(Transfer& transfer);
    void finish(WebDownload* download);

    const Host& m_host;
    std::vector<Transfer> m_transfers;
};
