// RTF the editor does not show: headers, footers, notes, comments, text boxes and fields' instructions are
// kept where they were and written back there; what the user deletes of them is gone.

#include "rtf/Kept.h"
#include "rtf/Rtf.h"

#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>

using namespace Qt::StringLiterals;

namespace {

QTextCharFormat keptFormat(const QByteArray& rtfGroup, int id) {
    QTextCharFormat format;
    format.setProperty(rtf::kKeptRtf, rtfGroup);
    format.setProperty(rtf::kKeptId, id);
    return format;
}

// The document's font number for a family, read from the written font table.
QByteArray fontNumber(const QByteArray& written, const QByteArray& family) {
    const qsizetype at = written.indexOf(" " + family + ";}");
    const qsizetype open = written.lastIndexOf("{\\f", at);
    if (at < 0 || open < 0)
        return {};
    qsizetype end = open + 3;
    while (end < written.size() && std::isdigit(uchar(written.at(end))))
        ++end;
    return written.mid(open + 3, end - open - 3);
}

} // namespace

class RtfKeptTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keptGroupIsWrittenOnceInItsPlace();
    void fontsAndColoursOfKeptGroupsAreRenumbered();
    void deletedMarkTakesItsGroupAlong();
    void fieldResultIsWrittenAsEditedWithItsInstruction();
    void typingNextToAMarkIsNotPartOfIt();
    void footnoteStaysAsItsMarkWithTheNoteAsTooltip();
    void noteAfterTextInItsGroupIsKeptFromItsWord();
    void headersAndNotesAreNotMovedIntoTheBody();
    void fieldShowsItsResultAndKeepsItsInstruction();
    void cutOffGroupIsClosed();
    void commentKeepsItsAuthorAndDate();
    void fontsInAKeptObjectAreTheDocumentsFonts();
    void keptTextKeepsTheCharacterSetOfTheFontAroundIt();
    void keptGroupsHoldAllTheirRest();
    void symbolLeftOutStillEndsTheWordBeforeIt();
    void binaryDataIsWrittenAsDataOnlyWhereReadersSkipIt();
    void fieldsAndLinksKeepTheirNesting();
    void secondResultGoesOnWithItsField();
    void keptPictureStatesTheFallbackCountItBeganWith();
    void keptBytesAreWrittenAsTheyCame_data();
    void keptBytesAreWrittenAsTheyCame();
};

void RtfKeptTest::keptGroupIsWrittenOnceInItsPlace() {
    QTextDocument doc;
    QTextCursor cursor(&doc);
    cursor.insertText(u"before "_s);
    // A mark of two characters in two fragments of different formatting stands for one footnote.
    QTextCharFormat mark = keptFormat("{\\super\\chftn}{\\footnote note}", 1);
    cursor.insertText(u"1"_s, mark);
    mark.setFontItalic(true);
    cursor.insertText(u"2"_s, mark);
    // The same bytes again, as another item, right after it.
    cursor.insertText(u"3"_s, keptFormat("{\\super\\chftn}{\\footnote note}", 2));
    cursor.insertText(u" after"_s, QTextCharFormat());
    const QByteArray written = rtf::write(doc);
    QCOMPARE(written.count("{\\footnote note}"), 2);
    const qsizetype before = written.indexOf("before ");
    const qsizetype note = written.indexOf("{\\super\\chftn}{\\footnote note}");
    const qsizetype after = written.indexOf(" after");
    QVERIFY(before >= 0 && before < note && note < after);
    // The mark's own characters are the group's, not text of the body.
    QVERIFY(!written.mid(before, after - before).contains("12"));
}

