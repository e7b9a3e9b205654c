// Downloads with the real web engine: pages and files served on 127.0.0.1, saved into a temporary home, with
// the save dialog and messages faked.
#include "Fakes.h"
#include "LoopbackServer.h"
#include "app/Downloads.h"
#include "app/Program.h"
#include "host/QtWebView.h"
#include "host/WebProfile.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>
#include <QWebEnginePage>

using namespace Qt::StringLiterals;

namespace {

// Bytes that differ along the file, so that a misplaced or missing block shows.
QByteArray pattern(int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) % 256);
    return bytes;
}

const QByteArray whole = pattern(150 * 1024);
// The connection of the download that the test cuts short.
QPointer<QTcpSocket> openConnection;

QByteArray head(const QByteArray& type, qint64 length, const QByteArray& more = {}) {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(length) +
           "\r\nConnection: close\r\n" + more + "\r\n";
}

// Serves every file the tests download, by path.
void serve(QTcpSocket& connection, const LoopbackServer::Request& request) {
    const QByteArray& target = request.target;
    if (target == "/links") {
        const QByteArray page = "<html><head><title>Links</title></head><body>"
                                "<a id='file' href='/plain.txt' download='notes.txt'>notes</a></body></html>";
        connection.write(head("text/html", page.size()) + page);
    } else if (target == "/attachment") {
        connection.write(head("text/plain", whole.size(),
                              "Content-Disposition: attachment; filename=\"../../scores.bin\"\r\n") +
                         whole);
    } else if (target == "/plain.txt") {
        connection.write(head("text/plain", whole.size()) + whole);
    } else if (target == "/blob.dat") {
        connection.write(head("application/x-mossport-data", whole.size()) + whole);
    } else if (target == "/cut.bin" && !request.head.contains("\r\nRange:")) {
        // The server promises the whole file, sends a third of it and keeps the connection for the test to
        // cut. The engine's attempts to fetch the rest get nothing.
        connection.write(head("application/octet-stream", whole.size()) + whole.left(whole.size() / 3));
        openConnection = &connection;
        return;
    } else if (target == "/slow.bin") {
        answers::drip(head("application/octet-stream", whole.size()) + whole.left(4096), whole.mid(4096),
                      200)(connection, request);
        return;
    }
    connection.disconnectFromHost();
}

QWidget* progressWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == u"frmDownload"_s && widget->isVisible())
            return widget;
    }
    return nullptr;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The program with its downloads, a real web view handing them over, and fake dialogs.
struct Rig {
    FakeHost fakes;
    Program program{fakes.host()};
    WebProfile profile{WebProfile::Folders{}};
    QtWebView view{profile, fakes.dialogs};
    Rig() {
        QObject::connect(&view, &WebView::DownloadRequested, &program.downloads, &Downloads::save);
        view.resize(400, 300);
        view.show();
    }
};

} // namespace

class DownloadsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        m_downloads = QDir::home().filePath(u"Downloads"_s);
        QVERIFY(QDir().mkpath(m_downloads));
    }

    void cleanup() {
        QDir(m_downloads).removeRecursively();
        QDir().mkpath(m_downloads);
        QTRY_VERIFY(!progressWindow());
    }

    void theSuggestedNameLosesItsFolders_data() {
        QTest::addColumn<QString>("suggested");
        QTest::addColumn<QString>("proposed");
        QTest::newRow("plain") << u"report 2007.pdf"_s << u"report 2007.pdf"_s;
        QTest::newRow("climbing out") << u"../../x"_s << u"x"_s;
        QTest::newRow("absolute") << u"/etc/passwd"_s << u"passwd"_s;
        QTest::newRow("backslashes") << u"C:\\games\\map.png"_s << u"map.png"_s;
        QTest::newRow("hidden") << u".bashrc"_s << u"bashrc"_s;
        QTest::newRow("control characters") << u"a\tb\nc.txt"_s << u"abc.txt"_s;
        QTest::newRow("empty") << QString() << u"download"_s;
        QTest::newRow("dots") << u".."_s << u"download"_s;
        QTest::newRow("folder only") << u"saves/"_s << u"download"_s;
    }
    void theSuggestedNameLosesItsFolders() {
        QFETCH(QString, suggested);
        QFETCH(QString, proposed);
        QCOMPARE(downloads::cleanName(suggested), proposed);
    }

    // Each way a page sends a file ends in the whole file under the chosen name, and the window says where.
    void aWholeFileIsSaved_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("clickLink");
        QTest::addColumn<QString>("proposedName");
        QTest::newRow("attachment") << u"/attachment"_s << false << u"scores.bin"_s;
        QTest::newRow("download link") << u"/links"_s << true << u"notes.txt"_s;
        QTest::newRow("type the view cannot show") << u"/blob.dat"_s << false << u"blob.dat"_s;
    }
    void aWholeFileIsSaved() {
        QFETCH(QString, page);
        QFETCH(bool, clickLink);
        QFETCH(QString, proposedName);
        Rig rig;
        const QString path = m_downloads + u"/chosen.bin"_s;
        rig.fakes.dialogs.saveAnswers.enqueue(path);
        rig.view.Navigate(m_server.address(page));
        if (clickLink) {
            QTRY_COMPARE_WITH_TIMEOUT(rig.view.LocationName(), u"Links"_s, 20000);
            rig.view.page()->runJavaScript(u"document.getElementById('file').click()"_s);
        }
        QTRY_VERIFY_WITH_TIMEOUT(progressWindow(), 20000);
        QCOMPARE(rig.fakes.dialogs.proposedSaves, QStringList{m_downloads + u"/"_s + proposedName});
        auto* status = progressWindow()->findChild<QLabel*>(u"lblStatus"_s);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), u"Saved as "_s + path, 20000);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), whole);
        QCOMPARE(filesIn(m_downloads), QStringList{u"chosen.bin"_s});
        QCOMPARE(rig.fakes.dialogs.told, QStringList());
        progressWindow()->findChild<QPushButton*>(u"cmdCancel"_s)->click();
    }

    // A file already there is replaced only when the user says Yes, and only once the download is whole.
    void anExistingFileIsReplacedOnlyOnYes_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void anExistingFileIsReplacedOnlyOnYes() {
        QFETCH(bool, yes);
        Rig rig;
        const QString path = m_downloads + u"/scores.bin"_s;
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old scores") == 10);
        old.close();
        rig.fakes.dialogs.saveAnswers.enqueue(path);
        rig.fakes.dialogs.confirmAnswers.enqueue(yes);
        rig.view.Navigate(m_server.address(u"/attachment"_s));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.fakes.dialogs.proposedSaves.isEmpty(), 20000);
        QCOMPARE(rig.fakes.dialogs.confirmed,
                 QStringList{u"A file named scores.bin already exists. Replace it?"_s});
        const auto content = [&path] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        if (yes) {
            QTRY_COMPARE_WITH_TIMEOUT(content(), whole, 20000);
        } else {
            QVERIFY(!progressWindow());
            QCOMPARE(content(), QByteArray("old scores"));
        }
        QCOMPARE(filesIn(m_downloads), QStringList{u"scores.bin"_s});
        if (QWidget* window = progressWindow())
            window->close();
    }

    // However a download fails, nothing is left under the chosen name nor beside it; only a failure the user
    // did not cause brings a message, and it names the reason.
    void aFailedDownloadLeavesNoFile_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("told");
        QTest::newRow("connection cut short") << u"/cut.bin"_s << u"server"_s << true;
        QTest::newRow("disk full") << u"/attachment"_s << u"full disk"_s << true;
        QTest::newRow("cancelled") << u"/slow.bin"_s << u"cancel"_s << false;
        QTest::newRow("program ends") << u"/slow.bin"_s << u"end"_s << false;
    }
    void aFailedDownloadLeavesNoFile() {
        QFETCH(QString, page);
        QFETCH(QString, how);
        QFETCH(bool, told);
        QString folder = m_downloads;
        if (how == u"full disk"_s) {
            folder = QDir::home().filePath(u"small"_s);
            QVERIFY(QDir().mkpath(folder));
            if (QProcess::execute(u"mount"_s,
                                  {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=64k"_s, u"tmpfs"_s, folder}) != 0)
                QSKIP("mounting a small tmpfs needs root");
        }
        const auto unmount = qScopeGuard([&] {
            if (folder != m_downloads)
                QProcess::execute(u"umount"_s, {u"-l"_s, folder});
        });
        Rig rig;
        const QString path = folder + u"/file.bin"_s;
        rig.fakes.dialogs.saveAnswers.enqueue(path);
        rig.view.Navigate(m_server.address(page));
        if (how == u"full disk"_s) {
            // The disk fills at once: the download may end before its window is ever seen.
            QTRY_COMPARE_WITH_TIMEOUT(rig.fakes.dialogs.told.size(), 1, 20000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(progressWindow(), 20000);

            // Under way: some bytes are in, the window shows how far.
            QTRY_VERIFY_WITH_TIMEOUT(!filesIn(folder).isEmpty(), 20000);
            QTRY_VERIFY(
                progressWindow()->findChild<QLabel*>(u"lblStatus"_s)->text().contains(u" KB of 150 KB"_s));
            if (how == u"server"_s)
                openConnection->disconnectFromHost();
            else if (how == u"cancel"_s)
                progressWindow()->findChild<QPushButton*>(u"cmdCancel"_s)->click();
            else
                rig.program.windows.endProgram();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!progressWindow(), 20000);
        QCOMPARE(rig.program.downloads.running(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(filesIn(folder), QStringList(), 10000);
        if (told) {
            QCOMPARE(rig.fakes.dialogs.told.size(), 1);
            const QString message = rig.fakes.dialogs.told.constFirst();
            QVERIFY2(message.startsWith(u"file.bin could not be downloaded: "_s), qPrintable(message));
            QVERIFY2(message.size() > 40, qPrintable(message));
        } else {
            QCOMPARE(rig.fakes.dialogs.told, QStringList());
        }
    }

private:
    QString m_downloads;
    LoopbackServer m_server{serve};
};

int main(int argc, char** argv) {
    // A home of its own, made before anything reads the user's folders.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + u"/.config"_s));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + u"/.local/share"_s));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + u"/.cache"_s));
    QApplication app(argc, argv);
    DownloadsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "downloads_test.moc"
