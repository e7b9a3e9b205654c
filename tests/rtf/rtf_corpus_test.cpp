// The reader against RTF files written by other programs (the shared corpus, read at run time): the
// assertions their own projects' tests make, the text LibreOffice extracts, and a write/read round trip of
// each file.

#include "DocSnapshot.h"
#include "rtf/Rtf.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

using namespace Qt::StringLiterals;

namespace {

QString corpusDir() {
    return QStringLiteral(MOSSPORT_SHARED_DIR "/rtf-corpus");
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString collapseWhiteSpace(QString text) {
    static const QRegularExpression space(u"\\s+"_s, QRegularExpression::UseUnicodePropertiesOption);
    return text.replace(space, u" "_s).trimmed();
}

// Runs of text with the same link, bold and italic state, per paragraph.
struct Run {
    QString text;
    QString href;
    bool bold = false;
    bool italic = false;
};

QList<QList<Run>> runs(const QTextDocument& doc) {
    QList<QList<Run>> paragraphs;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QList<Run> line;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            const Run run{it.fragment().text(), f.anchorHref(), f.fontWeight() >= QFont::DemiBold,
                          f.fontItalic()};
            if (!line.isEmpty() && line.last().href == run.href && line.last().bold == run.bold &&
                line.last().italic == run.italic)
                line.last().text += run.text;
            else
                line.append(run);
        }
        paragraphs.append(line);
    }
    return paragraphs;
}

// The paragraph as HTML with <b> and <i> around each run, the way the assertions of kind runs_html expect.
QString runsHtml(const QList<Run>& line) {
    QString html;
    for (const Run& run : line) {
        if (run.bold)
            html += u"<b>"_s;
        if (run.italic)
            html += u"<i>"_s;
        html += run.text;
        if (run.italic)
            html += u"</i>"_s;
        if (run.bold)
            html += u"</b>"_s;
    }
    return html;
}

// Whether some occurrence of `text` lies wholly in characters for which `test` holds.
template <typename Test> bool occurrenceWhere(const QTextDocument& doc, const QString& text, Test test) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QString blockText = block.text();
        for (qsizetype at = blockText.indexOf(text); at >= 0; at = blockText.indexOf(text, at + 1)) {
            bool all = true;
            for (auto it = block.begin(); !it.atEnd() && all; ++it) {
                const QTextFragment f = it.fragment();
                const qsizetype start = f.position() - block.position();
                if (start < at + text.size() && start + f.length() > at)
                    all = test(f.charFormat());
            }
            if (all)
                return true;
        }
    }
    return false;
}

// How LibreOffice's text of a file relates to ours where LibreOffice reads it differently.
enum class Relation {
    Equal,            // the same text, white space normalised
    SideTextAppended, // we keep footnotes, headers, footers and text boxes; their text follows the body's
    Surrogates,       // LibreOffice writes "?" (and loses a space) for unpaired surrogates, we U+FFFD
    ListMarkers,      // LibreOffice's text has the lists' markers; ours leaves them to the lists
    ListMarkersAndSideText,
    FirstCellOnly,     // LibreOffice keeps one cell of rows with a single \cellx
    LibreOfficeFailed, // LibreOffice extracted nothing
};

Relation relationFor(const QString& file) {
    static const QHash<QString, Relation> known = {
        {u"pandoc/footnote.rtf"_s, Relation::SideTextAppended},
        {u"tika/testRTFVarious.rtf"_s, Relation::ListMarkersAndSideText},
        {u"striprtf/issue_29_good.rtf"_s, Relation::SideTextAppended},
        {u"rtfjs/japanese-single-double-byte.rtf"_s, Relation::SideTextAppended},
        {u"pandoc/unicode-surrogates.rtf"_s, Relation::Surrogates},
        {u"tika/testRTFInvalidUnicode.rtf"_s, Relation::Surrogates},
        {u"pandoc/list_complex.rtf"_s, Relation::ListMarkers},
        {u"pandoc/list_legacy.rtf"_s, Relation::ListMarkers},
        {u"pandoc/list_multiparagraph.rtf"_s, Relation::ListMarkers},
        {u"pandoc/list_simple.rtf"_s, Relation::ListMarkers},
        {u"pandoc/writer.rtf"_s, Relation::ListMarkersAndSideText},
        {u"tika/testRTFListMicrosoftWord.rtf"_s, Relation::ListMarkers},
        {u"tika/testRTFJapanese.rtf"_s, Relation::ListMarkersAndSideText},
        {u"pandoc/table_simple.rtf"_s, Relation::FirstCellOnly},
        {u"pandoc/table_nested_malformed_itap.rtf"_s, Relation::LibreOfficeFailed},
        {u"tika/testRTFBoldPlain.rtf"_s, Relation::LibreOfficeFailed},
    };
    return known.value(file, Relation::Equal);
}