void RtfKeptTest::fontsAndColoursOfKeptGroupsAreRenumbered() {
    QTextDocument doc;
    QTextFrameFormat root = doc.rootFrame()->frameFormat();
    root.setProperty(rtf::kKeptFonts, QVariantMap{{u"7"_s, u"Kept Serif"_s}, {u"3"_s, u"Kept Sans"_s}});
    root.setProperty(rtf::kKeptColors, QVariantMap{{u"2"_s, QColor(0x12, 0x34, 0x56)}});
    doc.rootFrame()->setFrameFormat(root);
    QTextCursor cursor(&doc);
    cursor.insertText(u"x"_s);
    cursor.insertText(u"\uFFFC"_s,
                      keptFormat("{\\header\\pard\\f7\\fs20\\cf2 head\\f3 \\f99 x\\fs24\\'f7\\\\f7}", 1));
    const QByteArray written = rtf::write(doc);
    const QByteArray serif = fontNumber(written, "Kept Serif");
    const QByteArray sans = fontNumber(written, "Kept Sans");
    QVERIFY2(!serif.isEmpty() && !sans.isEmpty(), written.constData());
    QVERIFY(written.contains("\\red18\\green52\\blue86;"));
    const qsizetype colour = written.left(written.indexOf("\\red18\\green52\\blue86;")).count(';') -
                             written.left(written.indexOf("{\\colortbl")).count(';');
    const QByteArray expected = "{\\header\\pard\\f" + serif + "\\fs20\\cf" + QByteArray::number(colour) +
                                " head\\f" + sans + " \\f0 x\\fs24\\'f7\\\\f7}";
    QVERIFY2(written.contains(expected), written.constData());
}

void RtfKeptTest::deletedMarkTakesItsGroupAlong() {
    QTextDocument doc;
    QTextCursor cursor(&doc);
    cursor.insertText(u"a"_s);
    cursor.insertText(u"1"_s, keptFormat("{\\footnote gone}", 1));
    cursor.insertText(u"b"_s, QTextCharFormat());
    cursor.insertText(u"2"_s, keptFormat("{\\footnote stays}", 2));
    cursor.setPosition(1);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    const QByteArray written = rtf::write(doc);
    QVERIFY(!written.contains("gone"));
    QVERIFY(written.contains("{\\footnote stays}"));
}

void RtfKeptTest::fieldResultIsWrittenAsEditedWithItsInstruction() {
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QTextCharFormat field;
    field.setProperty(rtf::kKeptFieldInstruction, QByteArray("{\\*\\fldinst  DATE \\\\@ \"d MMMM\" }"));
    field.setProperty(rtf::kKeptId, 4);
    cursor.insertText(u"7 May"_s, field);
    cursor.insertText(u" then"_s, QTextCharFormat());
    // The user edits the shown result.
    cursor.setPosition(1);
    cursor.insertText(u"th"_s);
    const QByteArray written = rtf::write(doc);
    QCOMPARE(written.count("\\field"), 1);
    QVERIFY2(written.contains("{\\field{\\*\\fldinst  DATE \\\\@ \"d MMMM\" }{\\fldrslt {"),
             written.constData());
    const qsizetype result = written.indexOf("\\fldrslt");
    QVERIFY(written.indexOf("th May", result) > result);
    QVERIFY(written.indexOf("}}", result) < written.indexOf(" then", result));
}

void RtfKeptTest::typingNextToAMarkIsNotPartOfIt() {
    QTextCharFormat mark = keptFormat("{\\footnote n}", 3);
    mark.setToolTip(u"n"_s);
    mark.setFontWeight(QFont::Bold);
    const QTextCharFormat typed = rtf::withoutKept(mark);
    QVERIFY(!rtf::isKept(typed));
    QVERIFY(!typed.hasProperty(rtf::kKeptId));
    QVERIFY(typed.toolTip().isEmpty());
    QCOMPARE(typed.fontWeight(), int(QFont::Bold));
    // Text typed into a field's result stays in the field.
    QTextCharFormat field;
    field.setProperty(rtf::kKeptFieldInstruction, QByteArray("{\\*\\fldinst PAGE}"));
    field.setProperty(rtf::kKeptId, 5);
    QCOMPARE(rtf::withoutKept(field), field);
}

