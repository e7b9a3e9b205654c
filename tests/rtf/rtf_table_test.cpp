// Tables in RTF: the rows the writer emits for a QTextTable (columns, widths, merges, nested tables), and
// that LibreOffice reads them as the same tables.

#include "rtf/Rtf.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

using namespace Qt::StringLiterals;

namespace {

QTextTableFormat plainTable(const QList<qreal>& fixedWidths) {
    QTextTableFormat format;
    format.setBorder(0);
    format.setCellPadding(0);
    format.setCellSpacing(0);
    QList<QTextLength> widths;
    for (const qreal w : fixedWidths)
        widths.append(QTextLength(QTextLength::FixedLength, w));
    format.setColumnWidthConstraints(widths);
    return format;
}

void fill(QTextTable* table) {
    for (int r = 0; r < table->rows(); ++r) {
        for (int c = 0; c < table->columns(); ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (cell.row() == r && cell.column() == c)
                cell.firstCursorPosition().insertText(u"r%1c%2"_s.arg(r).arg(c));
        }
    }
}

// The words of each row the writer wrote at the top level, from \trowd up to the first cell's text.
QStringList rowWords(const QByteArray& rtfBytes) {
    QStringList rows;
    const QRegularExpression row(u"\\\\trowd([^\\r\\n]*)"_s);
    for (const auto& match : row.globalMatch(QString::fromLatin1(rtfBytes)))
        rows.append(match.captured(1));
    return rows;
}

// The body of an HTML page cut down to its tables (with the spans of their cells) and its text, white space
// left out.
QString tableStructure(const QString& page) {
    const qsizetype body = page.indexOf(u"<body"_s, 0, Qt::CaseInsensitive);
    const QRegularExpression tag(u"<(/?)([a-zA-Z]+)([^>]*)>"_s);
    const QRegularExpression span(u"\\b(rowspan|colspan)=\"?(\\d+)"_s);
    const QRegularExpression space(u"\\s+"_s);
    QString out;
    qsizetype at = body < 0 ? 0 : body;
    for (auto it = tag.globalMatch(page, at); it.hasNext();) {
        const auto match = it.next();
        out += page.mid(at, match.capturedStart() - at).remove(space);
        at = match.capturedEnd();
        const QString name = match.captured(2).toLower();
        if (name != u"table"_s && name != u"tr"_s && name != u"td"_s)
            continue;
        out += u'<' + match.captured(1) + name;
        for (auto s = span.globalMatch(match.captured(3)); s.hasNext();) {
            const auto attribute = s.next();
            out += u' ' + attribute.captured(1).toLower() + u'=' + attribute.captured(2);
        }
        out += u'>';
    }
    return out + page.mid(at).remove(space);
}

// Every table of the document, the nested ones after the one holding them: each row as its cells' spans and
// text, e.g. "2x1:a|b" for a cell two rows high holding "a" then a plain cell holding "b"; widths in twips.
QStringList tablesOf(const QTextDocument& doc) {
    QStringList out;
    QList<QTextFrame*> frames{doc.rootFrame()};
    while (!frames.isEmpty()) {
        QTextFrame* frame = frames.takeFirst();
        frames = frame->childFrames() + frames;
        const auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        QStringList widths;
        for (const QTextLength& w : table->format().columnWidthConstraints())
            widths.append(QString::number(qRound(w.rawValue() * 15)));
        out.append(u"widths "_s + widths.join(u' '));
        for (int r = 0; r < table->rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue;
                QTextCursor text(cell.firstCursorPosition());
                text.setPosition(cell.lastPosition(), QTextCursor::KeepAnchor);
                QString shown = text.selectedText();
                shown.remove(QChar(0xFFFC));
                // Paragraph, cell and table boundaries inside the cell (of a nested table) as "/".
                for (const char16_t mark : {u'\u2029', u'\uFDD0', u'\uFDD1'})
                    shown.replace(QChar(mark), u'/');
                cells.append(u"%1x%2:"_s.arg(cell.rowSpan()).arg(cell.columnSpan()) + shown);
            }
            out.append(cells.join(u'|'));
        }
    }
    return out;
}

QTextDocument* readRtf(const QByteArray& bytes, QObject* parent) {
    auto* doc = new QTextDocument(parent);
    rtf::read(bytes, *doc);
    return doc;
}

} // namespace