QStringList paragraphsOf(const QString& text) {
    QStringList paragraphs;
    for (const QString& line : text.split(u'\n')) {
        const QString collapsed = collapseWhiteSpace(line);
        if (!collapsed.isEmpty())
            paragraphs.append(collapsed);
    }
    return paragraphs;
}

// Empty when LibreOffice's paragraphs are ours, each with at most a list marker before it ("1.", "a)", a
// bullet); ours may go on after theirs when `more` (the kept text). Else the first paragraph that differs.
QString differenceButListMarkers(const QString& mine, const QString& theirs, bool more) {
    static const QRegularExpression marker(u"^(?:\\S{1,4}[.)]|[^\\s\\w]|o) "_s,
                                           QRegularExpression::UseUnicodePropertiesOption);
    const QStringList ours = paragraphsOf(mine);
    const QStringList reference = paragraphsOf(theirs);
    qsizetype i = 0;
    for (const QString& line : reference) {
        if (i < ours.size() && (line == ours.at(i) || QString(line).remove(marker) == ours.at(i))) {
            ++i;
            continue;
        }
        if (QString(line + u' ').remove(marker).isEmpty())
            continue; // the marker of an item that starts with something other than text
        return u"\"%1\" where LibreOffice has \"%2\""_s.arg(ours.value(i), line);
    }
    if (more ? ours.size() <= i : ours.size() != i)
        return u"%1 paragraphs where LibreOffice has %2"_s.arg(ours.size()).arg(i);
    return {};
}

QStringList corpusFiles() {
    QStringList files;
    QDirIterator it(corpusDir(), {u"*.rtf"_s}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(corpusDir()).relativeFilePath(it.next()));
    files.sort();
    return files;
}

} // namespace

class RtfCorpusTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void expectedAssertions_data();
    void expectedAssertions();
    void libreOfficeText_data();
    void libreOfficeText();
    void roundTrip_data();
    void roundTrip();
};

void RtfCorpusTest::initTestCase() {
    if (!QFile::exists(corpusDir() + u"/EXPECTED.tsv"_s))
        QSKIP(qPrintable(u"the RTF corpus is not at %1"_s.arg(corpusDir())));
}

void RtfCorpusTest::expectedAssertions_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QJsonValue>("expected");
    const QString table = QString::fromUtf8(fileBytes(corpusDir() + u"/EXPECTED.tsv"_s));
    const QStringList lines = table.split(u'\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines.at(i).split(u'\t');
        if (fields.size() < 3)
            continue;
        const QJsonArray value = QJsonDocument::fromJson("[" + fields.at(2).toUtf8() + "]").array();
        QTest::addRow("%lld %s %s", i, qPrintable(fields.at(0)), qPrintable(fields.at(1)))
            << fields.at(0) << fields.at(1) << value.at(0);
    }
}

void RtfCorpusTest::expectedAssertions() {
    QFETCH(QString, file);
    QFETCH(QString, kind);
    QFETCH(QJsonValue, expected);
    if (kind == u"note" || kind == u"bytes")
        QSKIP("a note for people, or about embedded objects the notepad does not extract");
    if (file == u"tika/testRTFBoldPlain.rtf" && kind == u"bold")
        QSKIP("the bold text is in the file's header, which the notepad keeps without showing it");
    QTextDocument doc;
    QVERIFY(rtf::read(fileBytes(corpusDir() + u'/' + file), doc));
    // Assertions about headers and notes see their text too, as a text search does.
    const QString text = rtf::plainText(doc, rtf::TextScope::WithKept);
    const QString value = expected.toString();

    if (kind == u"contains") {
        QVERIFY2(text.contains(value), qPrintable(text.left(300)));
    } else if (kind == u"not_contains") {
        QVERIFY(!text.contains(value));
    } else if (kind == u"contains_ws_normalised") {
        QVERIFY2(collapseWhiteSpace(text).contains(collapseWhiteSpace(value)), qPrintable(text.left(300)));
    } else if (kind == u"paragraph") {
        QVERIFY(text.split(u'\n').contains(value));
    } else if (kind == u"paragraphs") {
        QStringList want;
        for (const QJsonValue& v : expected.toArray())
            want.append(v.toString());
        const QString joined = want.join(u'\n');
        QVERIFY2(text == joined || text.trimmed() == joined.trimmed(), qPrintable(text));
    } else if (kind == u"link") {
        const QString linkText = expected.toArray().at(0).toString();
        const QString href = expected.toArray().at(1).toString();
        QVERIFY(occurrenceWhere(doc, linkText, [&href](const QTextCharFormat& f) {
            return f.isAnchor() && f.anchorHref() == href;
        }));
    } else if (kind == u"bold" || kind == u"italic") {
        const bool bold = kind == u"bold";
        QVERIFY(occurrenceWhere(doc, value, [bold](const QTextCharFormat& f) {
            return bold ? f.fontWeight() >= QFont::DemiBold : f.fontItalic();
        }));
    } else if (kind == u"not_bold") {
        QVERIFY(text.contains(value));
        QVERIFY(!occurrenceWhere(doc, value, [](const QTextCharFormat& f) { return f.fontWeight() >= 600; }));
    } else if (kind == u"title") {
        QCOMPARE(doc.metaInformation(QTextDocument::DocumentTitle), value);
    } else if (kind == u"runs_html") {
        QStringList html;
        for (const QList<Run>& line : runs(doc))
            html.append(runsHtml(line));
        QVERIFY2(html.join(u'\n').contains(value), qPrintable(html.join(u'\n').left(600)));
    } else {
        QFAIL(qPrintable(u"unknown assertion kind %1"_s.arg(kind)));
    }
}

