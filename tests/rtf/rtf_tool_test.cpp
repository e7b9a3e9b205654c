// mossport-rtf, run as a separate process on files in a temporary folder.

#include "rtf/Rtf.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextFragment>

#include <csignal>
#include <cstring>
#include <optional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Result {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the tool; with `fileSizeLimit`, the tool may write no file larger than that many bytes.
Result runTool(const QStringList& arguments, std::optional<rlim_t> fileSizeLimit = std::nullopt) {
    QProcess process;
    if (fileSizeLimit) {
        process.setChildProcessModifier([limit = *fileSizeLimit] {
            // The signal is ignored so that the write fails with an error instead of ending the tool.
            std::signal(SIGXFSZ, SIG_IGN);
            const struct rlimit bytes = {limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &bytes);
        });
    }
    process.start(QStringLiteral(MOSSPORT_RTF_TOOL), arguments);
    Result result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// A named pipe and a Unix socket at `path`; empty when either could not be made.
QString makeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
}

QString makeSocket(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (size_t(name.size()) >= sizeof address.sun_path)
        return {};
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound ? path : QString();
}

const QByteArray kNote = "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0 Arial;}}"
                         "\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 {\\b bold} caf\\u233?\\par\\par "
                         "two\\line lines\\tab{\\field{\\*\\fldinst HYPERLINK \"http://example.org/\"}"
                         "{\\fldrslt link}}\\par}";

} // namespace

class RtfToolTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void toText();
    void toTextWithKeptText();
    void toHtml();
    void fromHtml();
    void resave();
    void unreadablePicturesSayNothing_data();
    void unreadablePicturesSayNothing();
    void aResaveThatFailsLeavesTheOldFile();
    void failures_data();
    void failures();

private:
    QString writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return {};
        return file.fileName();
    }

    QTemporaryDir m_dir;
};

void RtfToolTest::toText() {
    const Result r = runTool({u"to-text"_s, writeFile(u"note.rtf"_s, kNote)});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.isEmpty());
    QCOMPARE(QString::fromUtf8(r.out),
             u"\u041F\u0440\u0438\u0432\u0435\u0442 bold caf\u00E9\n\ntwo\nlines\tlink\n"_s);
}

void RtfToolTest::toTextWithKeptText() {
    const QString note = writeFile(u"notes.rtf"_s, "{\\rtf1{\\header Head}Body{\\super\\chftn}"
                                                   "{\\footnote Note \\u233?}\\par}");
    const Result shown = runTool({u"to-text"_s, note});
    QCOMPARE(shown.exitCode, 0);
    QCOMPARE(QString::fromUtf8(shown.out), u"Body1\n"_s);
    const Result all = runTool({u"to-text"_s, u"--all"_s, note});
    QCOMPARE(all.exitCode, 0);
    QCOMPARE(QString::fromUtf8(all.out), u"Body1\nHead\nNote \u00E9\n"_s);
}

void RtfToolTest::toHtml() {
    const Result r = runTool({u"to-html"_s, writeFile(u"note.rtf"_s, kNote)});
    QCOMPARE(r.exitCode, 0);
    QTextDocument html;
    html.setHtml(QString::fromUtf8(r.out));
    QCOMPARE(html.toPlainText(),
             u"\u041F\u0440\u0438\u0432\u0435\u0442 bold caf\u00E9\n\ntwo\nlines\tlink"_s);
    QVERIFY(r.out.contains("href=\"http://example.org/\""));
    QVERIFY(r.out.contains("font-weight:700"));
}

