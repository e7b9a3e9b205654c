// The RTF reader on hand-written documents: text decoding, destinations, paragraphs, formatting, links,
// pictures and malformed input.

#include "rtf/Kept.h"
#include "rtf/Rtf.h"
#include "rtf/private/CodePages.h"

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

QString readText(const QByteArray& rtfBytes) {
    QTextDocument doc;
    if (!rtf::read(rtfBytes, doc))
        return u"<not read>"_s;
    return rtf::plainText(doc);
}

// The format of the first character of the first occurrence of `text`.
QTextCharFormat formatOf(const QTextDocument& doc, const QString& text) {
    const QTextCursor found = doc.find(text);
    if (found.isNull())
        return {};
    QTextCursor c(const_cast<QTextDocument*>(&doc));
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

QByteArray pngBytes(const QSize& size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QList<QTextImageFormat> images(const QTextDocument& doc) {
    QList<QTextImageFormat> found;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                found.append(it.fragment().charFormat().toImageFormat());
        }
    }
    return found;
}

} // namespace

class RtfReaderTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rawDoubleByteTrailBytes_data();
    void rawDoubleByteTrailBytes();
    void recognisesRtf_data();
    void recognisesRtf();
    void refusesOtherBytesAndKeepsDocument();
    void replacesContentAndForgetsUndo();

    void text_data();
    void text();
    void plainTextPathAgreesWithDocument_data() { text_data(); }
    void plainTextPathAgreesWithDocument();
    void lineBreakIsLineSeparatorInDocument();

    void characterFormatting();
    void boldToggleAndPlain();
    void paragraphFormatting();
    void hyperlinks();
    void pictures();
    void title();

    void malformedInput_data();
    void malformedInput();
    void clampsHugeParameters();
    void codePageConvertersAreMadeOncePerPage();
};

void RtfReaderTest::recognisesRtf_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("expected");
    QTest::newRow("plain") << QByteArray("{\\rtf1 x}") << true;
    QTest::newRow("bom and white space") << QByteArray("\xEF\xBB\xBF \r\n\t{\\rtf1}") << true;
    QTest::newRow("no version") << QByteArray("{\\rtf") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("text first") << QByteArray("x{\\rtf1}") << false;
    QTest::newRow("other group") << QByteArray("{\\rt}") << false;
    QTest::newRow("html") << QByteArray("<html>{\\rtf1}</html>") << false;
}

void RtfReaderTest::recognisesRtf() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, expected);
    QCOMPARE(rtf::isRtf(bytes), expected);
    QCOMPARE(rtf::readPlainText(bytes).has_value(), expected);
}

void RtfReaderTest::refusesOtherBytesAndKeepsDocument() {
    QTextDocument doc(u"kept note"_s);
    QVERIFY(!rtf::read("just text, no RTF", doc));
    QCOMPARE(doc.toPlainText(), u"kept note"_s);
}

void RtfReaderTest::replacesContentAndForgetsUndo() {
    QTextDocument doc;
    QTextCursor cursor(&doc);
    cursor.insertText(u"old text"_s);
    QVERIFY(doc.isUndoAvailable());
    doc.setModified(true);
    QVERIFY(rtf::read("{\\rtf1 new}", doc));
    QCOMPARE(doc.toPlainText(), u"new"_s);
    QVERIFY(!doc.isUndoAvailable());
    QVERIFY(doc.isUndoRedoEnabled());
    QVERIFY(!doc.isModified());
}

