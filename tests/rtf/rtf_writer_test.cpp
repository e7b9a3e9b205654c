// The RTF writer: what it emits, and that reading it back gives the same document (text, paragraphs and
// the formatting of every character), on built and on random documents.

#include "DocSnapshot.h"
#include "rtf/Rtf.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextList>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

QList<rtftest::BlockSnapshot> roundTrip(const QTextDocument& doc, QByteArray* written = nullptr) {
    const QByteArray bytes = rtf::write(doc);
    if (written)
        *written = bytes;
    QTextDocument back;
    if (!rtf::read(bytes, back))
        return {};
    return rtftest::snapshot(back);
}

QImage solidImage(QSize size, QColor color) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The pictures the writer emitted: the hex data of each \pict of the kind, decoded.
QList<QByteArray> writtenPictures(const QByteArray& rtfBytes, const QString& kind = u"pngblip"_s) {
    QList<QByteArray> pictures;
    const QRegularExpression pict(u"\\{\\\\pict\\\\"_s + kind + u"[^ \\r\\n]*\\s+([0-9a-f\\r\\n]+)\\}"_s);
    for (const auto& match : pict.globalMatch(QString::fromLatin1(rtfBytes))) {
        QByteArray hex = match.captured(1).toLatin1();
        hex.replace("\r\n", "");
        pictures.append(QByteArray::fromHex(hex));
    }
    return pictures;
}

const QString kPieces[] = {
    u"a"_s,      u"Zebra "_s, u"0"_s,      u" "_s,          u"\\"_s,     u"{"_s,
    u"}"_s,      u"\t"_s,     u"\u2028"_s, u"\u00E9"_s,     u"\u00DF"_s, u"\u0416"_s,
    u"\u044F"_s, u"\u4E2D"_s, u"\u6587"_s, u"\U0001F600"_s, u"\u00A0"_s, u"\u00AD"_s,
    u"\u2011"_s, u"\u20AC"_s, u"?"_s,      u"'\""_s,        u"\u05D0"_s, u"\uF0B7"_s,
    u"\u00FF"_s, u"~"_s,      u";"_s,      u"-"_s,          u"\u2014"_s, u"text "_s,
};

QTextCharFormat randomCharFormat(QRandomGenerator& rng) {
    static const QString families[] = {u"Arial"_s, u"Courier New"_s, u"DejaVu Serif"_s,
                                       u"Noto Sans CJK JP"_s};
    static const qreal sizes[] = {7.5, 8, 10.5, 12, 20, 72};
    static const QTextCharFormat::UnderlineStyle underlines[] = {
        QTextCharFormat::SingleUnderline, QTextCharFormat::DashUnderline,  QTextCharFormat::DotLine,
        QTextCharFormat::DashDotLine,     QTextCharFormat::DashDotDotLine, QTextCharFormat::WaveUnderline};
    static const QColor colors[] = {Qt::red, Qt::darkGreen, QColor(0x12, 0x34, 0x56), Qt::black, Qt::white};
    static const QString hrefs[] = {u"http://example.org/a?b=1&c=%C3%A9"_s, u"#anchor"_s,
                                    u"notes\\other.rtf"_s, u"file.rtf#part"_s};
    const auto chance = [&rng](int percent) {
        return int(rng.bounded(100)) < percent;
    };
    QTextCharFormat f;
    if (chance(40))
        f.setFontFamilies({families[rng.bounded(4)]});
    if (chance(40))
        f.setFontPointSize(sizes[rng.bounded(6)]);
    if (chance(30))
        f.setFontWeight(QFont::Bold);
    if (chance(30))
        f.setFontItalic(true);
    if (chance(20))
        f.setUnderlineStyle(underlines[rng.bounded(6)]);
    if (chance(15))
        f.setFontStrikeOut(true);
    if (chance(15))
        f.setVerticalAlignment(chance(50) ? QTextCharFormat::AlignSuperScript
                                          : QTextCharFormat::AlignSubScript);
    if (chance(10))
        f.setFontCapitalization(chance(50) ? QFont::AllUppercase : QFont::SmallCaps);
    if (chance(25))
        f.setForeground(colors[rng.bounded(5)]);
    if (chance(20))
        f.setBackground(colors[rng.bounded(5)]);
    if (chance(15)) {
        f.setAnchor(true);
        f.setAnchorHref(hrefs[rng.bounded(4)]);
    }
    return f;
}