void RtfToolTest::fromHtml() {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(m_dir.filePath(u"dot.png"_s)));
    const QString page = writeFile(
        u"page.html"_s, u"<html><head><meta charset=\"utf-8\"></head><body>"
                        "<p>Gr\u00FC\u00DFe <b>bold</b> <a href=\"http://example.org/x\">link</a></p>"
                        "<p><img src=\"dot.png\" width=\"8\" height=\"6\"></p></body></html>"_s.toUtf8());
    const Result r = runTool({u"from-html"_s, page});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.startsWith("{\\rtf1"));
    QVERIFY(r.out.contains("\\pngblip"));
    QTextDocument doc;
    QVERIFY(rtf::read(r.out, doc));
    QCOMPARE(rtf::plainText(doc), u"Gr\u00FC\u00DFe bold link\n"_s);
    QVERIFY(doc.find(u"link"_s).charFormat().isAnchor());
    QCOMPARE(doc.find(u"link"_s).charFormat().anchorHref(), u"http://example.org/x"_s);
    QCOMPARE(doc.find(u"bold"_s).charFormat().fontWeight(), QFont::Bold);
}

void RtfToolTest::resave() {
    const QString in = writeFile(u"in.rtf"_s, kNote);
    const QString out = writeFile(u"out.rtf"_s, "an older file in the way");
    const Result r = runTool({u"resave"_s, in, out});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.isEmpty());
    QFile written(out);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    QVERIFY(bytes.startsWith("{\\rtf1"));
    QTextDocument resaved;
    QVERIFY(rtf::read(bytes, resaved));
    QCOMPARE(rtf::plainText(resaved),
             u"\u041F\u0440\u0438\u0432\u0435\u0442 bold caf\u00E9\n\ntwo\nlines\tlink"_s);
    QCOMPARE(resaved.find(u"bold"_s).charFormat().fontWeight(), QFont::Bold);
    QCOMPARE(resaved.find(u"link"_s).charFormat().anchorHref(), u"http://example.org/"_s);
}

// A picture that is not of the kind the file names, or whose header is damaged, is read without a word on
// the terminal from the image libraries (libpng prints on its own, past Qt's message handling).
void RtfToolTest::unreadablePicturesSayNothing_data() {
    QTest::addColumn<QByteArray>("note");
    QTest::newRow("pngblip holding no PNG")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip 0102030405060708090a0b}b}");
    QTest::newRow("pngblip with a damaged header")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip "
                      "89504e470d0a1a0a0000000d4948445200000004000000040802000000"
                      "0badc0de}b}");
    QTest::newRow("pngblip holding a JPEG")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip ffd8ffe000104a46494600010100000100010000ffd9}b}");
    QTest::newRow("jpegblip holding no JPEG")
        << QByteArray("{\\rtf1 a{\\pict\\jpegblip 89504e470d0a1a0a0000}b}");
    QTest::newRow("jpegblip with no image")
        << QByteArray("{\\rtf1 a{\\pict\\jpegblip ffd8ffe000104a464946000100}b}");
}

void RtfToolTest::unreadablePicturesSayNothing() {
    QFETCH(QByteArray, note);
    const QString in = writeFile(u"picture.rtf"_s, note);
    for (const QString& command : {u"to-text"_s, u"to-html"_s}) {
        const Result r = runTool({command, in});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.isEmpty(), r.err.constData());
        QVERIFY(r.out.contains("a"));
    }
    const Result resaved = runTool({u"resave"_s, in, m_dir.filePath(u"picture-out.rtf"_s)});
    QCOMPARE(resaved.exitCode, 0);
    QVERIFY2(resaved.err.isEmpty(), resaved.err.constData());
}

void RtfToolTest::aResaveThatFailsLeavesTheOldFile() {
    // A note larger than the room left, so that the write fails half-way.
    QByteArray big = "{\\rtf1\\ansi ";
    for (int i = 0; i < 2000; ++i)
        big += "A line of the quest log that fills the disk.\\par ";
    big += '}';
    const QString in = writeFile(u"big.rtf"_s, big);
    const QString out = writeFile(u"kept.rtf"_s, "an older file in the way");
    const Result r = runTool({u"resave"_s, in, out}, 16 * 1024);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(QString::fromLocal8Bit(r.err), u"mossport-rtf: cannot write %1: File too large\n"_s.arg(out));
    QFile kept(out);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("an older file in the way"));
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_dir.path()).entryList({u"kept.rtf*"_s}, QDir::Files | QDir::Hidden),
             QStringList{u"kept.rtf"_s});
}

