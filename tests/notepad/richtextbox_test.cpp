// The rich-text box over real files: notes written by other programs (the shared corpus) opened and saved
// again, the first look at a file, RTF through the clipboard, and a long note laid out in the background.
#include "notepad/LayoutPacer.h"
#include "notepad/RichTextBox.h"
#include "rtf/Rtf.h"

#include <QAbstractEventDispatcher>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QString corpusFolder() {
    return QStringLiteral(MOSSPORT_SHARED_DIR) + u"/rtf-corpus"_s;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The texts the corpus's own table of expectations says each file holds, by file name.
QHash<QString, QStringList> expectedTexts() {
    QHash<QString, QStringList> texts;
    const QString table = QString::fromUtf8(readFile(corpusFolder() + u"/EXPECTED.tsv"_s));
    for (const QString& line : table.split(u'\n')) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() < 3 || fields.at(1) != u"contains")
            continue;
        const QJsonArray value = QJsonDocument::fromJson(u"[%1]"_s.arg(fields.at(2)).toUtf8()).array();
        if (!value.isEmpty() && value.first().isString())
            texts[fields.at(0)].append(value.first().toString());
    }
    return texts;
}

// What the box shows, then what it keeps of headers and notes without showing it.
QString textOf(const RichTextBox& box) {
    return rtf::plainText(*box.document(), rtf::TextScope::WithKept);
}

bool isBoldAt(const QTextDocument& doc, const QString& word) {
    const QTextCursor found = doc.find(word);
    return !found.isNull() && found.charFormat().fontWeight() >= QFont::Bold;
}

// A one-colour picture as a word processor embeds it.
QByteArray pictureRtf(const QColor& colour) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return "{\\pict\\pngblip\\picw4\\pich4 " + png.toHex() + "}";
}

// The colours of the pictures in the document, in their order.
QList<QColor> pictureColours(QTextDocument& doc) {
    QList<QColor> colours;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QVariant data =
                doc.resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()));
            const QImage image = data.userType() == QMetaType::QImage ? data.value<QImage>()
                                                                      : QImage::fromData(data.toByteArray());
            colours.append(image.isNull() ? QColor() : image.pixelColor(0, 0));
        }
    }
    return colours;
}

const QByteArray questLog = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\f0 Quest log: "
                            "{\\b Dragon Slayer}\\par Cook's Assistant\\par}";

} // namespace

class RichTextBoxTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void corpus_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("contains");
        if (!QFileInfo(corpusFolder()).isDir())
            QSKIP("The shared RTF corpus is not on this machine.");
        const QHash<QString, QStringList> contains = expectedTexts();
        QDirIterator it(corpusFolder(), {u"*.rtf"_s}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QString name = QDir(corpusFolder()).relativeFilePath(path);
            QTest::newRow(qPrintable(name)) << path << contains.value(name);
        }
    }
    // Notes written by other programs open, show the text the corpus says they hold, and come back with the
    // same text after the box saved them.
    void corpus() {
        QFETCH(QString, path);
        QFETCH(QStringList, contains);

        RichTextBox box;
        const RichTextBox::Result loaded = box.loadFile(path);
        QVERIFY2(loaded.ok(), qPrintable(loaded.reason));
        const QString shown = textOf(box);
        for (const QString& text : contains)
            QVERIFY2(shown.contains(text), qPrintable(u"missing: "_s + text));
        QCOMPARE(box.fileName(), path);
        QVERIFY(!box.document()->isModified());
        QVERIFY(!box.document()->isUndoAvailable());

        QTemporaryDir folder;
        const QString copy = folder.filePath(u"copy.rtf"_s);
        QVERIFY(box.saveFile(copy).ok());
        QCOMPARE(box.fileName(), copy);
        RichTextBox reopened;
        QVERIFY(reopened.loadFile(copy).ok());
        QCOMPARE(textOf(reopened), shown);
    }

    // Text typed in the box has no size or font of its own, and after a save and a reopen it still has none,
    // so that it shows, and text typed after it continues, in the box's font. Another reader shows the note
    // at about the box's size rather than its own default of 12 pt.
    void typedTextReadsBackAsTyped() {
        QFont tahoma(u"Tahoma"_s);
        tahoma.setPointSizeF(8.25);
        RichTextBox box;
        box.setFont(tahoma);
        QTest::keyClicks(&box, u"typed here"_s);
        QTextCursor cursor = box.textCursor();
        QTextCharFormat big;
        big.setFontPointSize(14);
        cursor.insertText(u" big"_s, big);
        QTemporaryDir folder;
        const QString path = folder.filePath(u"typed.rtf"_s);
        QVERIFY(box.saveFile(path).ok());

        RichTextBox reopened;
        reopened.setFont(tahoma);
        QVERIFY(reopened.loadFile(path).ok());
        QCOMPARE(textOf(reopened), u"typed here big"_s);
        const QTextCharFormat typed = reopened.document()->find(u"typed"_s).charFormat();
        QVERIFY(!typed.hasProperty(QTextFormat::FontPointSize));
        QVERIFY(!typed.hasProperty(QTextFormat::FontFamilies));
        QCOMPARE(reopened.document()->find(u"big"_s).charFormat().fontPointSize(), 14.0);
        QCOMPARE(reopened.document()->defaultFont().pointSizeF(), 8.25);

        const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed: no other reader to show the note's size");
        QProcess convert;
        convert.start(soffice,
                      {u"-env:UserInstallation=file://"_s + folder.filePath(u"profile"_s), u"--headless"_s,
                       u"--convert-to"_s, u"html"_s, u"--outdir"_s, folder.path(), path});
        QVERIFY(convert.waitForFinished(120000));
        const QString html = QString::fromUtf8(readFile(folder.filePath(u"typed.html"_s)));
        QVERIFY2(html.contains(u"font-family: \"Tahoma\""_s), qPrintable(html));
        QVERIFY2(html.contains(u"font-size: 8pt"_s), qPrintable(html));
        QVERIFY2(!html.contains(u"font-size: 12pt"_s), qPrintable(html));
    }

    // Leading white space longer than the first look at the file still opens a note; a pipe is refused
    // rather than making the box wait for a writer.
    void theFirstLookAtAFile() {
        QTemporaryDir folder;
        const QString padded = folder.filePath(u"padded.rtf"_s);
        writeFile(padded, "\xEF\xBB\xBF" + QByteArray(10000, ' ') + "\r\n" + questLog);
        const QString text = folder.filePath(u"text.rtf"_s);
        writeFile(text, QByteArray(10000, ' ') + "Quest log");
        const QString pipe = folder.filePath(u"pipe.rtf"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

        RichTextBox box;
        QVERIFY(box.loadFile(padded).ok());
        QCOMPARE(box.toPlainText(), u"Quest log: Dragon Slayer\nCook's Assistant"_s);
        QCOMPARE(box.loadFile(text).status, RichTextBox::Result::NotRichText);
        const RichTextBox::Result fromPipe = box.loadFile(pipe);
        QCOMPARE(fromPipe.status, RichTextBox::Result::CannotRead);
        QCOMPARE(fromPipe.reason, u"it is not a regular file"_s);
        QCOMPARE(box.fileName(), padded);
    }

    // Text typed right after a footnote's mark is the user's own, saved as text beside the note.
    void typingAfterAFootnoteMark() {
        QTemporaryDir folder;
        const QString path = folder.filePath(u"note.rtf"_s);
        writeFile(path, "{\\rtf1\\ansi See{\\super\\chftn}{\\footnote The source.}\\par}");
        RichTextBox box;
        QVERIFY(box.loadFile(path).ok());
        QCOMPARE(box.toPlainText(), u"See1"_s);
        box.moveCursor(QTextCursor::End);
        QTest::keyClicks(&box, u" more"_s);
        QCOMPARE(box.toPlainText(), u"See1 more"_s);
        QVERIFY(box.saveFile(path).ok());
        RichTextBox reopened;
        QVERIFY(reopened.loadFile(path).ok());
        QCOMPARE(textOf(reopened), u"See1 more\nThe source."_s);
    }

    // A note past the largest the box opens is refused before it is read; while a note opens or is saved the
    // pointer shows that the box is busy, and afterwards it is as it was. Showing it runs none of the work
    // waiting in the event loop, which would hold the note up.
    void sizeAndBusyPointer() {
        QTemporaryDir folder;
        const QString note = folder.filePath(u"note.rtf"_s);
        writeFile(note, questLog);
        const QString large = folder.filePath(u"large.rtf"_s);
        writeFile(large, questLog);
        QVERIFY(QFile::resize(large, 64 * 1024 * 1024 + 1));

        RichTextBox box;
        QList<int> shapes;
        const auto pointer = [&shapes] {
            shapes.append(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : -1);
        };
        connect(&box, &QTextEdit::textChanged, &box, pointer);
        bool waitingWorkRan = false;
        QMetaObject::invokeMethod(
            &box, [&waitingWorkRan] { waitingWorkRan = true; }, Qt::QueuedConnection);
        QVERIFY(box.loadFile(note).ok());
        QCOMPARE(shapes, QList<int>{Qt::WaitCursor});
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY(!waitingWorkRan);
        QCoreApplication::processEvents();
        QVERIFY(waitingWorkRan);

        const RichTextBox::Result refused = box.loadFile(large);
        QCOMPARE(refused.status, RichTextBox::Result::TooLarge);
        QCOMPARE(refused.size, 64 * 1024 * 1024 + 1);
        QCOMPARE(box.fileName(), note);
        QCOMPARE(box.toPlainText(), u"Quest log: Dragon Slayer\nCook's Assistant"_s);

        shapes.clear();
        box.document()->setModified(true);
        connect(box.document(), &QTextDocument::modificationChanged, &box, pointer);
        waitingWorkRan = false;
        QMetaObject::invokeMethod(
            &box, [&waitingWorkRan] { waitingWorkRan = true; }, Qt::QueuedConnection);
        QVERIFY(box.saveFile(note).ok());
        QCOMPARE(shapes, QList<int>{Qt::WaitCursor});
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QVERIFY(!waitingWorkRan);
    }

    // After a long note is shown, the rest of it is laid out in the background: each step of the layout's
    // timer lays out a slice (one piece, with a slice of no time), where the text edit's own steps double,
    // and the steps go on until the whole note is laid out.
    void longNoteLaidOutInSlices() {
        QByteArray rows;
        for (int r = 0; r < 3000; ++r)
            rows += "\\trowd\\cellx2000\\cellx4000\\pard\\intbl Row " + QByteArray::number(r) +
                    "\\cell gold\\cell\\row\r\n";
        QTextEdit box;
        box.resize(500, 300);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        auto* doc = new QTextDocument(&box);
        rtf::read("{\\rtf1\\ansi Drops\\par " + rows + "\\pard End\\par}", *doc);
        box.setDocument(doc);
        LayoutPacer pacer(std::chrono::milliseconds(0));
        pacer.watch(doc);
        box.viewport()->repaint();

        QAbstractTextDocumentLayout* layout = doc->documentLayout();
        const QTextBlock last = doc->lastBlock();
        const auto laidOut = [doc] {
            int blocks = 0;
            for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
                blocks += block.layout()->lineCount() > 0 ? 1 : 0;
            return blocks;
        };
        // The layout's timer that steps through the rest of the document is the one that repeats.
        int stepping = -1;
        for (const auto& timer : QAbstractEventDispatcher::instance()->registeredTimers(layout)) {
            if (timer.interval > 0)
                stepping = timer.timerId;
        }
        QVERIFY(stepping >= 0);
        QList<int> slices;
        for (int before = laidOut(); last.layout()->lineCount() == 0 && slices.size() < 10'000;) {
            QTimerEvent step(stepping);
            QCoreApplication::sendEvent(layout, &step);
            const int now = laidOut();
            slices.append(now - before);
            before = now;
        }
        QCOMPARE(last.layout()->lineCount(), 1);
        // 6000 cells: the text edit's own steps would lay them out in about eight.
        QVERIFY2(slices.size() >= 20, QByteArray::number(slices.size()));
        QVERIFY(*std::max_element(slices.cbegin(), slices.cend()) < doc->blockCount() / 10);
    }

    // Rich text from a program that offers only RTF keeps its formatting when pasted.
    void rtfThroughTheClipboard() {
        RichTextBox box;
        box.insertPlainText(u"Notes: "_s);
        auto* pasted = new QMimeData;
        pasted->setData(u"text/rtf"_s, "{\\rtf1\\ansi plain {\\b Strong} {\\i slanted}}");
        pasted->setText(u"plain Strong slanted"_s);
        QApplication::clipboard()->setMimeData(pasted);
        box.paste();
        QCOMPARE(box.toPlainText(), u"Notes: plain Strong slanted"_s);
        QVERIFY(isBoldAt(*box.document(), u"Strong"_s));
        QVERIFY(box.document()->find(u"slanted"_s).charFormat().fontItalic());
        QVERIFY(!isBoldAt(*box.document(), u"plain"_s));

        // A format named RTF that holds something else falls back to the text.
        auto* wrong = new QMimeData;
        wrong->setData(u"text/rtf"_s, "<b>not rtf</b>");
        wrong->setText(u" tail"_s);
        QApplication::clipboard()->setMimeData(wrong);
        box.moveCursor(QTextCursor::End);
        box.paste();
        QCOMPARE(box.toPlainText(), u"Notes: plain Strong slanted tail"_s);

        // A pasted picture keeps its own picture, whatever the note's pictures are called.
        QTemporaryDir folder;
        const QString withPicture = folder.filePath(u"map.rtf"_s);
        writeFile(withPicture, "{\\rtf1\\ansi Map: " + pictureRtf(Qt::blue) + "\\par}");
        QVERIFY(box.loadFile(withPicture).ok());
        box.moveCursor(QTextCursor::End);
        auto* picture = new QMimeData;
        picture->setData(u"application/rtf"_s, "{\\rtf1\\ansi Here: " + pictureRtf(Qt::red) + "}");
        QApplication::clipboard()->setMimeData(picture);
        box.paste();
        QCOMPARE(pictureColours(*box.document()), (QList<QColor>{QColor(Qt::blue), QColor(Qt::red)}));
        const QString saved = folder.filePath(u"saved.rtf"_s);
        QVERIFY(box.saveFile(saved).ok());
        RichTextBox reopened;
        QVERIFY(reopened.loadFile(saved).ok());
        QCOMPARE(pictureColours(*reopened.document()), (QList<QColor>{QColor(Qt::blue), QColor(Qt::red)}));
    }
};

QTEST_MAIN(RichTextBoxTest)
#include "richtextbox_test.moc"