void RtfKeptTest::footnoteStaysAsItsMarkWithTheNoteAsTooltip() {
    const QByteArray note = R"({\rtf1{\fonttbl{\f0 Arial;}{\f1 Kept Times;}}
\pard Text{\super\chftn}{\footnote\pard\plain{\super\chftn} The \f1 note.}more\par})";
    QTextDocument doc;
    QVERIFY(rtf::read(note, doc));
    QCOMPARE(rtf::plainText(doc), u"Text1more"_s);
    QCOMPARE(rtf::plainText(doc, rtf::TextScope::WithKept), u"Text1more\n1 The note."_s);
    QCOMPARE(rtf::readPlainText(note, rtf::TextScope::WithKept), u"Text1more\n1 The note."_s);
    QTextCursor cursor(&doc);
    cursor.setPosition(5);
    QVERIFY(rtf::isKept(cursor.charFormat()));
    QCOMPARE(cursor.charFormat().toolTip(), u"1 The note."_s);
    QCOMPARE(cursor.charFormat().verticalAlignment(), QTextCharFormat::AlignSuperScript);

    const QByteArray written = rtf::write(doc);
    const qsizetype text = written.indexOf("Text");
    const qsizetype mark =
        written.indexOf("{\\super\\chftn}{\\footnote\\pard\\plain{\\super\\chftn} The \\f");
    QVERIFY2(text >= 0 && mark > text && written.indexOf("more", mark) > mark, written.constData());
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(rtf::plainText(back, rtf::TextScope::WithKept), u"Text1more\n1 The note."_s);
    // The note's own font is the one it had.
    const QByteArray times = fontNumber(written, "Kept Times");
    QVERIFY(written.contains("The \\f" + times + " note."));

    // Deleting the mark deletes the note.
    cursor.setPosition(4);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    QVERIFY(!rtf::write(doc).contains("footnote"));
    QCOMPARE(rtf::plainText(doc, rtf::TextScope::WithKept), u"Textmore"_s);
}

// The text before a note's word in the same group is the body's; the note is kept from its word on, with the
// mark right before it.
void RtfKeptTest::noteAfterTextInItsGroupIsKeptFromItsWord() {
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1 {\\i Body\\chftn\\footnote The note.} more\\par}", doc));
    QCOMPARE(rtf::plainText(doc, rtf::TextScope::WithKept), u"Body1 more\nThe note."_s);
    QTextCursor cursor(&doc);
    cursor.setPosition(5);
    QCOMPARE(cursor.charFormat().toolTip(), u"The note."_s);
    const QByteArray written = rtf::write(doc);
    QVERIFY2(written.contains("{\\chftn\\footnote The note.}"), written.constData());
}

void RtfKeptTest::headersAndNotesAreNotMovedIntoTheBody() {
    const QByteArray note = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\sectd{\headerl\pard Left head\par}
{\footer\pard Foot\par}\pard Body one\par Body two{\*\annotation Remark}\par
{\shp{\*\shpinst\shpleft0{\sp{\sn fFilled}{\sv 0}}{\shptxt Box}}}\par Last\par})";
    QTextDocument doc;
    QVERIFY(rtf::read(note, doc));
    QCOMPARE(rtf::plainText(doc), u"Body one\nBody two\n\nLast"_s);
    QCOMPARE(rtf::plainText(doc, rtf::TextScope::WithKept),
             u"Body one\nBody two\n\nLast\nLeft head\nFoot\nRemark\nBox"_s);
    const QByteArray written = rtf::write(doc);
    const qsizetype head = written.indexOf("{\\headerl\\pard Left head\\par}");
    const qsizetype foot = written.indexOf("{\\footer\\pard Foot\\par}");
    const qsizetype one = written.indexOf("Body one");
    const qsizetype two = written.indexOf("Body two");
    const qsizetype remark = written.indexOf("{\\*\\annotation Remark}");
    const qsizetype box =
        written.indexOf("{\\shp{\\*\\shpinst\\shpleft0{\\sp{\\sn fFilled}{\\sv 0}}{\\shptxt Box}}}");
    const qsizetype last = written.indexOf("Last");
    QVERIFY2(head >= 0 && head < foot && foot < one && two < remark && remark < box && box < last,
             written.constData());
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(rtf::plainText(back, rtf::TextScope::WithKept), rtf::plainText(doc, rtf::TextScope::WithKept));
    QCOMPARE(rtf::write(back), written);
}

