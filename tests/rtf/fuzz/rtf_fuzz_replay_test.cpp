// Replays inputs through the fuzzer's checks without libFuzzer: every corpus file and truncations of it,
// and malformed documents made here (truncations and seeded mutations of a rich document, pathological
// nesting, parameters and sizes). Each must be read without a crash, within a time limit, with the reader,
// the plain-text reader and a write/read round trip agreeing, and the process's memory must stay bounded.

#include "FuzzCheck.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <ctime>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

// The processor time one input may take to be checked: counted on the test's own thread, not on the wall
// clock, so that a machine busy with other work does not fail a check that is quick enough. The sanitizers
// make the reader and writer about four times slower.
#ifdef MOSSPORT_SANITIZED
constexpr qint64 kTimeLimitMs = 4 * 20'000;
#else
constexpr qint64 kTimeLimitMs = 20'000;
#endif
constexpr long kPeakMemoryLimitKb = 1'500'000;

QByteArray smallPngHex() {
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toHex();
}

// A document with most of what the reader interprets, to cut and mutate.
QByteArray richDocument() {
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\froman\\fcharset0 Times;}"
           "{\\f1\\fcharset204{\\*\\panose 0}Arial Cyr;}{\\f2\\fcharset128 MS Gothic;}{\\f3\\fcharset2 "
           "Symbol;}}"
           "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}{\\stylesheet{\\s0 Normal;}}"
           "{\\info{\\title A \\u8470?1}{\\author x}}{\\*\\generator gen;}"
           "\\pard\\qc\\li720\\fi-360\\sb120{\\b bold}{\\i\\ul under}\\strike s\\strike0{\\super 2}"
           "{\\f1 \\'cf\\'f0\\'e8}{\\f2 \\'82\\'b1\\'94N}{\\f3 \\'b7}\\u-10179?\\u-8704?{\\uc2\\u228\\'e8a}"
           "\\cf1\\highlight2 col\\plain\\par"
           "{\\field{\\*\\fldinst HYPERLINK \"http://x/\" \\\\l \"a\"}{\\fldrslt{\\ul link}}}\\tab\\line"
           "{\\pict\\pngblip\\picwgoal300\\pichgoal300 " +
           smallPngHex() +
           "}{\\*\\shppict{\\pict\\jpegblip 00}}{\\nonshppict{\\pict\\wmetafile8 0102}}"
           "{\\object{\\*\\objdata 0102\\bin3 }}}{\\result x}}"
           "\\trowd\\cellx100\\cellx200\\intbl a\\cell b\\cell\\row"
           "{\\footnote\\chftn note}{\\header head\\par}{\\shp{\\*\\shpinst{\\sp{\\sn a}{\\sv 1}}{\\shptxt "
           "box}}}"
           "{\\listtext 1.\\tab}item\\emdash\\~\\{\\}\\\\\\\n"
           "{\\upr{a}{\\*\\ud{u}}}\\page\\sect end\\par}";
}

// Shapes, pictures given as their properties, pictures for readers without shapes, and comments with their
// authors, to cut and mutate.
QByteArray shapesAndComments() {
    return "{\\rtf1 a{\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright300\\shpbottom300{\\sp{\\sn pib}{\\sv "
           "{\\pict\\pngblip " +
           smallPngHex() +
           "}}}}{\\shprslt{\\pict\\wmetafile8 0304}}}b{\\shp{\\*\\shpinst{\\sp{\\sn a}{\\sv 1}}{\\shptxt "
           "box}}}"
           "{\\shpgrp{\\*\\shpinst\\shpleft0\\shptop0\\shpright9\\shpbottom9{\\shp{\\*\\shpinst}}}}"
           "{\\nonshppict{\\pict\\wmetafile8 0506}}c{\\*\\shppict{\\pict\\emfblip 07}}{\\nonshppict{\\pict"
           "\\wmetafile8 08}}{\\*\\atrfstart 1}r{\\*\\atrfend 1}{\\v{\\*\\atnid A}{\\*\\atnauthor "
           "B}\\chatn}{\\*\\annotation{\\*\\atnref "
           "1}{\\*\\atndate "
           "5}c}{\\*\\atnid C}\\chatn{\\*\\annotation d}{\\footnote\\chftn e}end\\par}";
}