void RtfReaderTest::text_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    // \uN and its fallback
    QTest::newRow("u with ? fallback") << QByteArray("{\\rtf1\\uc1 a\\u8216?b}") << u"a\u2018b"_s;
    QTest::newRow("uc2 skips hex and a letter") << QByteArray("{\\rtf1{\\uc2\\u228\\'E8a}b}") << u"\u00E4b"_s;
    QTest::newRow("control word ends the fallback")
        << QByteArray("{\\rtf1\\u8226\\tab x\\u8226\\~y}") << u"\u2022\tx\u2022\u00A0y"_s;
    QTest::newRow("uc0 skips nothing") << QByteArray("{\\rtf1\\uc0\\u8804 x}") << u"\u2264x"_s;
    QTest::newRow("skip stops at group end") << QByteArray("{\\rtf1\\uc3{\\u945 a}bc}") << u"\u03B1bc"_s;
    QTest::newRow("uc is group scoped") << QByteArray("{\\rtf1{\\uc2 }\\u945?x}") << u"\u03B1x"_s;
    QTest::newRow("negative value") << QByteArray("{\\rtf1\\u-3913?}") << u"\uF0B7"_s;
    QTest::newRow("value above 32767") << QByteArray("{\\rtf1\\u36947\\'3f}") << u"\u9053"_s;
    QTest::newRow("surrogate pair") << QByteArray("{\\rtf1\\u-10179?\\u-8704?}") << u"\U0001F600"_s;
    QTest::newRow("unpaired high surrogate") << QByteArray("{\\rtf1 a\\u-10179?b}") << u"a\uFFFDb"_s;
    QTest::newRow("unpaired low surrogate") << QByteArray("{\\rtf1 a\\u-8704?b}") << u"a\uFFFDb"_s;
    QTest::newRow("high, high, low") << QByteArray("{\\rtf1\\u-10179?\\u-10179?\\u-8704?}")
                                     << u"\uFFFD\U0001F600"_s;
    QTest::newRow("high before paragraph end") << QByteArray("{\\rtf1\\u-10179?\\par x}") << u"\uFFFD\nx"_s;

    // code pages
    QTest::newRow("hex inside a word") << QByteArray("{\\rtf1\\ansi ESP\\'cdRITO}") << u"ESP\u00CDRITO"_s;
    QTest::newRow("raw 8-bit byte") << QByteArray("{\\rtf1\\ansi caf\xe9}") << u"caf\u00E9"_s;
    QTest::newRow("ansicpg1251") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}")
                                 << u"\u041F\u0440\u0438"_s;
    QTest::newRow("font charset wins over ansicpg")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset0 A;}{\\f1\\fcharset238 B;}}"
                      "\\f1 \\'b9\\f0 \\'b9}")
        << u"\u0105\u00B9"_s;
    QTest::newRow("deff font's charset without ansicpg")
        << QByteArray("{\\rtf1\\ansi\\deff1{\\fonttbl{\\f1\\fcharset204 X;}}\\'e0}") << u"\u0430"_s;
    QTest::newRow("font group ends, code page returns")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset161 G;}}{\\f1 \\'e1}\\'e1}")
        << u"\u03B1\u00E1"_s;
    QTest::newRow("ansicpg0 falls back")
        << QByteArray("{\\rtf1\\ansi\\ansicpg0 Test\\'e9}") << u"Test\u00E9"_s;
    QTest::newRow("932 pairs") << QByteArray("{\\rtf1\\ansi\\ansicpg932 \\'82\\'b1\\'82\\'f1}")
                               << u"\u3053\u3093"_s;
    QTest::newRow("932 ASCII trail byte") << QByteArray("{\\rtf1\\ansi\\ansicpg932 \\'94N}") << u"\u5E74"_s;
    QTest::newRow("932 half-width katakana")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932 \\'b1x}") << u"\uFF71x"_s;
    QTest::newRow("932 fallback of \\u under uc2")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932\\uc2\\u24180\\'94\\'4e abc}") << u"\u5E74 abc"_s;
    QTest::newRow("936") << QByteArray("{\\rtf1\\ansi\\ansicpg936 \\'b2\\'e2\\'ca\\'d4}")
                         << u"\u6D4B\u8BD5"_s;
    QTest::newRow("949") << QByteArray("{\\rtf1\\ansi\\ansicpg949 \\'b0\\'a1}") << u"\uAC00"_s;
    QTest::newRow("950") << QByteArray("{\\rtf1\\ansi\\ansicpg950 \\'a4\\'a4}") << u"\u4E2D"_s;
    QTest::newRow("lead byte without trail")
        << QByteArray("{\\rtf1\\ansi\\ansicpg932 a\\'82\\par b}") << u"a\uFFFD\nb"_s;
    QTest::newRow("65001 hex and raw")
        << QByteArray("{\\rtf1\\ansi\\ansicpg65001 \\'e2\\'80\\'99 caf\xc3\xa9}") << u"\u2019 caf\u00E9"_s;
    QTest::newRow("symbol font") << QByteArray("{\\rtf1{\\fonttbl{\\f1\\fcharset2 Symbol;}}\\f1 \\'b7a}")
                                 << u"\u2022\u03B1"_s;
    QTest::newRow("symbol default font")
        << QByteArray("{\\rtf1\\ansi\\deff1{\\fonttbl{\\f1\\fcharset2 Symbol;}}a{\\plain b}}")
        << u"\u03B1\u03B2"_s;
    QTest::newRow("symbol \\u in symbol font")
        << QByteArray("{\\rtf1{\\fonttbl{\\f1\\fcharset2 Symbol;}}\\f1\\u-3913?}") << u"\u2022"_s;

    // destinations
    QTest::newRow("ignorable and known destinations skipped")
        << QByteArray("{\\rtf1{\\*\\unknown x{y}}{\\stylesheet{\\s0 Normal;}}{\\info{\\author me}}"
                      "{\\*\\themedata 0102}{\\*\\bkmkstart b}a}")
        << u"a"_s;
    QTest::newRow("bin in skipped group") << QByteArray("{\\rtf1 a{\\*\\blob\\bin3 }}}}b}") << u"ab"_s;
    QTest::newRow("bin in body") << QByteArray("{\\rtf1 a\\bin2 {}b}") << u"ab"_s;
    QTest::newRow("field result shown")
        << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}} after}")
        << u"link after"_s;
    QTest::newRow("upr shows the unicode part")
        << QByteArray("{\\rtf1{\\upr{ansi}{\\*\\ud{uni}}}}") << u"uni"_s;
    QTest::newRow("ud outside upr stays where it is")
        << QByteArray("{\\rtf1 Body{\\info{\\*\\ud hidden}}{\\header H\\ud{\\*\\ud x}}\\par}") << u"Body"_s;
    QTest::newRow("list markers are the list's own")
        << QByteArray("{\\rtf1{\\pntext 1.\\tab}{\\*\\pn\\pnlvlbody{\\pntxta .}}item\\par"
                      "{\\listtext\\'95\\tab}next}")
        << u"item\nnext"_s;
    QTest::newRow("nonshppict and shprslt skipped")
        << QByteArray("{\\rtf1{\\nonshppict{\\pict\\wmetafile8 00}}{\\shp{\\shprslt fallback}}x}") << u"x"_s;
    QTest::newRow("footnote kept, its mark shown")
        << QByteArray("{\\rtf1 Body\\chftn{\\footnote {\\chftn} Note.} more\\par}") << u"Body1 more"_s;
    QTest::newRow("footnote marks number the notes, not the marks")
        << QByteArray("{\\rtf1 A\\chftn B\\chftn{\\footnote n} C\\chftn{\\footnote m}\\par}") << u"A1B1 C2"_s;
    QTest::newRow("header kept, not shown") << QByteArray("{\\rtf1{\\header Head\\par}Body}") << u"Body"_s;
    QTest::newRow("text box kept, not shown")
        << QByteArray("{\\rtf1 A{\\shp{\\*\\shpinst{\\sp{\\sn x}{\\sv 1}}{\\shptxt Boxed\\par}}} B\\par}")
        << u"A B"_s;

    // characters and paragraphs
    QTest::newRow("special characters")
        << QByteArray("{\\rtf1\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote\\~\\-\\_"
                      "\\emspace\\enspace}")
        << u"\u2014\u2013\u2022\u2018\u2019\u201C\u201D\u00A0\u00AD\u2011\u2003\u2002"_s;
    QTest::newRow("escaped braces and backslash") << QByteArray("{\\rtf1 \\{x\\}\\\\}") << u"{x}\\"_s;
    QTest::newRow("tab and line") << QByteArray("{\\rtf1 a\\tab b\\line c}") << u"a\tb\nc"_s;
    QTest::newRow("parameter ends at a letter") << QByteArray("{\\rtf1\\highlight0Normal}") << u"Normal"_s;
    QTest::newRow("line ends are not text") << QByteArray("{\\rtf1 a\r\nb\nc}") << u"abc"_s;
    QTest::newRow("backslash newline is par") << QByteArray("{\\rtf1 a\\\nb\\\r\nc}") << u"a\nb\nc"_s;
    QTest::newRow("empty paragraphs kept")
        << QByteArray("{\\rtf1 one\\par\\par two\\par}") << u"one\n\ntwo"_s;
    QTest::newRow("last paragraph without par") << QByteArray("{\\rtf1 a\\par b}") << u"a\nb"_s;
    QTest::newRow("ends with empty paragraph") << QByteArray("{\\rtf1 a\\par\\par}") << u"a\n"_s;
    QTest::newRow("empty document") << QByteArray("{\\rtf1}") << QString();
    QTest::newRow("page and sect break non-empty paragraphs")
        << QByteArray("{\\rtf1 a\\page b\\par\\sect c}") << u"a\nb\nc"_s;
    QTest::newRow("table cells apart")
        << QByteArray("{\\rtf1\\trowd\\cellx1000\\cellx2000\\intbl a\\cell b\\cell\\row c\\par}")
        << u"a\nb\nc"_s;
    QTest::newRow("text after the last brace") << QByteArray("{\\rtf1 a}b") << u"a"_s;
    QTest::newRow("nested rtf group") << QByteArray("{\\rtf1 a{\\rtf1 b}c}") << u"abc"_s;
}

