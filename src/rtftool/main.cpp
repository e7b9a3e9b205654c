// mossport-rtf: converts notes between RTF, plain text and HTML with the notepad's own reader and writer.
//
//   mossport-rtf to-text FILE.rtf       UTF-8 text to stdout, one line per paragraph and line break: the
//                                       text the notepad shows
//   mossport-rtf to-text --all FILE.rtf the same, then the text the notepad keeps without showing it
//                                       (headers, footers, notes, comments, text boxes)
//   mossport-rtf to-html FILE.rtf       HTML to stdout
//   mossport-rtf from-html FILE.html    RTF to stdout
//   mossport-rtf resave IN.rtf OUT.rtf  reads a note and writes it again
//
// Exits with 1 and a one-line message on stderr when a file cannot be read or written, is not RTF, or the
// command line is wrong.

#include "base/WholeFile.h"
#include "rtf/Rtf.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringConverter>
#include <QTextDocument>
#include <QUrl>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr const char* kUsage =
    "usage: mossport-rtf to-text [--all] FILE.rtf | to-html FILE.rtf | from-html FILE.html | "
    "resave IN.rtf OUT.rtf";

int fail(const QString& message) {
    std::fprintf(stderr, "mossport-rtf: %s\n", message.toLocal8Bit().constData());
    return 1;
}

// Why `path` is not a file to read or replace: opening a pipe waits for a writer and a device may never end,
// and saving over a folder, a pipe or a socket would put a file in its place. Empty when it is a regular file
// or nothing is there yet.
QString notRegularFile(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir())
        return u"it is a folder"_s;
    if (info.exists() && !info.isFile())
        return u"it is not a regular file"_s;
    return {};
}

std::optional<QByteArray> readFile(const QString& path, QString& error) {
    if (const QString why = notRegularFile(path); !why.isEmpty()) {
        error = u"cannot read %1: %2"_s.arg(path, why);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"cannot read %1: %2"_s.arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = u"cannot read %1: %2"_s.arg(path, file.errorString());
        return std::nullopt;
    }
    return bytes;
}

bool writeStdout(const QByteArray& bytes) {
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

// Qt's own messages (a missing runtime folder, an image reader's complaint about a note's picture) would
// break the one-line error contract, so they are dropped, for every command.
void dropQtMessages() {
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "mossport-rtf: %s\n", message.toLocal8Bit().constData());
    });
}

// QTextDocument needs a GUI application for fonts and images; it runs without a display.
std::unique_ptr<QGuiApplication> makeGuiApplication(int& argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace

int main(int argc, char** argv) {
    dropQtMessages();
    if (argc < 3)
        return fail(QString::fromLatin1(kUsage));
    const QByteArray command = argv[1];
    const bool all = command == "to-text" && argc == 4 && std::strcmp(argv[2], "--all") == 0;
    if (all) {
        // The file name moves up, so that the checks below see the same shape as without --all.
        argv[2] = argv[3];
        --argc;
    }
    const QString input = QString::fromLocal8Bit(argv[2]);
    const bool known =
        command == "to-text" || command == "to-html" || command == "from-html" || command == "resave";
    if (!known || argc != (command == "resave" ? 4 : 3))
        return fail(QString::fromLatin1(kUsage));

    QString error;
    const std::optional<QByteArray> bytes = readFile(input, error);
    if (!bytes)
        return fail(error);

    if (command == "to-text") {
        // The plain-text path needs no document and no application object.
        const std::optional<QString> text =
            rtf::readPlainText(*bytes, all ? rtf::TextScope::WithKept : rtf::TextScope::Shown);
        if (!text)
            return fail(u"%1 is not an RTF document"_s.arg(input));
        if (!writeStdout(text->toUtf8() + '\n'))
            return fail(u"cannot write to standard output"_s);
        return 0;
    }

    if (command != "from-html" && !rtf::isRtf(*bytes))
        return fail(u"%1 is not an RTF document"_s.arg(input));
    const auto app = makeGuiApplication(argc, argv);
    QTextDocument doc;
    if (command == "from-html") {
        QStringDecoder toUnicode(QStringConverter::encodingForHtml(*bytes).value_or(QStringConverter::Utf8));
        doc.setBaseUrl(QUrl::fromLocalFile(QFileInfo(input).absolutePath() + u'/'));
        doc.setHtml(toUnicode.decode(*bytes));
        if (!writeStdout(rtf::write(doc)))
            return fail(u"cannot write to standard output"_s);
        return 0;
    }

    if (!rtf::read(*bytes, doc))
        return fail(u"%1 is not an RTF document"_s.arg(input));
    if (command == "to-html") {
        if (!writeStdout(doc.toHtml().toUtf8()))
            return fail(u"cannot write to standard output"_s);
        return 0;
    }

    const QString output = QString::fromLocal8Bit(argv[3]);
    if (const QString why = notRegularFile(output); !why.isEmpty())
        return fail(u"cannot write %1: %2"_s.arg(output, why));
    if (!files::writeWhole(output, rtf::write(doc), error))
        return fail(u"cannot write %1: %2"_s.arg(output, error));
    return 0;
}