class RtfTablesTest final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rowsWithTheirWidths();
    void mergedCells();
    void nestedTable();
    void editedTableWrittenCellByCell();
    void columnsWithoutAWidthShareThePage();
    void readByLibreOffice();
    void readRowsWidthsAndMerges();
    void readNestedTables();
    void negativeRowIndentStays();
    void longTableShownInPartsWrittenWhole();
    void corpusTablesSurviveASave();
};

// Each row: its words with the right edge of every cell in twips (1/15 of a pixel), then every cell's
// paragraphs in the table, the last one of each ended by \cell, the row by \row.
void RtfTablesTest::rowsWithTheirWidths() {
    QTextDocument doc;
    doc.setDefaultFont(QFont(u"Arial"_s, 12));
    QTextCursor cursor(&doc);
    cursor.insertText(u"before"_s);
    QTextTable* table = cursor.insertTable(2, 3, plainTable({100, 200, 50}));
    fill(table);
    QTextCursor second = table->cellAt(1, 2).lastCursorPosition();
    second.insertBlock();
    second.insertText(u"second"_s);

    const QByteArray written = rtf::write(doc);
    QCOMPARE(rowWords(written), QStringList(2, u"\\trgaph0\\trleft0\\cellx1500\\cellx4500\\cellx5250"_s));
    QVERIFY2(written.contains("\\pard\\intbl {r0c0}\\cell\r\n"
                              "\\pard\\intbl {r0c1}\\cell\r\n"
                              "\\pard\\intbl {r0c2}\\cell\r\n"
                              "\\row\r\n"),
             written.constData());
    QVERIFY2(written.contains("\\pard\\intbl {r1c2}\\par\r\n"
                              "\\pard\\intbl {second}\\cell\r\n"
                              "\\row\r\n"),
             written.constData());
    // The paragraph after the table is outside it again.
    QVERIFY(written.contains("\\row\r\n\\pard \\par\r\n}"));
}

// A cell spanning two rows and two columns: one cell as wide as the two, \clvmgf in its first row and \clvmrg
// in the row it covers, where it is written empty; the columns keep their edges in the other rows.
void RtfTablesTest::mergedCells() {
    QTextDocument doc;
    doc.setDefaultFont(QFont(u"Arial"_s, 12));
    QTextCursor cursor(&doc);
    QTextTable* table = cursor.insertTable(3, 3, plainTable({100, 100, 100}));
    table->mergeCells(0, 0, 2, 2);
    table->mergeCells(2, 1, 1, 2);
    fill(table);

    const QByteArray written = rtf::write(doc);
    QCOMPARE(rowWords(written), (QStringList{u"\\trgaph0\\trleft0\\clvmgf\\cellx3000\\cellx4500"_s,
                                             u"\\trgaph0\\trleft0\\clvmrg\\cellx3000\\cellx4500"_s,
                                             u"\\trgaph0\\trleft0\\cellx1500\\cellx4500"_s}));
    QVERIFY2(written.contains("\\pard\\intbl {r0c0}\\cell\r\n"
                              "\\pard\\intbl {r0c2}\\cell\r\n\\row\r\n"
                              "\\trowd\\trgaph0\\trleft0\\clvmrg\\cellx3000\\cellx4500\r\n"
                              "\\pard\\intbl\\cell\r\n"
                              "\\pard\\intbl {r1c2}\\cell\r\n\\row\r\n"),
             written.constData());
}

// A table inside a cell: its paragraphs carry \itap2 and end with \nestcell, its rows' words come last in
// \nesttableprops before \nestrow; the outer row repeats its own words before \row.
void RtfTablesTest::nestedTable() {
    QTextDocument doc;
    doc.setDefaultFont(QFont(u"Arial"_s, 12));
    QTextCursor cursor(&doc);
    QTextTable* outer = cursor.insertTable(1, 2, plainTable({300, 100}));
    QTextCursor inCell = outer->cellAt(0, 0).firstCursorPosition();
    inCell.insertText(u"outer"_s);
    QTextTable* inner = inCell.insertTable(1, 2, plainTable({60, 80}));
    inner->cellAt(0, 0).firstCursorPosition().insertText(u"in1"_s);
    inner->cellAt(0, 1).firstCursorPosition().insertText(u"in2"_s);
    outer->cellAt(0, 1).firstCursorPosition().insertText(u"right"_s);

    const QByteArray written = rtf::write(doc);
    const QByteArray expected = "\\trowd\\trgaph0\\trleft0\\cellx4500\\cellx6000\r\n"
                                "\\pard\\intbl {outer}\\par\r\n"
                                "\\pard\\intbl\\itap2 {in1}\\nestcell\r\n"
                                "\\pard\\intbl\\itap2 {in2}\\nestcell\r\n"
                                "{\\*\\nesttableprops\\trowd\\trgaph0\\trleft0\\cellx900\\cellx2100\\nestrow}"
                                "{\\nonesttables\\par}\r\n"
                                "\\pard\\intbl \\cell\r\n"
                                "\\pard\\intbl {right}\\cell\r\n"
                                "\\trowd\\trgaph0\\trleft0\\cellx4500\\cellx6000\\row\r\n";
    QVERIFY2(written.contains(expected), written.constData());
}