void RtfKeptTest::fieldShowsItsResultAndKeepsItsInstruction() {
    const QByteArray note =
        R"({\rtf1 Page {\field{\*\fldinst { PAGE \\* MERGEFORMAT }}{\fldrslt {\b 3}}} of 9\par})";
    QTextDocument doc;
    QVERIFY(rtf::read(note, doc));
    QCOMPARE(rtf::plainText(doc), u"Page 3 of 9"_s);
    const QByteArray written = rtf::write(doc);
    QVERIFY2(written.contains("{\\field{\\*\\fldinst { PAGE \\\\* MERGEFORMAT }}{\\fldrslt {"),
             written.constData());
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(rtf::plainText(back), u"Page 3 of 9"_s);
    QCOMPARE(rtf::write(back), written);
}

void RtfKeptTest::cutOffGroupIsClosed() {
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1 Body{\\footnote {\\i cut off\\b", doc));
    QCOMPARE(rtf::plainText(doc, rtf::TextScope::WithKept), u"Body\ncut off"_s);
    const QByteArray written = rtf::write(doc);
    QCOMPARE(written.count('{'), written.count('}'));
    QVERIFY(written.contains("{\\footnote {\\i cut off\\b }}"));
}

// A comment's author and date come in groups before the comment's own group, alone or in a group of their
// own; they are kept with it, and go with it when it is deleted. Where the text it is about starts and ends
// is kept where it is.
void RtfKeptTest::commentKeepsItsAuthorAndDate() {
    const QByteArray first =
        R"({\*\atnid JD}{\*\atnauthor John Doe}\chatn {\*\annotation{\*\atnref 1}{\*\atndate 12345}\pard Remark})";
    const QByteArray second =
        R"({\cs16\v {\*\atnid AB}{\*\atnauthor Ann}{\*\atntime 7}\chatn }{\*\annotation\pard Second})";
    // Text between them and the comment: they stay where they were, and what is written stays balanced.
    const QByteArray apart = R"({shown {\*\atnid X}\chatn }{\*\annotation\pard Third})";
    QTextDocument doc;
    const QByteArray range = R"({\*\atrfstart 2}two{\*\atrfend 2})";
    QVERIFY(rtf::read("{\\rtf1 One" + first + range + second + "three" + apart + "\\par}", doc));
    QCOMPARE(rtf::plainText(doc, rtf::TextScope::WithKept), u"Onetwothreeshown \nRemark\nSecond\nThird"_s);
    const QByteArray written = rtf::write(doc);
    // Each group is written after the font it began in.
    QVERIFY2(
        written.contains("{One}\\f0 " + first +
                         "\\plain \\f0 {\\*\\atrfstart 2}\\plain {two}\\f0 {\\*\\atrfend 2}\\plain \\f0 " +
                         second + "\\plain {three"),
        written.constData());
    QVERIFY(written.contains("{\\*\\annotation\\pard Third}"));
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(rtf::plainText(back, rtf::TextScope::WithKept), rtf::plainText(doc, rtf::TextScope::WithKept));
    QCOMPARE(rtf::write(back), written);

    QTextCursor cursor = doc.find(u"One"_s);
    cursor.clearSelection();
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    const QByteArray edited = rtf::write(doc);
    QVERIFY(!edited.contains("John Doe") && !edited.contains("Remark"));
    QVERIFY(edited.contains(second));
}

// An object is shown by a picture and kept whole; the fonts its result names are the file's, renumbered with
// the document's as those of every kept group are.
void RtfKeptTest::fontsInAKeptObjectAreTheDocumentsFonts() {
    QTextDocument doc;
    QVERIFY(rtf::read(
        R"({\rtf1{\fonttbl{\f0 Arial;}{\f3 Kept Mono;}}a{\object\objemb{\*\objdata 01}{\result{\f3 x}}}b})",
        doc));
    const QByteArray written = rtf::write(doc);
    const QByteArray mono = fontNumber(written, "Kept Mono");
    QVERIFY2(!mono.isEmpty(), written.constData());
    QVERIFY2(written.contains("{\\result {\\f" + mono + " x}}"), written.constData());
}

void RtfKeptTest::keptTextKeepsTheCharacterSetOfTheFontAroundIt() {
    // The note's letters are in the symbol font set around it: they read as Greek, before and after a round
    // trip, which must give the font its character set again.
    const QByteArray rtfIn = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}{\\f3\\fcharset2 Symbol;}}"
                             "{\\f3 a{\\footnote note}}\\par}";
    QTextDocument doc;
    QVERIFY(rtf::read(rtfIn, doc));
    QVERIFY(rtf::plainText(doc, rtf::TextScope::WithKept).contains(u"\u03BD\u03BF\u03C4\u03B5"_s));
    QTextDocument back;
    QVERIFY(rtf::read(rtf::write(doc), back));
    QCOMPARE(rtf::plainText(back, rtf::TextScope::WithKept), rtf::plainText(doc, rtf::TextScope::WithKept));
}