QTextBlockFormat randomBlockFormat(QRandomGenerator& rng) {
    static const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter,
                                               Qt::AlignJustify};
    QTextBlockFormat f;
    if (rng.bounded(2))
        f.setAlignment(alignments[rng.bounded(4)]);
    if (rng.bounded(3) == 0) {
        // Whole twips, as RTF keeps them.
        f.setLeftMargin(rng.bounded(0, 3000) / 15.0);
        f.setRightMargin(rng.bounded(0, 1000) / 15.0);
        f.setTextIndent(rng.bounded(-700, 700) / 15.0);
        f.setTopMargin(rng.bounded(0, 400) / 15.0);
        f.setBottomMargin(rng.bounded(0, 400) / 15.0);
    }
    return f;
}

void buildRandomDocument(QTextDocument& doc, quint32 seed) {
    QRandomGenerator rng(seed);
    QTextCursor cursor(&doc);
    const int paragraphs = rng.bounded(1, 10);
    for (int p = 0; p < paragraphs; ++p) {
        if (p > 0)
            cursor.insertBlock(randomBlockFormat(rng));
        else
            cursor.setBlockFormat(randomBlockFormat(rng));
        const int runs = rng.bounded(0, 6); // 0: an empty paragraph
        for (int r = 0; r < runs; ++r) {
            if (rng.bounded(12) == 0) {
                const QString name = u"picture-%1-%2-%3"_s.arg(seed).arg(p).arg(r);
                doc.addResource(QTextDocument::ImageResource, QUrl(name),
                                solidImage(QSize(rng.bounded(1, 9), rng.bounded(1, 9)), Qt::blue));
                QTextImageFormat image;
                image.setName(name);
                image.setWidth(rng.bounded(1, 200));
                image.setHeight(rng.bounded(1, 200));
                cursor.insertImage(image);
                continue;
            }
            QString text;
            const int pieces = rng.bounded(1, 6);
            for (int i = 0; i < pieces; ++i)
                text += kPieces[rng.bounded(int(std::size(kPieces)))];
            cursor.insertText(text, randomCharFormat(rng));
        }
    }
}

} // namespace

class RtfWriterTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerAndSevenBitOutput();
    void escapesText();
    void textWithoutASizeHasTheDocumentsSize();
    void paragraphCountSurvives_data();
    void paragraphCountSurvives();
    void hyperlinksAsFields();
    void picturesKeepTheirBytes_data();
    void picturesKeepTheirBytes();
    void roundTripOfEveryProperty();
    void roundTripOfRandomDocuments();
    void titleSurvives();
    void listsSurvive();
    void readableByAnotherReader();
};