// A table the user changed (rows and columns added and taken away, cells merged and split, paragraphs and a
// table added in cells, cells left empty) has its cells in a new order in the note's text: each one is still
// written with its own text, and read back into the same place.
void RtfTablesTest::editedTableWrittenCellByCell() {
    QTextDocument doc;
    doc.setDefaultFont(QFont(u"Arial"_s, 12));
    QTextCursor cursor(&doc);
    cursor.insertText(u"before"_s);
    QTextTable* table = cursor.insertTable(3, 3, plainTable({100, 100, 100}));
    fill(table);
    table->insertRows(1, 2);
    table->insertColumns(0, 1);
    table->removeRows(3, 1);
    table->mergeCells(1, 1, 2, 2);
    table->mergeCells(0, 2, 1, 2);
    table->splitCell(0, 2, 1, 1);
    table->cellAt(1, 1).firstCursorPosition().insertText(u"merged"_s);
    QTextCursor twoParagraphs = table->cellAt(3, 3).lastCursorPosition();
    twoParagraphs.insertText(u" and"_s);
    twoParagraphs.insertBlock();
    twoParagraphs.insertText(u"more"_s);
    QTextCursor nested = table->cellAt(2, 0).firstCursorPosition();
    nested.insertText(u"holds"_s);
    QTextTable* inner = nested.insertTable(2, 1, plainTable({40}));
    inner->cellAt(1, 0).firstCursorPosition().insertText(u"deep"_s);
    table->cellAt(3, 0).firstCursorPosition().insertText(u"last row"_s);
    const QStringList shown = tablesOf(doc);

    QTextDocument again;
    rtf::read(rtf::write(doc), again);
    QCOMPARE(tablesOf(again), shown);
}

// A table pasted from a web page has no widths of its own: its columns share the width of the text.
void RtfTablesTest::columnsWithoutAWidthShareThePage() {
    QTextDocument doc;
    doc.setHtml(u"<table border=\"1\" cellpadding=\"3\"><tr><td>Boss</td><td>Drop</td></tr>"
                "<tr><td style=\"background-color:#ff0000\">Dragon</td><td>Sword</td></tr></table>"_s);
    const QByteArray written = rtf::write(doc);
    const QString border = u"\\brdrs\\brdrw15\\brdrcf1"_s;
    const QString cell = u"\\clbrdrt%1\\clbrdrl%1\\clbrdrb%1\\clbrdrr%1"_s.arg(border);
    // 8640 twips of a page's text shared by two; the shading is the colour table's second colour.
    QCOMPARE(rowWords(written),
             (QStringList{u"\\trgaph45\\trleft0%1\\cellx4320%1\\cellx8640"_s.arg(cell),
                          u"\\trgaph45\\trleft0%1\\clcbpat2\\cellx4320%1\\cellx8640"_s.arg(cell)}));
    QVERIFY2(written.contains("{\\colortbl ;\\red128\\green128\\blue128;\\red255\\green0\\blue0;}"),
             written.constData());
}