void RtfCorpusTest::libreOfficeText_data() {
    QTest::addColumn<QString>("file");
    for (const QString& file : corpusFiles()) {
        if (QFile::exists(corpusDir() + u'/' + file.chopped(4) + u".soffice.txt"_s))
            QTest::newRow(qPrintable(file)) << file;
    }
}

void RtfCorpusTest::libreOfficeText() {
    QFETCH(QString, file);
    const QByteArray bytes = fileBytes(corpusDir() + u'/' + file);
    QTextDocument doc;
    QVERIFY(rtf::read(bytes, doc));
    const QString shown = rtf::plainText(doc);
    const QString all = rtf::plainText(doc, rtf::TextScope::WithKept);
    // The plain-text path of the converter gives the same text without building a document.
    QCOMPARE(rtf::readPlainText(bytes).value_or(QString()), shown);
    QCOMPARE(rtf::readPlainText(bytes, rtf::TextScope::WithKept).value_or(QString()), all);
    const Relation relation = relationFor(file);
    const QString mine = relation == Relation::SideTextAppended ||
                                 relation == Relation::ListMarkersAndSideText ||
                                 relation == Relation::LibreOfficeFailed
                             ? all
                             : shown;

    const QString theirs =
        QString::fromUtf8(fileBytes(corpusDir() + u'/' + file.chopped(4) + u".soffice.txt"_s));
    switch (relation) {
    case Relation::Equal:
        QCOMPARE(collapseWhiteSpace(mine), collapseWhiteSpace(theirs));
        break;
    case Relation::SideTextAppended: {
        const QString body = collapseWhiteSpace(theirs);
        QVERIFY(!body.isEmpty());
        QVERIFY2(collapseWhiteSpace(mine).startsWith(body), qPrintable(collapseWhiteSpace(mine).left(300)));
        QVERIFY(collapseWhiteSpace(mine).size() > body.size());
        break;
    }
    case Relation::Surrogates: {
        // Apart from the replacement characters (and what LibreOffice loses around them), the same text.
        static const QRegularExpression replaced(u"[\\s?\uFFFD]"_s,
                                                 QRegularExpression::UseUnicodePropertiesOption);
        const QString ours = QString(mine).remove(replaced);
        const QString reference = QString(theirs).remove(replaced);
        qsizetype at = 0;
        for (const QChar c : reference) {
            at = ours.indexOf(c, at);
            QVERIFY2(at++ >= 0, qPrintable(ours));
        }
        QVERIFY(ours.size() - reference.size() <= 2);
        QVERIFY(mine.contains(QChar(0xFFFD)));
        break;
    }
    case Relation::ListMarkers:
        QCOMPARE(differenceButListMarkers(mine, theirs, false), QString());
        break;
    case Relation::ListMarkersAndSideText:
        QCOMPARE(differenceButListMarkers(mine, theirs, true), QString());
        break;
    case Relation::FirstCellOnly: {
        qsizetype at = 0;
        for (const QString& word : collapseWhiteSpace(theirs).split(u' ')) {
            at = mine.indexOf(word, at);
            QVERIFY2(at >= 0, qPrintable(word));
        }
        break;
    }
    case Relation::LibreOfficeFailed:
        QVERIFY(collapseWhiteSpace(theirs).isEmpty());
        QVERIFY(!collapseWhiteSpace(mine).isEmpty());
        break;
    }
}

void RtfCorpusTest::roundTrip_data() {
    QTest::addColumn<QString>("file");
    for (const QString& file : corpusFiles())
        QTest::newRow(qPrintable(file)) << file;
}

// Reading what the writer wrote gives the document the first reading gave, format for format.
void RtfCorpusTest::roundTrip() {
    QFETCH(QString, file);
    QTextDocument first;
    QVERIFY(rtf::read(fileBytes(corpusDir() + u'/' + file), first));
    const QByteArray written = rtf::write(first);
    for (const char c : written)
        QVERIFY(uchar(c) < 0x80);
    QTextDocument second;
    QVERIFY(rtf::read(written, second));
    QCOMPARE(rtftest::firstDifference(rtftest::snapshot(first), rtftest::snapshot(second)), QString());
    QCOMPARE(second.metaInformation(QTextDocument::DocumentTitle),
             first.metaInformation(QTextDocument::DocumentTitle));
}

QTEST_MAIN(RtfCorpusTest)
#include "rtf_corpus_test.moc"