void RtfWriterTest::headerAndSevenBitOutput() {
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextCharFormat red;
    red.setForeground(Qt::red);
    red.setFontFamilies({u"Courier New"_s});
    cursor.insertText(u"caf\u00E9 \u0416 \u4E2D \U0001F600"_s, red);
    const QByteArray bytes = rtf::write(doc);
    QVERIFY(bytes.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
    QVERIFY(
        bytes.contains("{\\fonttbl{\\f0\\fnil\\fcharset0 " + doc.defaultFont().family().toLatin1() + ";}"));
    QVERIFY(bytes.contains("{\\f1\\fnil\\fcharset0 Courier New;}"));
    QVERIFY(bytes.contains("{\\colortbl ;\\red255\\green0\\blue0;}"));
    QVERIFY(bytes.contains("\\uc1"));
    QVERIFY(bytes.trimmed().endsWith('}'));
    for (const char c : bytes)
        QVERIFY2(uchar(c) < 0x80, "the output must be 7-bit");
}

void RtfWriterTest::escapesText() {
    QTextDocument doc(u"{a}\\b\tc\u2028d\u00A0e\u00ADf\u2011g\u00E9\uF0B7\U0001F600"_s);
    const QByteArray bytes = rtf::write(doc);
    QVERIFY2(bytes.contains("{\\{a\\}\\\\b\\tab c\\line d\\~e\\-f\\_g\\u233?\\u-3913?\\u-10179?\\u-8704?}"),
             bytes.constData());
    QTextDocument back;
    QVERIFY(rtf::read(bytes, back));
    QCOMPARE(back.toRawText(), doc.toRawText());
}

void RtfWriterTest::textWithoutASizeHasTheDocumentsSize() {
    // Other readers take 12 pt for text without \fs: the document's default font is declared once, in the
    // default formatting, the default style and the state the body starts in; only text with a size of its
    // own says so. Read back into a document with the same default, the plain text has no size again.
    QTextDocument doc;
    QFont tahoma(u"Tahoma"_s);
    tahoma.setPointSizeF(8.25);
    doc.setDefaultFont(tahoma);
    QTextCursor cursor(&doc);
    cursor.insertText(u"plain "_s);
    QTextCharFormat big;
    big.setFontPointSize(14);
    cursor.insertText(u"big"_s, big);
    const QByteArray bytes = rtf::write(doc);
    QVERIFY2(bytes.contains("{\\fonttbl{\\f0\\fnil\\fcharset0 Tahoma;}}"), bytes.constData());
    QVERIFY2(bytes.contains("{\\*\\defchp\\f0\\fs17}"), bytes.constData());
    QVERIFY2(bytes.contains("{\\stylesheet{\\f0\\fs17 Normal;}}"), bytes.constData());
    QVERIFY2(bytes.contains("\\viewkind4\\f0\\fs17\r\n"), bytes.constData());
    QVERIFY2(bytes.contains("{plain }{\\fs28 big}"), bytes.constData());

    QTextDocument back;
    back.setDefaultFont(tahoma);
    QVERIFY(rtf::read(bytes, back));
    const QTextCharFormat plain = back.begin().begin().fragment().charFormat();
    QCOMPARE(back.begin().begin().fragment().text(), u"plain "_s);
    QVERIFY(!plain.hasProperty(QTextFormat::FontPointSize));
    QVERIFY(!plain.hasProperty(QTextFormat::FontFamilies));
    QCOMPARE(back.find(u"big"_s).charFormat().fontPointSize(), 14.0);
    // The same bytes in a document of another default keep their size and font.
    QTextDocument other;
    other.setDefaultFont(QFont(u"DejaVu Serif"_s, 12));
    QVERIFY(rtf::read(bytes, other));
    QCOMPARE(other.find(u"plain"_s).charFormat().fontPointSize(), 8.5);
    QCOMPARE(other.find(u"plain"_s).charFormat().fontFamilies().toStringList(), QStringList{u"Tahoma"_s});
}

void RtfWriterTest::paragraphCountSurvives_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty document") << QString();
    QTest::newRow("one paragraph") << u"a"_s;
    QTest::newRow("two empty paragraphs") << u"\n"_s;
    QTest::newRow("ends with an empty paragraph") << u"a\n"_s;
    QTest::newRow("ends with two empty paragraphs") << u"a\n\n"_s;
    QTest::newRow("starts with an empty paragraph") << u"\na"_s;
    QTest::newRow("only empty paragraphs") << u"\n\n\n"_s;
    QTest::newRow("empty paragraphs between") << u"one\n\ntwo\n\n\nthree"_s;
}

void RtfWriterTest::paragraphCountSurvives() {
    QFETCH(QString, text);
    QTextDocument doc;
    doc.setPlainText(text);
    const QByteArray bytes = rtf::write(doc);
    QCOMPARE(bytes.count("\\par\r\n"), doc.blockCount());
    QTextDocument back;
    QVERIFY(rtf::read(bytes, back));
    QCOMPARE(back.blockCount(), doc.blockCount());
    QCOMPARE(back.toPlainText(), text);
    // A second round changes nothing.
    QCOMPARE(rtf::write(back), bytes);
}

void RtfWriterTest::hyperlinksAsFields() {
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextCharFormat link;
    link.setAnchor(true);
    link.setAnchorHref(u"http://example.org/?q=\"x\""_s);
    cursor.insertText(u"see "_s);
    cursor.insertText(u"here"_s, link);
    QTextCharFormat boldLink = link;
    boldLink.setFontWeight(QFont::Bold);
    cursor.insertText(u" now"_s, boldLink);
    QTextCharFormat inside;
    inside.setAnchor(true);
    inside.setAnchorHref(u"#top"_s);
    cursor.insertText(u"up"_s, inside);
    QByteArray bytes;
    const auto back = roundTrip(doc, &bytes);
    // Two neighbouring fragments with one address make one field.
    QCOMPARE(bytes.count("{\\field"), 2);
    QVERIFY2(bytes.contains(
                 "{\\field{\\*\\fldinst{HYPERLINK \"http://example.org/?q=\\\\\"x\\\\\"\"}}{\\fldrslt{"),
             bytes.constData());
    QVERIFY(bytes.contains("{\\field{\\*\\fldinst{HYPERLINK \\\\l \"top\"}}"));
    QCOMPARE(rtftest::firstDifference(rtftest::snapshot(doc), back), QString());
}