// LibreOffice, reading what the writer wrote, sees the same tables: their count, each one's rows and cells,
// the spans of merged cells and the text in them.
void RtfTablesTest::readByLibreOffice() {
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed: no independent reader to check the tables with");
    QTextDocument doc;
    doc.setDefaultFont(QFont(u"Arial"_s, 12));
    QTextCursor cursor(&doc);
    cursor.insertText(u"Drops"_s);
    QTextTable* merged = cursor.insertTable(3, 3, plainTable({100, 100, 100}));
    merged->mergeCells(0, 0, 2, 2);
    merged->mergeCells(2, 1, 1, 2);
    fill(merged);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(u"Nested"_s);
    QTextTable* outer = cursor.insertTable(1, 2, plainTable({300, 100}));
    QTextCursor inCell = outer->cellAt(0, 0).firstCursorPosition();
    QTextTable* inner = inCell.insertTable(2, 2, plainTable({60, 80}));
    fill(inner);
    outer->cellAt(0, 1).firstCursorPosition().insertText(u"right"_s);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(u"tables.rtf"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(rtf::write(doc));
    file.close();
    QProcess process;
    // A profile of its own, so that a LibreOffice the user runs meanwhile does not take the conversion over.
    process.start(soffice, {u"-env:UserInstallation=file://"_s + dir.filePath(u"profile"_s), u"--headless"_s,
                            u"--convert-to"_s, u"html"_s, u"--outdir"_s, dir.path(), file.fileName()});
    QVERIFY(process.waitForFinished(180000));
    QFile html(dir.filePath(u"tables.html"_s));
    QVERIFY2(html.open(QIODevice::ReadOnly), "LibreOffice wrote no HTML");
    const QString page = tableStructure(QString::fromUtf8(html.readAll()));
    QCOMPARE(page,
             u"Drops<table><tr><td rowspan=2 colspan=2>r0c0</td><td>r0c2</td></tr><tr><td>r1c2</td></tr>"
             "<tr><td>r2c0</td><td colspan=2>r2c1</td></tr></table>"
             "Nested<table><tr><td><table><tr><td>r0c0</td><td>r0c1</td></tr><tr><td>r1c0</td>"
             "<td>r1c1</td></tr></table></td><td>right</td></tr></table>"_s);
}

// Rows become one table whose columns are every cell edge of its rows; \\clvmgf/\\clvmrg and the older
// \\clmgf/\\clmrg merge cells; shading, vertical alignment and the text's formatting stay.
void RtfTablesTest::readRowsWidthsAndMerges() {
    const QByteArray rtfBytes =
        "{\\rtf1\\ansi{\\colortbl;\\red255\\green0\\blue0;}Before\\par\r\n"
        "\\trowd\\trgaph108\\clvmgf\\cellx2000\\clcbpat1\\clvertalc\\cellx4000\\cellx6000\r\n"
        "\\pard\\intbl A\\cell B\\cell C\\cell\\row\r\n"
        "\\trowd\\trgaph108\\clvmrg\\cellx2000\\cellx6000\r\n"
        "\\pard\\intbl\\cell {\\b D}\\cell\\row\r\n"
        "\\trowd\\clmgf\\cellx2000\\clmrg\\cellx4000\\cellx6000\r\n"
        "\\intbl E\\cell\\cell F\\cell\\row\r\n"
        "\\pard After\\par}";
    QTextDocument* doc = readRtf(rtfBytes, this);
    QCOMPARE(tablesOf(*doc),
             (QStringList{u"widths 2000 2000 2000"_s, u"2x1:A|1x1:B|1x1:C"_s, u"1x2:D"_s, u"1x2:E|1x1:F"_s}));
    QCOMPARE(rtf::plainText(*doc), u"Before\nA\nB\nC\nD\nE\nF\nAfter"_s);
    QCOMPARE(rtf::readPlainText(rtfBytes).value(), rtf::plainText(*doc));
    const QTextTable* first = qobject_cast<QTextTable*>(doc->rootFrame()->childFrames().first());
    QVERIFY(first);
    const QTextTableCellFormat shaded = first->cellAt(0, 1).format().toTableCellFormat();
    QCOMPARE(shaded.background().color(), QColor(Qt::red));
    QCOMPARE(shaded.verticalAlignment(), QTextCharFormat::AlignMiddle);
    QCOMPARE(first->format().cellPadding() * 15, 108.0);
    QVERIFY(doc->find(u"D"_s).charFormat().fontWeight() >= QFont::Bold);
}

// Word's nested tables: \\itap2 paragraphs ending with \\nestcell, the rows' words in \\nesttableprops, and
// \\nonesttables text for readers without nested tables, which is not shown.
void RtfTablesTest::readNestedTables() {
    const QByteArray rtfBytes =
        "{\\rtf1\\ansi\\trowd\\cellx4000\\cellx6000\r\n"
        "\\pard\\intbl\\itap1 outer\\par\r\n"
        "\\pard\\intbl\\itap2 x\\nestcell y\\nestcell\r\n"
        "{\\*\\nesttableprops\\trowd\\cellx1000\\cellx3000\\nestrow}{\\nonesttables\\par}\r\n"
        "\\pard\\intbl\\itap1 \\cell right\\cell\r\n"
        "\\trowd\\cellx4000\\cellx6000\\row\\pard after\\par}";
    QTextDocument* doc = readRtf(rtfBytes, this);
    QCOMPARE(tablesOf(*doc), (QStringList{u"widths 4000 2000"_s, u"1x1:outer/x/y/|1x1:right"_s,
                                          u"widths 1000 2000"_s, u"1x1:x|1x1:y"_s}));
    QCOMPARE(rtf::plainText(*doc), u"outer\nx\ny\nright\nafter"_s);
}

// Word puts a row's cells left of the margin by their gap (\\trleft-108): the table keeps that place.
void RtfTablesTest::negativeRowIndentStays() {
    QTextDocument* doc = readRtf(
        "{\\rtf1\\trowd\\trgaph108\\trleft-108\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row}", this);
    QCOMPARE(tablesOf(*doc), (QStringList{u"widths 2108 2000"_s, u"1x1:a|1x1:b"_s}));
    const auto* table = qobject_cast<QTextTable*>(doc->rootFrame()->childFrames().value(0));
    QVERIFY(table);
    QCOMPARE(qRound(table->format().leftMargin() * 15), -108);
    QCOMPARE(rowWords(rtf::write(*doc)), QStringList{u"\\trgaph108\\trleft-108\\cellx2000\\cellx4000"_s});
}

// A long table is shown as tables of some dozens of rows, each part ending only where no merged cell goes
// on, with nothing between them in the note's text; it is written back as one table.
void RtfTablesTest::longTableShownInPartsWrittenWhole() {
    QByteArray rtfBytes = "{\\rtf1\\ansi ";
    QStringList text;
    for (int r = 0; r < 150; ++r) {
        // Rows 63 and 64 share a merged first cell.
        const QByteArray merge = r == 63 ? "\\clvmgf" : r == 64 ? "\\clvmrg" : "";
        rtfBytes += "\\trowd" + merge + "\\cellx1000\\cellx2000\\intbl " + QByteArray::number(r) +
                    "a\\cell " + QByteArray::number(r) + "b\\cell\\row\r\n";
        if (r != 64)
            text.append(u"%1a"_s.arg(r));
        text.append(u"%1b"_s.arg(r));
    }
    rtfBytes += "\\pard after\\par}";
    text.append(u"after"_s);
    const auto rowsOfParts = [](const QTextDocument& doc) {
        QList<int> rows;
        for (QTextFrame* frame : doc.rootFrame()->childFrames())
            rows.append(qobject_cast<QTextTable*>(frame)->rows());
        return rows;
    };
    QTextDocument* doc = readRtf(rtfBytes, this);
    QCOMPARE(rowsOfParts(*doc), (QList<int>{65, 64, 21}));
    QCOMPARE(rtf::plainText(*doc), text.join(u'\n'));
    QCOMPARE(rtf::readPlainText(rtfBytes).value(), text.join(u'\n'));
    const QByteArray written = rtf::write(*doc);
    QCOMPARE(rowWords(written).size(), 150);
    QCOMPARE(written.count("\\row\r\n\\pard"), 1); // no paragraph between rows, only after the last
    QTextDocument* again = readRtf(written, this);
    QCOMPARE(rowsOfParts(*again), (QList<int>{65, 64, 21}));
    QCOMPARE(tablesOf(*again), tablesOf(*doc));
}

// Every table of the corpus comes back from a save with the same rows, columns, widths, merges and text.
void RtfTablesTest::corpusTablesSurviveASave() {
    const QString corpus = QStringLiteral(MOSSPORT_SHARED_DIR) + u"/rtf-corpus"_s;
    if (!QDir(corpus).exists())
        QSKIP("the RTF corpus is not there (MOSSPORT_SHARED_DIR)");
    int tables = 0;
    QDirIterator it(corpus, {u"*.rtf"_s}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTextDocument* first = readRtf(file.readAll(), this);
        const QStringList before = tablesOf(*first);
        QTextDocument* again = readRtf(rtf::write(*first), this);
        QCOMPARE(tablesOf(*again), before);
        QCOMPARE(rtf::plainText(*again), rtf::plainText(*first));
        for (const QString& line : before)
            tables += line.startsWith(u"widths"_s) ? 1 : 0;
        delete first;
        delete again;
    }
    QVERIFY2(tables >= 10, qPrintable(QString::number(tables)));
}

QTEST_MAIN(RtfTablesTest)
#include "rtf_table_test.moc"