// A comment whose rest is skipped after a destination word in it, a text box's shape with a picture and a
// comment after the box's text, and a group of shapes holding a text box: each is one kept group, written
// whole, nothing of it shown.
void RtfKeptTest::keptGroupsHoldAllTheirRest() {
    const QByteArray comment = R"({\*\annotation Remark\atnid X})";
    const QByteArray box = R"({\shp{\*\shpinst{\shptxt Box}}{\pict\wmetafile8 0102}{\*\annotation Inner}})";
    const QByteArray group = R"({\shpgrp{\*\shpinst{\shp{\*\shpinst{\shptxt Grouped}}}{\shp{\*\shpinst}}}})";
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1 a" + comment + "b" + box + "c" + group + "\\par}", doc));
    QCOMPARE(rtf::plainText(doc, rtf::TextScope::WithKept), u"abc\nRemark\nBox\nGrouped"_s);
    QCOMPARE(doc.toHtml().count(u"<img"_s), 0);
    const QByteArray written = rtf::write(doc);
    QVERIFY2(written.contains("{a}\\f0 " + comment + "\\plain {b}\\f0 " + box + "\\plain {c}\\f0 " + group),
             written.constData());
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(rtf::plainText(back, rtf::TextScope::WithKept), rtf::plainText(doc, rtf::TextScope::WithKept));
}

// A backslash before an 8-bit byte means nothing and is not written; the word before it stays a word of its
// own, so that the note's text does not come out in the body.
void RtfKeptTest::symbolLeftOutStillEndsTheWordBeforeIt() {
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1 a{\\footnote\\\x8bnote}b\\par}", doc));
    QCOMPARE(rtf::plainText(doc, rtf::TextScope::WithKept), u"ab\nnote"_s);
    QTextDocument back;
    QVERIFY(rtf::read(rtf::write(doc), back));
    QCOMPARE(rtf::plainText(back, rtf::TextScope::WithKept), u"ab\nnote"_s);
}

// Binary data in text that is kept would come back as hexadecimal digits shown as text; it is data only in a
// picture or a destination readers skip. \bin0 still counts as the character a \uN's fallback skips.
void RtfKeptTest::binaryDataIsWrittenAsDataOnlyWhereReadersSkipIt() {
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1 Body{\\header H\\bin3 abc I \\u8364\\bin1 xJ{\\*\\unknownword \\bin2 yz}"
                      "{\\*\\shptxt \\bin1 q}{\\pict\\wmetafile8\\bin2 vw}}\\par}",
                      doc));
    const QByteArray written = rtf::write(doc);
    QVERIFY2(written.contains("H\\bin0  I \\u8364\\bin0 J{\\*\\unknownword  797a }{\\*\\shptxt \\bin0 }"),
             written.constData());
    QVERIFY2(written.contains(" 7677 "), written.constData());
    QVERIFY(!written.contains("616263"));
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(rtf::plainText(back, rtf::TextScope::WithKept), u"Body\nH I \u20acJ"_s);
}