void RtfWriterTest::picturesKeepTheirBytes_data() {
    QTest::addColumn<QVariant>("resource");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes"); // written as they are; empty: encoded as PNG
    const QImage image = solidImage(QSize(7, 5), Qt::green);
    QTest::newRow("QImage") << QVariant(image) << image.size() << u"pngblip"_s << QByteArray();
    QTest::newRow("QPixmap") << QVariant(QPixmap::fromImage(image)) << image.size() << u"pngblip"_s
                             << QByteArray();
    QTest::newRow("BMP bytes") << QVariant(encoded(image, "BMP")) << image.size() << u"pngblip"_s
                               << QByteArray();
    const QByteArray png = encoded(image, "PNG");
    QTest::newRow("PNG bytes") << QVariant(png) << image.size() << u"pngblip"_s << png;
    const QByteArray jpeg = encoded(image, "JPEG");
    QTest::newRow("JPEG bytes") << QVariant(jpeg) << image.size() << u"jpegblip"_s << jpeg;
}

void RtfWriterTest::picturesKeepTheirBytes() {
    QFETCH(QVariant, resource);
    QFETCH(QSize, size);
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QTextDocument doc;
    doc.addResource(QTextDocument::ImageResource, QUrl(u"picture"_s), resource);
    QTextCursor cursor(&doc);
    QTextImageFormat sized;
    sized.setName(u"picture"_s);
    sized.setWidth(28);
    sized.setHeight(20);
    cursor.insertText(u"a"_s);
    cursor.insertImage(sized);
    QTextImageFormat natural;
    natural.setName(u"picture"_s);
    cursor.insertImage(natural);
    QTextImageFormat missing;
    missing.setName(u"no-such-picture"_s);
    cursor.insertImage(missing);

    QByteArray written;
    const auto back = roundTrip(doc, &written);
    QVERIFY(written.contains("\\picwgoal420\\pichgoal300"));
    QVERIFY(written.contains("\\picw7\\pich5\\picwgoal105\\pichgoal75"));
    const QList<QByteArray> pictures = writtenPictures(written, kind);
    QCOMPARE(pictures.size(), 2); // nothing for the picture without data
    for (const QByteArray& picture : pictures) {
        if (bytes.isEmpty())
            QVERIFY(picture.startsWith("\x89PNG"));
        else
            QCOMPARE(picture, bytes); // never decoded and encoded again
        QCOMPARE(QImage::fromData(picture).size(), size);
    }
    QCOMPARE(back.size(), 1);
    QCOMPARE(back.first().text, u"a\uFFFC\uFFFC"_s);
    QCOMPARE(back.first().chars.at(1).imageWidth, 420);
    QCOMPARE(back.first().chars.at(2).imageWidth, 105);
}

