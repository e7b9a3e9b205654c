// Lists: RTF's list table, its overrides and the older \pn numbering read as the editor's lists, and the
// editor's lists written as a list table with a marker for readers that know no lists.

#include "rtf/Rtf.h"

#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

using namespace Qt::StringLiterals;

namespace {

// One paragraph as the editor shows it: its text, and its list's style, level and number (0, 0, 0 without).
struct Item {
    QString text;
    int style = 0;
    int indent = 0;
    int number = 0;
};

QList<Item> items(const QTextDocument& doc) {
    QList<Item> result;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        Item item{block.text()};
        if (const QTextList* list = block.textList()) {
            item.style = list->format().style();
            item.indent = list->format().indent();
            item.number = list->itemNumber(block) + 1;
        }
        result.append(item);
    }
    return result;
}

QString describe(const QList<Item>& list) {
    QStringList lines;
    for (const Item& i : list)
        lines.append(u"%1 [%2 %3 #%4]"_s.arg(i.text).arg(i.style).arg(i.indent).arg(i.number));
    return lines.join(u'\n');
}

QList<Item> read(const QByteArray& rtfBytes) {
    QTextDocument doc;
    if (!rtf::read(rtfBytes, doc))
        return {};
    return items(doc);
}

constexpr auto kDisc = QTextListFormat::ListDisc;
constexpr auto kCircle = QTextListFormat::ListCircle;
constexpr auto kSquare = QTextListFormat::ListSquare;
constexpr auto kDecimal = QTextListFormat::ListDecimal;
constexpr auto kLowerAlpha = QTextListFormat::ListLowerAlpha;
constexpr auto kUpperRoman = QTextListFormat::ListUpperRoman;

} // namespace

class RtfListsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listFromAWebPageSurvivesASave();
    void writtenListHasATableAndAMarkerForOtherReaders();
    void listTableWithLevels();
    void olderParagraphNumbering();
    void listTextOfAParagraphOutsideAListIsText();
};

void RtfListsTest::listFromAWebPageSurvivesASave() {
    QTextDocument doc;
    doc.setHtml(u"<ul><li>disc<ul style='list-style-type:circle'><li>circle</li><li>circle 2</li></ul></li>"
                "<li>disc 2</li></ul><p>between</p>"
                "<ol type='a'><li>alpha</li><li>beta</li></ol><ol type='I'><li>one</li><li>two</li>"
                "<li>three</li></ol><ul style='list-style-type:square'><li>square</li></ul>"_s);
    const QList<Item> expected = {
        {u"disc"_s, kDisc, 1, 1},        {u"circle"_s, kCircle, 2, 1},  {u"circle 2"_s, kCircle, 2, 2},
        {u"disc 2"_s, kDisc, 1, 2},      {u"between"_s, 0, 0, 0},       {u"alpha"_s, kLowerAlpha, 1, 1},
        {u"beta"_s, kLowerAlpha, 1, 2},  {u"one"_s, kUpperRoman, 1, 1}, {u"two"_s, kUpperRoman, 1, 2},
        {u"three"_s, kUpperRoman, 1, 3}, {u"square"_s, kSquare, 1, 1},
    };
    QCOMPARE(describe(items(doc)), describe(expected)); // what the editor made of the page
    const QByteArray written = rtf::write(doc);
    QCOMPARE(describe(read(written)), describe(expected));
    // A second save changes nothing more.
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(rtf::write(back), written);
}

void RtfListsTest::writtenListHasATableAndAMarkerForOtherReaders() {
    QTextDocument doc;
    doc.setHtml(u"<ol><li>first</li><li>second</li></ol><ul><li>dot</li></ul>"_s);
    const QByteArray written = rtf::write(doc);
    QVERIFY(written.contains("{\\*\\listtable"));
    QVERIFY(written.contains("{\\*\\listoverridetable"));
    QVERIFY(written.contains("{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}"));
    QVERIFY(written.contains("{\\leveltext\\'01\\u8226?;}"));
    QVERIFY(written.contains("\\ls1\\ilvl0"));
    QVERIFY(written.contains("\\ls2\\ilvl0"));
    QCOMPARE(written.count("{\\listtext"), 3);
    QVERIFY(written.contains(" 2.\\tab}"));
    QVERIFY(written.contains(" \\u8226?\\tab}"));
}