// A field whose result holds links (a table of contents) is written around them, and a link that holds a
// field around that field: neither is cut into pieces.
void RtfKeptTest::fieldsAndLinksKeepTheirNesting() {
    const QByteArray toc =
        R"({\field{\*\fldinst TOC \\h}{\fldrslt {\field{\*\fldinst HYPERLINK \\l "a"}{\fldrslt One}})"
        R"( and {\field{\*\fldinst HYPERLINK \\l "b"}{\fldrslt Two}}}})";
    const QByteArray link =
        R"({\field{\*\fldinst HYPERLINK "http://x/"}{\fldrslt p. {\field{\*\fldinst PAGE}{\fldrslt 3}} on}})";
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1 " + toc + "\\par " + link + "\\par}", doc));
    const QByteArray written = rtf::write(doc);
    QCOMPARE(written.count("TOC"), 1);
    QCOMPARE(written.count("PAGE"), 1);
    QCOMPARE(written.count("HYPERLINK"), 3);
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(rtf::plainText(back), u"One and Two\np. 3 on"_s);
    QCOMPARE(rtf::write(back), written);
}

void RtfKeptTest::secondResultGoesOnWithItsField() {
    QTextDocument doc;
    QVERIFY(
        rtf::read("{\\rtf1 {\\header H}{\\field{\\*\\fldinst PAGE}{\\fldrslt A}{\\fldrslt B}}\\par}", doc));
    QList<int> ids;
    for (auto it = doc.begin().begin(); !it.atEnd(); ++it)
        ids.append(it.fragment().charFormat().intProperty(rtf::kKeptId));
    QCOMPARE(ids.size(), 2); // the header's mark, then the field's result "AB"
    QVERIFY(ids.at(0) != ids.at(1));
    QCOMPARE(rtf::write(doc).count("fldinst"), 1);
}

// A picture's RTF is written back as it came, in the writer's \uc1: the \uc it began with goes inside it.
void RtfKeptTest::keptPictureStatesTheFallbackCountItBeganWith() {
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1\\uc0 {\\pict\\wmetafile8 01\\u8 02}\\par}", doc));
    const QByteArray written = rtf::write(doc);
    QVERIFY2(written.contains("{\\pict \\uc0 \\wmetafile8 01\\u8 02}"), written.constData());
}

// What the writer leaves of kept bytes as they came: line ends, \'hh, and words it does not renumber; an
// 8-bit byte becomes \'hh, and a backslash before one, which means nothing but ends the word before it and a
// \uN's fallback, an empty group.
void RtfKeptTest::keptBytesAreWrittenAsTheyCame_data() {
    QTest::addColumn<QByteArray>("kept");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("line ends") << QByteArray("{\\header a\r\n\\b\r\nb\\par}")
                               << QByteArray("{\\header a\r\n\\b\r\nb\\par}");
    QTest::newRow("8-bit byte") << QByteArray("{\\header \xe9\\'e9}") << QByteArray("{\\header \\'e9\\'e9}");
    QTest::newRow("symbol after a word")
        << QByteArray("{\\header\\b\\\x8bx}") << QByteArray("{\\header\\b{}x}");
    QTest::newRow("symbol after a minus sign")
        << QByteArray("{\\header\\b-\\\x8bx}") << QByteArray("{\\header\\b-{}x}");
    QTest::newRow("symbol in a fallback")
        << QByteArray("{\\header\\u8364\\\xff\xffx}") << QByteArray("{\\header\\u8364{}\\'ffx}");
    QTest::newRow("bin without a length")
        << QByteArray("{\\header\\bin x}") << QByteArray("{\\header\\bin x}");
}

void RtfKeptTest::keptBytesAreWrittenAsTheyCame() {
    QFETCH(QByteArray, kept);
    QFETCH(QByteArray, written);
    QTextDocument doc;
    QTextCursor cursor(&doc);
    cursor.insertText(u"\uFFFC"_s, keptFormat(kept, 1));
    const QByteArray out = rtf::write(doc);
    QVERIFY2(out.contains(written), out.constData());
}

QTEST_MAIN(RtfKeptTest)
#include "rtf_kept_test.moc"