void RtfWriterTest::roundTripOfEveryProperty() {
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextBlockFormat block;
    block.setAlignment(Qt::AlignHCenter);
    block.setLeftMargin(48);
    block.setRightMargin(24);
    block.setTextIndent(-24);
    block.setTopMargin(8);
    block.setBottomMargin(16);
    cursor.setBlockFormat(block);
    const auto add = [&cursor](const QString& text, const auto& change) {
        QTextCharFormat format;
        change(format);
        cursor.insertText(text, format);
    };
    add(u"plain "_s, [](QTextCharFormat&) {});
    add(u"bold "_s, [](QTextCharFormat& f) { f.setFontWeight(QFont::Bold); });
    add(u"italic "_s, [](QTextCharFormat& f) { f.setFontItalic(true); });
    add(u"under "_s, [](QTextCharFormat& f) { f.setFontUnderline(true); });
    add(u"wave "_s, [](QTextCharFormat& f) { f.setUnderlineStyle(QTextCharFormat::WaveUnderline); });
    add(u"strike "_s, [](QTextCharFormat& f) { f.setFontStrikeOut(true); });
    add(u"sup "_s, [](QTextCharFormat& f) { f.setVerticalAlignment(QTextCharFormat::AlignSuperScript); });
    add(u"sub "_s, [](QTextCharFormat& f) { f.setVerticalAlignment(QTextCharFormat::AlignSubScript); });
    add(u"size "_s, [](QTextCharFormat& f) { f.setFontPointSize(10.5); });
    add(u"font "_s, [](QTextCharFormat& f) { f.setFontFamilies({u"Courier New"_s}); });
    add(u"\u00FCnicode "_s, [](QTextCharFormat& f) { f.setFontFamilies({u"M\u00E9ri \u4E2D"_s}); });
    add(u"odd "_s, [](QTextCharFormat& f) { f.setFontFamilies({u"Odd;Name {x}\\"_s}); });
    add(u"colour "_s, [](QTextCharFormat& f) { f.setForeground(QColor(0x12, 0x34, 0x56)); });
    add(u"marked "_s, [](QTextCharFormat& f) { f.setBackground(Qt::yellow); });
    add(u"caps "_s, [](QTextCharFormat& f) { f.setFontCapitalization(QFont::SmallCaps); });
    add(u"all"_s, [](QTextCharFormat& f) {
        f.setFontWeight(QFont::Bold);
        f.setFontItalic(true);
        f.setFontUnderline(true);
        f.setForeground(Qt::red);
        f.setBackground(Qt::black);
        f.setFontPointSize(30);
        f.setAnchor(true);
        f.setAnchorHref(u"https://example.org/"_s);
    });
    cursor.insertBlock(QTextBlockFormat());
    QTextBlockFormat right;
    right.setAlignment(Qt::AlignRight);
    cursor.insertBlock(right);
    cursor.insertText(u"right"_s);
    QTextBlockFormat justified;
    justified.setAlignment(Qt::AlignJustify);
    cursor.insertBlock(justified);
    cursor.insertText(u"justified"_s);
    cursor.insertBlock(QTextBlockFormat());

    QCOMPARE(rtftest::firstDifference(rtftest::snapshot(doc), roundTrip(doc)), QString());
}

void RtfWriterTest::roundTripOfRandomDocuments() {
    for (quint32 seed = 1; seed <= 300; ++seed) {
        QTextDocument doc;
        buildRandomDocument(doc, seed);
        const QString difference = rtftest::firstDifference(rtftest::snapshot(doc), roundTrip(doc));
        QVERIFY2(difference.isEmpty(), qPrintable(u"seed %1: %2"_s.arg(seed).arg(difference)));
    }
}

void RtfWriterTest::titleSurvives() {
    QTextDocument doc(u"body"_s);
    doc.setMetaInformation(QTextDocument::DocumentTitle, u"Quests {1} \u2013 \u65E5\u672C"_s);
    QTextDocument back;
    QVERIFY(rtf::read(rtf::write(doc), back));
    QCOMPARE(back.metaInformation(QTextDocument::DocumentTitle),
             doc.metaInformation(QTextDocument::DocumentTitle));
    QCOMPARE(rtf::plainText(back), u"body"_s);
}

void RtfWriterTest::listsSurvive() {
    QTextDocument doc;
    doc.setHtml(u"<ul><li>one</li><li>two</li></ul><ol><li>first</li></ol><p>after</p>"_s);
    QTextDocument back;
    QVERIFY(rtf::read(rtf::write(doc), back));
    // The markers are the lists' own, not text.
    QCOMPARE(rtf::plainText(back), u"one\ntwo\nfirst\nafter"_s);
    QVERIFY(back.begin().textList());
    QCOMPARE(back.begin().textList()->count(), 2);
    QVERIFY(back.begin().next().next().textList() != back.begin().textList());
    QVERIFY(!back.lastBlock().textList());
}

void RtfWriterTest::readableByAnotherReader() {
    const QString unrtf = QStandardPaths::findExecutable(u"unrtf"_s);
    if (unrtf.isEmpty())
        QSKIP("unrtf is not installed: no independent reader to check the output with");
    QTextDocument doc;
    QTextCursor cursor(&doc);
    cursor.insertText(u"Hello {world} back\\slash"_s);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    cursor.insertBlock();
    cursor.insertText(u"bold line"_s, bold);
    cursor.insertBlock();
    cursor.insertBlock();
    cursor.insertText(u"last"_s);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(u"note.rtf"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(rtf::write(doc));
    file.close();
    QProcess process;
    process.start(unrtf, {u"--text"_s, file.fileName()});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    // unrtf prints a comment header, then the text.
    QVERIFY2(output.contains(u"Hello {world} back\\slash\nbold line\n\nlast"_s), qPrintable(output));
}

QTEST_MAIN(RtfWriterTest)
#include "rtf_writer_test.moc"