void RtfReaderTest::text() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(readText(rtf), expected);
}

void RtfReaderTest::plainTextPathAgreesWithDocument() {
    QFETCH(QByteArray, rtf);
    QCOMPARE(rtf::readPlainText(rtf).value_or(u"<not read>"_s), readText(rtf));
}

void RtfReaderTest::lineBreakIsLineSeparatorInDocument() {
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1 a\\line b\\par c}", doc));
    QCOMPARE(doc.blockCount(), 2);
    QCOMPARE(doc.begin().text(), u"a\u2028b"_s);
}

void RtfReaderTest::characterFormatting() {
    const QByteArray input =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\fmodern Courier New;}}"
        "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
        "{\\b bold} {\\i italic} {\\ul under} {\\uldash dashed} {\\uld dotted} {\\ulwave wavy} "
        "{\\ul\\ulnone notunder} {\\ulc1 colouronly} {\\strike struck} {\\super sup} {\\sub sub} {\\up6 "
        "raised} "
        "{\\dn4 lowered} {\\super\\nosupersub base} {\\f1 mono} {\\fs32 big} {\\cf1 crimson} {\\highlight2 "
        "marked} "
        "{\\chcbpat1 shaded} {\\cb2 backed} {\\cf0 auto} {\\caps capital} {\\scaps smallcap} plain}";
    QTextDocument doc;
    QVERIFY(rtf::read(input, doc));

    QCOMPARE(formatOf(doc, u"bold"_s).fontWeight(), QFont::Bold);
    QVERIFY(formatOf(doc, u"italic"_s).fontItalic());
    QCOMPARE(formatOf(doc, u"under"_s).underlineStyle(), QTextCharFormat::SingleUnderline);
    QCOMPARE(formatOf(doc, u"dashed"_s).underlineStyle(), QTextCharFormat::DashUnderline);
    QCOMPARE(formatOf(doc, u"dotted"_s).underlineStyle(), QTextCharFormat::DotLine);
    QCOMPARE(formatOf(doc, u"wavy"_s).underlineStyle(), QTextCharFormat::WaveUnderline);
    QCOMPARE(formatOf(doc, u"notunder"_s).underlineStyle(), QTextCharFormat::NoUnderline);
    QCOMPARE(formatOf(doc, u"colouronly"_s).underlineStyle(), QTextCharFormat::NoUnderline);
    QVERIFY(formatOf(doc, u"struck"_s).fontStrikeOut());
    QCOMPARE(formatOf(doc, u"sup"_s).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    QCOMPARE(formatOf(doc, u"sub"_s).verticalAlignment(), QTextCharFormat::AlignSubScript);
    QCOMPARE(formatOf(doc, u"raised"_s).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    QCOMPARE(formatOf(doc, u"lowered"_s).verticalAlignment(), QTextCharFormat::AlignSubScript);
    QCOMPARE(formatOf(doc, u"base"_s).verticalAlignment(), QTextCharFormat::AlignNormal);
    QCOMPARE(formatOf(doc, u"mono"_s).fontFamilies().toStringList(), QStringList{u"Courier New"_s});
    QCOMPARE(formatOf(doc, u"plain"_s).fontFamilies().toStringList(), QStringList{u"Arial"_s});
    QCOMPARE(formatOf(doc, u"big"_s).fontPointSize(), 16.0);
    QVERIFY(!formatOf(doc, u"plain"_s).hasProperty(QTextFormat::FontPointSize));
    QCOMPARE(formatOf(doc, u"crimson"_s).foreground().color(), QColor(Qt::red));
    QCOMPARE(formatOf(doc, u"marked"_s).background().color(), QColor(Qt::blue));
    QCOMPARE(formatOf(doc, u"shaded"_s).background().color(), QColor(Qt::red));
    QCOMPARE(formatOf(doc, u"backed"_s).background().color(), QColor(Qt::blue));
    QVERIFY(!formatOf(doc, u"auto"_s).hasProperty(QTextFormat::ForegroundBrush));
    QCOMPARE(formatOf(doc, u"capital"_s).fontCapitalization(), QFont::AllUppercase);
    QCOMPARE(formatOf(doc, u"smallcap"_s).fontCapitalization(), QFont::SmallCaps);
    const QTextCharFormat plain = formatOf(doc, u"plain"_s);
    QCOMPARE(plain.fontWeight(), QFont::Normal);
    QVERIFY(!plain.fontItalic() && !plain.fontStrikeOut() &&
            plain.underlineStyle() == QTextCharFormat::NoUnderline);
    QVERIFY(!plain.hasProperty(QTextFormat::BackgroundBrush));
}

void RtfReaderTest::boldToggleAndPlain() {
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1\\b one \\b0 two \\b\\i three \\plain four {\\b\\field{\\*\\fldinst HYPERLINK "
                      "\"http://x/\"}{\\fldrslt{\\plain five}}}}",
                      doc));
    QCOMPARE(formatOf(doc, u"one"_s).fontWeight(), QFont::Bold);
    QCOMPARE(formatOf(doc, u"two"_s).fontWeight(), QFont::Normal);
    QVERIFY(formatOf(doc, u"three"_s).fontItalic());
    QCOMPARE(formatOf(doc, u"four"_s).fontWeight(), QFont::Normal);
    QVERIFY(!formatOf(doc, u"four"_s).fontItalic());
    // \plain resets formatting but not the link the text belongs to.
    QCOMPARE(formatOf(doc, u"five"_s).fontWeight(), QFont::Normal);
    QCOMPARE(formatOf(doc, u"five"_s).anchorHref(), u"http://x/"_s);
}

void RtfReaderTest::paragraphFormatting() {
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1\\pard\\qc\\li720\\ri360\\fi-360\\sb120\\sa240 centred\\par "
                      "right\\qr\\par "
                      "\\pard justified\\qj\\par "
                      "\\pard plain\\par "
                      "{\\pard\\qc grouped\\par}after}",
                      doc));
    QCOMPARE(doc.blockCount(), 6);
    const QTextBlockFormat centred = doc.findBlockByNumber(0).blockFormat();
    QCOMPARE(centred.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(centred.leftMargin(), 48.0);
    QCOMPARE(centred.rightMargin(), 24.0);
    QCOMPARE(centred.textIndent(), -24.0);
    QCOMPARE(centred.topMargin(), 8.0);
    QCOMPARE(centred.bottomMargin(), 16.0);
    // Paragraph properties in force at \par apply to the whole paragraph.
    const QTextBlockFormat right = doc.findBlockByNumber(1).blockFormat();
    QCOMPARE(right.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(right.leftMargin(), 48.0);
    QCOMPARE(doc.findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    const QTextBlockFormat plain = doc.findBlockByNumber(3).blockFormat();
    QCOMPARE(plain.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(plain.leftMargin(), 0.0);
    QCOMPARE(doc.findBlockByNumber(4).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(doc.findBlockByNumber(5).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
}

void RtfReaderTest::hyperlinks() {
    QTextDocument doc;
    QVERIFY(rtf::read(
        "{\\rtf1{\\fonttbl{\\f1\\fcharset2 Symbol;}}Before {\\field{\\*\\fldinst {HYPERLINK "
        "\"https://example.org/a?b=1\"}}"
        "{\\fldrslt {\\ul web}}} "
        "{\\field{\\*\\fldinst HYPERLINK \\\\l \"chapter2\"}{\\fldrslt inside}} "
        "{\\field{\\*\\fldinst HYPERLINK \"doc.rtf\" \\\\l \"part\" \\\\o \"tip\"}{\\fldrslt both}} "
        "{\\field{\\*\\fldinst HYPERLINK \"..\\\\\\\\notes\\\\\\\\a.rtf\"}{\\fldrslt path}} "
        "{\\field{\\*\\fldinst HYPERLINK \"#top\"}{\\fldrslt page {\\field{\\*\\fldinst PAGEREF x}"
        "{\\fldrslt 42}}}} "
        "{\\field{\\*\\fldinst PAGE}{\\fldrslt 7}} "
        "{\\f1\\field{\\*\\fldinst HYPERLINK \"sym\"}{\\fldrslt\\f0 symbol}} "
        "{\\field{\\*\\fldinst PAGE}{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt 8}} after}",
        doc));
    QCOMPARE(rtf::plainText(doc), u"Before web inside both path page 42 7 symbol 8 after"_s);
    QVERIFY(formatOf(doc, u"web"_s).isAnchor());
    QCOMPARE(formatOf(doc, u"web"_s).anchorHref(), u"https://example.org/a?b=1"_s);
    QCOMPARE(formatOf(doc, u"web"_s).underlineStyle(), QTextCharFormat::SingleUnderline);
    QCOMPARE(formatOf(doc, u"inside"_s).anchorHref(), u"#chapter2"_s);
    QCOMPARE(formatOf(doc, u"both"_s).anchorHref(), u"doc.rtf#part"_s);
    QCOMPARE(formatOf(doc, u"path"_s).anchorHref(), u"..\\notes\\a.rtf"_s);
    QCOMPARE(formatOf(doc, u"42"_s).anchorHref(), u"#top"_s);
    QVERIFY(!formatOf(doc, u"7"_s).isAnchor());
    // An instruction is read as text even in a symbol font; a field's second instruction is not its own.
    QCOMPARE(formatOf(doc, u"symbol"_s).anchorHref(), u"sym"_s);
    QVERIFY(!formatOf(doc, u"8"_s).isAnchor());
    QCOMPARE(formatOf(doc, u"8"_s).property(rtf::kKeptFieldInstruction).toByteArray(), "{\\*\\fldinst PAGE}");
    QVERIFY(!formatOf(doc, u"after"_s).isAnchor());
    QVERIFY(!formatOf(doc, u"Before"_s).isAnchor());
}

void RtfReaderTest::pictures() {
    const QByteArray png = pngBytes(QSize(3, 2), Qt::red);
    QBuffer jpegBuffer;
    jpegBuffer.open(QIODevice::WriteOnly);
    QImage(5, 4, QImage::Format_RGB32).save(&jpegBuffer, "JPEG");
    const QByteArray input =
        "{\\rtf1 a{\\pict\\pngblip\\picw3\\pich2\\picwgoal300\\pichgoal150\n" + png.toHex() +
        "}b{\\*\\shppict{\\pict\\jpegblip\\picscalex50\\picscaley200"
        "\\picwgoal600\\pichgoal600 " +
        jpegBuffer.data().toHex() + "}}{\\pict\\pngblip\\bin" + QByteArray::number(png.size()) + " " + png +
        "}{\\pict\\wmetafile8\\picwgoal300\\pichgoal300 0102}c}";
    QTextDocument doc;
    QVERIFY(rtf::read(input, doc));
    QCOMPARE(rtf::plainText(doc), u"abc"_s);
    const QList<QTextImageFormat> found = images(doc);
    QCOMPARE(found.size(), 4);
    QCOMPARE(found.at(0).width(), 20.0);
    QCOMPARE(found.at(0).height(), 10.0);
    QCOMPARE(found.at(1).width(), 20.0);
    QCOMPARE(found.at(1).height(), 80.0);
    const auto decoded = [&doc](const QTextImageFormat& f) {
        const QVariant resource = doc.resource(QTextDocument::ImageResource, QUrl(f.name()));
        return resource.userType() == QMetaType::QImage ? resource.value<QImage>()
                                                        : QImage::fromData(resource.toByteArray());
    };
    QCOMPARE(decoded(found.at(0)).size(), QSize(3, 2));
    QCOMPARE(decoded(found.at(0)).pixelColor(1, 1), QColor(Qt::red));
    QCOMPARE(decoded(found.at(1)).size(), QSize(5, 4));
    QCOMPARE(decoded(found.at(2)).size(), QSize(3, 2)); // \bin data, not hex
    QCOMPARE(found.at(2).width(), 3.0);                 // no size given: the picture's own
    QCOMPARE(found.at(2).height(), 2.0);
    // A metafile Qt cannot show stands in as a box of its size.
    QCOMPARE(found.at(3).width(), 20.0);
    QCOMPARE(found.at(3).height(), 20.0);
}

// Older writers put double-byte characters in the file unescaped: the byte after a lead byte is its trail
// byte even when it is a brace or a backslash.
void RtfReaderTest::rawDoubleByteTrailBytes_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Shift-JIS by font charset")
        << QByteArray(
               "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS Gothic;}}\\f0 a\x83\\\x95\\\x81{\x81} b\\par}")
        << u"a\u30BD\u8868\uFF0B\u00B1 b"_s;
    QTest::newRow("GBK by code page")
        << QByteArray("{\\rtf1\\ansi\\ansicpg936 a\x81\\\x81{\x81}b}") << u"a\u4E57\u4E84\u4E87b"_s;
    QTest::newRow("Big5 by font charset")
        << QByteArray("{\\rtf1{\\fonttbl{\\f1\\fcharset136 MingLiU;}}{\\f1 \xa4\\\xa4{}c}")
        << u"\u4E48\u5EFEc"_s;
}

void RtfReaderTest::rawDoubleByteTrailBytes() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QTextDocument doc;
    QVERIFY(rtf::read(rtf, doc));
    QCOMPARE(rtf::plainText(doc), expected);
    QCOMPARE(rtf::readPlainText(rtf), expected);
}

void RtfReaderTest::title() {
    QTextDocument doc;
    QVERIFY(rtf::read(
        "{\\rtf1\\ansi\\ansicpg1251{\\info{\\title \\'cd\\'ee\\'f2\\'e0 \\u8470?1}{\\author x}}body}", doc));
    QCOMPARE(doc.metaInformation(QTextDocument::DocumentTitle), u"\u041D\u043E\u0442\u0430 \u21161"_s);
    QCOMPARE(rtf::plainText(doc), u"body"_s);
    QVERIFY(rtf::read("{\\rtf1 other}", doc));
    QVERIFY(doc.metaInformation(QTextDocument::DocumentTitle).isEmpty());
}

void RtfReaderTest::malformedInput_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");
    QTest::newRow("truncated inside groups") << QByteArray("{\\rtf1 {\\b abc {\\i def") << u"abc def"_s;
    QTest::newRow("truncated control word") << QByteArray("{\\rtf1 abc\\") << u"abc"_s;
    QTest::newRow("truncated hex") << QByteArray("{\\rtf1 abc\\'4") << u"abc"_s;
    QTest::newRow("extra closing brace") << QByteArray("{\\rtf1 a}}b") << u"a"_s;
    QTest::newRow("truncated picture") << QByteArray("{\\rtf1 a{\\pict\\pngblip 89504e") << u"a"_s;
    QTest::newRow("truncated field") << QByteArray(
                                            "{\\rtf1 a{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt b")
                                     << u"ab"_s;
    QTest::newRow("huge bin eats the rest") << QByteArray("{\\rtf1 a\\bin999999999999 xyz}") << u"a"_s;
    QTest::newRow("negative bin") << QByteArray("{\\rtf1 a\\bin-5 b}") << u"ab"_s;
    QTest::newRow("unknown value of u") << QByteArray("{\\rtf1 a\\u99999999 b}") << u"a\uFFFD"_s;
    QTest::newRow("star without group") << QByteArray("{\\rtf1 a\\*\\foo b}") << u"ab"_s;
    QTest::newRow("nul and control bytes")
        << QByteArray("{\\rtf1 a") + QByteArray("\0\x01\x7f", 3) + "\\'07b}" << u"ab"_s;
    QByteArray deep = "{\\rtf1 start";
    for (int i = 0; i < 100000; ++i)
        deep.append("{\\b ");
    deep.append("deep");
    for (int i = 0; i < 100000; ++i)
        deep.append('}');
    deep.append(" end}");
    QTest::newRow("deep nesting") << deep << u"startdeep end"_s;
    QByteArray deepSkipped = "{\\rtf1 a{\\*\\x ";
    deepSkipped.append(QByteArray(1000000, '{'));
    deepSkipped.append(QByteArray(1000000, '}'));
    deepSkipped.append("}b}");
    QTest::newRow("deep nesting in a skipped group") << deepSkipped << u"ab"_s;
    QByteArray unclosed = "{\\rtf1 x";
    unclosed.append(QByteArray(1000000, '{'));
    unclosed.append("y");
    QTest::newRow("a million unclosed groups") << unclosed << u"xy"_s;
}

void RtfReaderTest::malformedInput() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    QCOMPARE(readText(rtf), expected);
    QCOMPARE(rtf::readPlainText(rtf).value_or(QString()), expected);
}

void RtfReaderTest::clampsHugeParameters() {
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1\\fs99999999999999999999 big \\li-99999999999 {\\uc99999999 \\u945 "
                      "and more} tail\\par next}",
                      doc));
    const QTextCharFormat format = formatOf(doc, u"big"_s);
    QVERIFY(format.fontPointSize() > 0 && format.fontPointSize() <= 1638);
    QVERIFY(doc.begin().blockFormat().leftMargin() >= -31680 / 15.0);
    QCOMPARE(rtf::plainText(doc), u"big \u03B1 tail\nnext"_s);
}

// Text that keeps switching between code pages without a built-in table asks the C library for one
// converter per page, not one per switch: each switch used to open and keep a converter of its own, which
// made a 10 MB document take seconds and hundreds of megabytes to read.
void RtfReaderTest::codePageConvertersAreMadeOncePerPage() {
    rtf::detail::ByteDecoder decoder;
    QString text;
    const auto out = [&text](char16_t unit) {
        text.append(QChar(unit));
    };
    for (int i = 0; i < 10000; ++i) {
        decoder.setCodePage(i % 2 == 0 ? 737 : 775, out);
        decoder.feed(0x80, out);
    }
    QCOMPARE(decoder.convertersOpened(), 2);
    QCOMPARE(text.size(), 10000);
    QCOMPARE(text.left(4), u"\u0391\u0106\u0391\u0106"_s);
}

QTEST_MAIN(RtfReaderTest)
#include "rtf_reader_test.moc"