QByteArray repeated(const QByteArray& piece, int count) {
    return piece.repeated(count);
}

QList<std::pair<QString, QByteArray>> pathologicalInputs() {
    QList<std::pair<QString, QByteArray>> inputs;
    const auto add = [&inputs](const QString& name, const QByteArray& bytes) {
        inputs.append({name, bytes});
    };
    add(u"a million open groups"_s, "{\\rtf1 " + repeated("{", 1'000'000) + "x");
    add(u"a million closed groups"_s, "{\\rtf1 " + repeated("{", 1'000'000) + repeated("}", 1'000'000) + "}");
    add(u"a million ignorable groups"_s, "{\\rtf1 " + repeated("{\\*\\x ", 1'000'000) + "y");
    add(u"a million empty groups"_s, "{\\rtf1 " + repeated("{}", 1'000'000) + "}");
    add(u"closing braces after the end"_s, "{\\rtf1 a}" + repeated("}", 100'000) + "b");
    add(u"huge bin"_s, "{\\rtf1 a\\bin2147483647 b}");
    add(u"bin at the end"_s, "{\\rtf1 a\\bin");
    add(u"bin in a picture at the end"_s, "{\\rtf1 {\\pict\\pngblip\\bin50 abc");
    add(u"a million-digit parameter"_s,
        "{\\rtf1\\fs" + repeated("9", 1'000'000) + " x\\u-" + repeated("9", 1000) + " y}");
    add(u"a million-letter control word"_s, "{\\rtf1\\" + repeated("a", 1'000'000) + " x}");
    add(u"hex escape at the end"_s, "{\\rtf1 \\'");
    add(u"bad hex escapes"_s, "{\\rtf1 \\'zz\\'4\\'}");
    add(u"many fonts"_s,
        "{\\rtf1{\\fonttbl" + repeated("{\\f7\\fcharset128 F;}", 200'000) + "}\\f7 \\'82\\'a0}");
    add(u"many colours"_s,
        "{\\rtf1{\\colortbl" + repeated("\\red1\\green2\\blue3;", 200'000) + "}\\cf199999 x}");
    add(u"nested fields"_s,
        "{\\rtf1 " + repeated("{\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt ", 50'000) + "x");
    add(u"nested footnotes"_s, "{\\rtf1 " + repeated("{\\footnote a\\chftn", 50'000) + "}");
    add(u"a picture of absurd size"_s,
        "{\\rtf1{\\pict\\pngblip\\picwgoal2147483647\\pichgoal1\\picscalex99999 " + smallPngHex() + "}}");
    add(u"a picture of garbage"_s, "{\\rtf1{\\pict\\pngblip " + repeated("0f", 100'000) + "}}");
    add(u"300000 paragraphs"_s, "{\\rtf1 " + repeated("\\par", 300'000) + "}");
    add(u"a million lone surrogates"_s, "{\\rtf1 " + repeated("\\u-10179?", 1'000'000) + "}");
    add(u"lead bytes only"_s, "{\\rtf1\\ansi\\ansicpg932 " + repeated("\\'82", 1'000'000) + "}");
    add(u"utf-8 lead bytes only"_s, "{\\rtf1\\ansi\\ansicpg65001 " + repeated("\\'e2", 1'000'000) + "}");
    add(u"huge uc"_s, "{\\rtf1\\uc2147483647 " + repeated("\\u945 abc", 100'000) + "}");
    add(u"backslashes"_s, "{\\rtf1 " + repeated("\\\\", 1'000'000) + "}");
    add(u"format changes on every character"_s,
        "{\\rtf1 " + repeated("\\b a\\b0 b\\cf1 c\\fs20 d\\plain ", 200'000) + "}");
    add(u"nested rtf"_s, repeated("{\\rtf1 ", 100'000));
    add(u"only the start"_s, "{\\rtf");
    add(u"bom and white space"_s, "\xEF\xBB\xBF \r\n{\\rtf1 x}");
    add(u"NUL bytes"_s, QByteArray("{\\rtf1 a\0b\0\\'00}", 16));
    // Broken tables: cells without rows, rows without words, depth jumps, merges with nothing to join,
    // absurd edges, and grids that would have millions of cells.
    add(u"cells without rows"_s, "{\\rtf1 " + repeated("\\intbl a\\cell ", 50'000) + "}");
    add(u"rows without row words"_s, "{\\rtf1 " + repeated("\\row\\intbl x\\row\\nestrow", 20'000) + "}");
    add(u"table depth jumps"_s,
        "{\\rtf1 " +
            repeated("\\pard\\intbl\\itap9999 a\\nestcell\\itap1 b\\cell\\itap3 c\\nestrow\\row", 2000) +
            "}");
    add(u"merges that join nothing"_s, "{\\rtf1 " +
                                           repeated("\\trowd\\clmrg\\cellx100\\clvmrg\\cellx200\\clvmrg\\clmr"
                                                    "g\\cellx150\\intbl a\\cell b\\cell c\\cell\\row",
                                                    5000) +
                                           "}");
    add(u"absurd cell edges"_s, "{\\rtf1\\trowd\\trleft-2147483647\\trgaph2147483647\\cellx2147483647\\cellx-"
                                "2147483648\\cellx99999999999 \\intbl a\\cell b\\cell c\\cell d\\cell\\row}");
    QByteArray edges = "{\\rtf1\\trowd";
    QByteArray newEdgeEachRow = "{\\rtf1 ";
    for (int i = 1; i <= 5000; ++i) {
        edges += "\\cellx" + QByteArray::number(i * 5);
        newEdgeEachRow += "\\trowd\\cellx" + QByteArray::number(100 + i * 3) + "\\intbl a\\cell\\row";
    }
    add(u"thousands of columns"_s, edges + repeated("\\intbl x\\cell", 5000) + "\\row}");
    add(u"many edges, one cell a row"_s, edges + repeated("\\intbl x\\cell\\row", 5000) + "}");
    add(u"a new edge on every row"_s, newEdgeEachRow + "}");
    return inputs;
}

QStringList corpusFiles(const QString& dir) {
    QStringList files;
    QDirIterator it(dir, {u"*.rtf"_s}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

// Processor time spent by the calling thread, in milliseconds.
qint64 threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

long peakMemoryKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class RtfFuzzReplayTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLoggingCategory::setFilterRules(u"qt.gui.imageio*=false"_s); }
    void pathological_data();
    void pathological();
    void truncationsOfRichDocument_data();
    void truncationsOfRichDocument();
    void mutationsOfRichDocument_data() { truncationsOfRichDocument_data(); }
    void mutationsOfRichDocument();
    void corpusFilesAndTheirTruncations();
    void keptFindings_data();
    void keptFindings();
    void memoryStayedBounded();

private:
    void check(const QByteArray& bytes, const QString& what) {
        const qint64 start = threadCpuMs();
        const QString problem = rtffuzz::checkOneInput(bytes);
        QVERIFY2(problem.isEmpty(), qPrintable(what + u": "_s + problem));
        const qint64 spent = threadCpuMs() - start;
        QVERIFY2(spent < kTimeLimitMs, qPrintable(what + u" took %1 ms of processor time"_s.arg(spent)));
    }
};

void RtfFuzzReplayTest::pathological_data() {
    QTest::addColumn<QByteArray>("bytes");
    for (const auto& [name, bytes] : pathologicalInputs())
        QTest::newRow(qPrintable(name)) << bytes;
}

void RtfFuzzReplayTest::pathological() {
    QFETCH(QByteArray, bytes);
    check(bytes, QString::fromLatin1(QTest::currentDataTag()));
}

void RtfFuzzReplayTest::truncationsOfRichDocument_data() {
    QTest::addColumn<QByteArray>("rich");
    QTest::newRow("rich document") << richDocument();
    QTest::newRow("shapes and comments") << shapesAndComments();
}

void RtfFuzzReplayTest::truncationsOfRichDocument() {
    QFETCH(QByteArray, rich);
    check(rich, u"the whole document"_s);
    for (qsizetype length = 0; length < rich.size(); ++length)
        check(rich.left(length), u"the first %1 bytes"_s.arg(length));
}

void RtfFuzzReplayTest::mutationsOfRichDocument() {
    QFETCH(QByteArray, rich);
    static const char special[] = {'{', '}', '\\', '\'', '*', ' ', '\n', '-', '9', char(0x82), char(0xFF), 0};
    QRandomGenerator rng(20240607);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes = rich;
        const int edits = rng.bounded(1, 8);
        for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
            const qsizetype at = rng.bounded(bytes.size());
            switch (rng.bounded(5)) {
            case 0: // flip a byte
                bytes[at] = char(bytes.at(at) ^ (1 << rng.bounded(8)));
                break;
            case 1: // insert a character RTF gives meaning to
                bytes.insert(at, special[rng.bounded(int(sizeof special))]);
                break;
            case 2: // delete a stretch
                bytes.remove(at, rng.bounded(1, 40));
                break;
            case 3: // duplicate a stretch
                bytes.insert(at, bytes.mid(rng.bounded(bytes.size()), rng.bounded(1, 200)));
                break;
            default: // a random byte
                bytes[at] = char(rng.bounded(256));
                break;
            }
        }
        if (!bytes.startsWith("{\\rtf"))
            bytes.prepend("{\\rtf1 ");
        check(bytes, u"mutation round %1"_s.arg(round));
    }
}

void RtfFuzzReplayTest::corpusFilesAndTheirTruncations() {
    const QString dir = QStringLiteral(MOSSPORT_SHARED_DIR "/rtf-corpus");
    const QStringList files = corpusFiles(dir);
    if (files.isEmpty())
        QSKIP(qPrintable(u"the RTF corpus is not at %1; only the inputs made here were replayed"_s.arg(dir)));
    QRandomGenerator rng(7);
    for (const QString& path : files) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        check(bytes, path);
        for (int cut = 0; cut < 5; ++cut) {
            const qsizetype length = rng.bounded(bytes.size() + 1);
            check(bytes.left(length), u"%1 cut at %2"_s.arg(path).arg(length));
        }
    }
}

// The inputs the fuzzer found, kept in the repository.
void RtfFuzzReplayTest::keptFindings_data() {
    QTest::addColumn<QString>("path");
    const QDir dir(QStringLiteral(MOSSPORT_FUZZ_REGRESSIONS));
    const QStringList names =
        dir.entryList(QDir::Files, QDir::Name).filter(QRegularExpression(u"^(?!README)"_s));
    if (names.isEmpty())
        QSKIP(qPrintable(u"no finding of the fuzzer is kept in %1"_s.arg(dir.path())));
    for (const QString& name : names)
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
}

void RtfFuzzReplayTest::keptFindings() {
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    if (!bytes.startsWith("{\\rtf"))
        bytes.prepend("{\\rtf1 ");
    check(bytes, path);
}

void RtfFuzzReplayTest::memoryStayedBounded() {
    QVERIFY2(peakMemoryKb() < kPeakMemoryLimitKb, qPrintable(u"peak memory %1 kB"_s.arg(peakMemoryKb())));
}

QTEST_MAIN(RtfFuzzReplayTest)
#include "rtf_fuzz_replay_test.moc"