void RtfToolTest::failures_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString note = writeFile(u"ok.rtf"_s, kNote);
    const QString text = writeFile(u"plain.txt"_s, "not rich text");
    const QString missing = m_dir.filePath(u"missing.rtf"_s);
    QTest::newRow("no arguments") << QStringList() << u"usage:"_s;
    QTest::newRow("unknown command") << QStringList{u"to-pdf"_s, note} << u"usage:"_s;
    QTest::newRow("resave without output") << QStringList{u"resave"_s, note} << u"usage:"_s;
    QTest::newRow("to-text with two files") << QStringList{u"to-text"_s, note, note} << u"usage:"_s;
    QTest::newRow("--all without a file") << QStringList{u"to-text"_s, u"--all"_s} << u"cannot read"_s;
    QTest::newRow("--all elsewhere") << QStringList{u"to-html"_s, u"--all"_s, note} << u"usage:"_s;
    QTest::newRow("missing file") << QStringList{u"to-text"_s, missing} << u"cannot read"_s;
    QTest::newRow("a folder") << QStringList{u"to-html"_s, m_dir.path()} << u"cannot read"_s;
    QTest::newRow("text is not RTF") << QStringList{u"to-text"_s, text} << u"not an RTF document"_s;
    QTest::newRow("html of non-RTF") << QStringList{u"to-html"_s, text} << u"not an RTF document"_s;
    QTest::newRow("resave non-RTF") << QStringList{u"resave"_s, text, m_dir.filePath(u"x.rtf"_s)}
                                    << u"not an RTF document"_s;
    QTest::newRow("unwritable output")
        << QStringList{u"resave"_s, note, m_dir.filePath(u"no/such/dir/x.rtf"_s)} << u"cannot write"_s;

    // What is not a regular file is neither read (a pipe would keep the tool waiting for a writer) nor
    // replaced by the output.
    const QString fifo = makeFifo(m_dir.filePath(u"pipe.rtf"_s));
    const QString socket = makeSocket(m_dir.filePath(u"socket.rtf"_s));
    const QString folder = m_dir.filePath(u"folder.rtf"_s);
    QVERIFY(!fifo.isEmpty() && !socket.isEmpty() && QDir().mkdir(folder));
    const QString notRegular = u"it is not a regular file"_s;
    for (const char* command : {"to-text", "to-html", "from-html"}) {
        const QString verb = QString::fromLatin1(command);
        QTest::addRow("%s from a pipe", command) << QStringList{verb, fifo} << u"cannot read "_s + fifo;
        QTest::addRow("%s from a socket", command) << QStringList{verb, socket} << notRegular;
        QTest::addRow("%s from a folder", command) << QStringList{verb, folder} << u"it is a folder"_s;
    }
    QTest::newRow("resave from a pipe")
        << QStringList{u"resave"_s, fifo, m_dir.filePath(u"y.rtf"_s)} << notRegular;
    QTest::newRow("resave onto a pipe") << QStringList{u"resave"_s, note, fifo} << u"cannot write "_s + fifo;
    QTest::newRow("resave onto a socket") << QStringList{u"resave"_s, note, socket} << notRegular;
    QTest::newRow("resave onto a folder") << QStringList{u"resave"_s, note, folder} << u"it is a folder"_s;
}

void RtfToolTest::failures() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Result r = runTool(arguments);
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.isEmpty());
    const QString err = QString::fromLocal8Bit(r.err);
    QVERIFY2(err.startsWith(u"mossport-rtf: "_s) && err.contains(message), qPrintable(err));
    QCOMPARE(err.count(u'\n'), 1);
    QVERIFY(err.endsWith(u'\n'));
    // Nothing the tool refused to write over was replaced.
    for (const QString& name : {u"pipe.rtf"_s, u"socket.rtf"_s, u"folder.rtf"_s}) {
        const QFileInfo info(m_dir.filePath(name));
        QVERIFY2(info.exists() && !info.isFile(), qPrintable(name));
    }
}

QTEST_MAIN(RtfToolTest)
#include "rtf_tool_test.moc"
