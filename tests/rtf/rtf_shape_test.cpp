// Does every note of the shared corpus keep its shape through a save, as an independent reader sees it?
// The corpus's own checker re-saves each file with mossport-rtf and has LibreOffice (headless) read the
// original and the re-saved file; it names each file whose text, tables, list items, pictures, notes,
// headers, footers or links changed. Skips, saying why, where the corpus, python3 or LibreOffice is absent.
#include <QDir>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Files that may change shape, each with the only changes it may show and why. Where LibreOffice reads a
// file otherwise than its RTF says, the reason was shown with a smaller file of the same words.
const QMap<QString, QStringList> readOtherwise = {
    // The paragraphs name lists \ls3 and \ls5 but the file has no list table. LibreOffice looks the \ls up,
    // finds nothing and shows no list, ignoring the paragraphs' own \pn numbering; with the \ls taken out it
    // shows the list. We read the \pn numbering as the list it describes, and write a list table for it.
    {u"pandoc__list_legacy.rtf"_s, {u"list items 0->6"_s}},
    // All the text is in the header, and the body has no paragraph mark: LibreOffice then drops the header
    // with its text. With one \par in the body, as the re-saved file has, it shows the header.
    {u"tika__testRTFBoldPlain.rtf"_s, {u"headers 0->1"_s, u"text similarity 0.000"_s}},
    // The link is in both; in the original LibreOffice writes it as <a class="western" href=...>, which the
    // checker's count of links does not match.
    {u"tika__testRTFVarious.rtf"_s, {u"links 0->1"_s}},
    // The row names one cell edge and has four cells. LibreOffice shows only the cells with an edge:
    // "\trowd\cellx1000\intbl A\cell B\cell\row" shows "A" alone. We show every cell, each beyond the
    // edges an inch wide, and write each with its edge, so that LibreOffice then shows all their text.
    {u"pandoc__table_simple.rtf"_s, {u"text similarity 0.333"_s}},
    // A nested cell at \itap5 in a table at \itap2: LibreOffice shows nothing of a table whose depth skips a
    // level ("\itap3 x\nestcell" in a row of the body shows nothing; with \itap2 it shows x). We read it in
    // tables nested down to its depth, and write every level between.
    {u"pandoc__table_nested_malformed_itap.rtf"_s, {u"tables 0->2"_s, u"text similarity 0.000"_s}},
};

// What the checker printed: each file that changed shape, with its changes.
struct Findings {
    QMap<QString, QStringList> changed;
    QString summary;
};

Findings parse(const QString& output) {
    static const QRegularExpression fileLine(u"^(\\S+\\.rtf): (.*)$"_s);
    Findings findings;
    for (const QString& line : output.split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = fileLine.match(line);
        if (m.hasMatch())
            findings.changed.insert(m.captured(1), m.captured(2).split(u", "_s));
        else if (line.contains(u"keep their shape"_s))
            findings.summary = line;
    }
    return findings;
}

} // namespace

class RtfShapeTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyNoteKeepsItsShapeAsLibreOfficeSeesIt() {
        const QString checker = QStringLiteral(MOSSPORT_SHARED_DIR "/rtf-corpus/tools/shape_check.py");
        if (!QFile::exists(checker))
            QSKIP("the shared RTF corpus and its checker are absent");
        if (QStandardPaths::findExecutable(u"soffice"_s).isEmpty())
            QSKIP("LibreOffice (soffice) is not installed: no independent reader");
        const QString python = QStandardPaths::findExecutable(u"python3"_s);
        if (python.isEmpty())
            QSKIP("python3 is not installed: the checker cannot run");

        // LibreOffice keeps its profile under HOME: one of the test's own, so that another LibreOffice
        // running at the same time is not handed these files.
        QTemporaryDir home;
        QVERIFY(home.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, home.path());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(python, {checker, QStringLiteral(MOSSPORT_RTF_TOOL)});
        QVERIFY2(process.waitForFinished(400 * 1000), "the checker did not finish in 400 s");
        const QString output = QString::fromUtf8(process.readAll());
        const Findings findings = parse(output);
        QVERIFY2(!findings.summary.isEmpty(), qPrintable(u"the checker printed no summary:\n"_s + output));
        qInfo("%s", qPrintable(findings.summary));

        QStringList faults;
        for (auto it = findings.changed.cbegin(); it != findings.changed.cend(); ++it) {
            const QStringList allowed = readOtherwise.value(it.key());
            for (const QString& change : it.value())
                if (!allowed.contains(change))
                    faults.append(it.key() + u": "_s + change);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(u"changed shape through a save:\n"_s + faults.join(u'\n')));
        // A listed file that now keeps its shape, or lost a listed change, is taken off the list.
        for (auto it = readOtherwise.cbegin(); it != readOtherwise.cend(); ++it)
            QVERIFY2(QSet<QString>(findings.changed.value(it.key()).cbegin(),
                                   findings.changed.value(it.key()).cend()) ==
                         QSet<QString>(it.value().cbegin(), it.value().cend()),
                     qPrintable(it.key() + u" no longer shows exactly: "_s + it.value().join(u", "_s)));
    }
};

QTEST_GUILESS_MAIN(RtfShapeTest)
#include "rtf_shape_test.moc"