void RtfListsTest::listTableWithLevels() {
    // As word processors write it: the marker's \listtext before the paragraph's \pard and \ls, a level's
    // number with its parent's ("1.a)"), a bullet of the Symbol font and one of Courier's "o".
    const QByteArray doc = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1\fcharset2 Symbol;}{\f2 Courier New;}}
{\*\listtable
{\list\listtemplateid5{\listlevel\levelnfc0\levelstartat1{\leveltext\'02\'00.;}{\levelnumbers\'01;}}
{\listlevel\levelnfc4{\leveltext\'04\'00.\'01);}{\levelnumbers\'01\'03;}}\listid77}
{\list{\listlevel\levelnfc23{\leveltext\'01\u-3913 ?;}{\levelnumbers;}\f1}
{\listlevel\levelnfc23{\leveltext\'01o;}{\levelnumbers;}\f2}\listid78}}
{\*\listoverridetable{\listoverride\listid77\listoverridecount0\ls1}{\listoverride\listid78\ls2}}
\pard intro\par
{\listtext 1.\tab}\pard\ls1\ilvl0 one\par
{\listtext a)\tab}\pard\ls1\ilvl1 one a\par
{\listtext b)\tab}\pard\ls1\ilvl1 one b\par
{\listtext 2.\tab}\pard\ls1 two\par
{\listtext a)\tab}\pard\ls1\ilvl1 two a\par
{\listtext\f1 \'b7\tab}\pard\ls2 dot\par
{\listtext\f2 o\tab}\pard\ls2\ilvl1 ring\par
\pard after\par})";
    const QList<Item> expected = {
        {u"intro"_s, 0, 0, 0},           {u"one"_s, kDecimal, 1, 1}, {u"one a"_s, kLowerAlpha, 2, 1},
        {u"one b"_s, kLowerAlpha, 2, 2}, {u"two"_s, kDecimal, 1, 2}, {u"two a"_s, kLowerAlpha, 2, 1},
        {u"dot"_s, kDisc, 1, 1},         {u"ring"_s, kCircle, 2, 1}, {u"after"_s, 0, 0, 0},
    };
    QCOMPARE(describe(read(doc)), describe(expected));
    QTextDocument parsed;
    QVERIFY(rtf::read(doc, parsed));
    QCOMPARE(parsed.begin().next().next().textList()->itemText(parsed.begin().next().next()), u"a)"_s);
    QCOMPARE(rtf::readPlainText(doc), u"intro\none\none a\none b\ntwo\ntwo a\ndot\nring\nafter"_s);
}

void RtfListsTest::olderParagraphNumbering() {
    const QByteArray doc = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}{\f1\fcharset2 Symbol;}}
\pard{\pntext\f1\'b7\tab}{\*\pn\pnlvlblt\pnf1\pnindent0{\pntxtb\'b7}}\fi-360\li720 bullet 1\par
{\pntext\f1\'b7\tab}bullet 2\par
\pard plain\par
\pard{\pntext I.\tab}{\*\pn\pnlvlbody\pnucrm\pnstart1{\pntxta .}}roman 1\par
\pard{\pntext II.\tab}{\*\pn\pnlvlbody\pnucrm\pnstart1{\pntxta .}}roman 2\par})";
    const QList<Item> expected = {
        {u"bullet 1"_s, kDisc, 1, 1},      {u"bullet 2"_s, kDisc, 1, 2},      {u"plain"_s, 0, 0, 0},
        {u"roman 1"_s, kUpperRoman, 1, 1}, {u"roman 2"_s, kUpperRoman, 1, 2},
    };
    QCOMPARE(describe(read(doc)), describe(expected));
}

void RtfListsTest::listTextOfAParagraphOutsideAListIsText() {
    // A marker whose paragraph names no list that the document defines is all there is of the list.
    QCOMPARE(describe(read("{\\rtf1 {\\listtext 1.\\tab}\\pard\\ls9 first\\par\\pard plain}")),
             describe({{u"1.\tfirst"_s}, {u"plain"_s}}));
    QCOMPARE(rtf::readPlainText("{\\rtf1 {\\listtext 1.\\tab}\\pard\\ls9 first\\par\\pard plain}"),
             u"1.\tfirst\nplain"_s);
}

QTEST_MAIN(RtfListsTest)
#include "rtf_lists_test.moc"
