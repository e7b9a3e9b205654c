// Notepad benchmarks, over the real window, the real rich-text box and real files in a temporary program
// folder:
//   - opening a 1 MB note: from the double-click handler until the note is painted on the screen;
//   - a note of one table of 20,000 rows (11 MB, as a word processor writes one): opened until painted, and
//     saved (the Save command until the file is written); each within 1 s; then the rest of it laid out in
//     the background, with the longest time the window is held up meanwhile;
//   - a list refresh tick over a notes folder of 10,000 files: with nothing changed, right after a change
//     (when the folder is read again but the list is left alone), and with one file added.
// Each figure is given as wall-clock time and as the UI thread's own processor time, which other programs on
// a busy machine do not inflate. Run (prints min / median / max in milliseconds):
//   xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" build-note/bin/notepad_bench [table]
#include "Controls.h"
#include "app/Look.h"
#include "app/Program.h"
#include "host/RealHost.h"
#include "notepad/RichTextBox.h"
#include "notepad/frmNotepad.h"
#include "rtf/Rtf.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A note of about `bytes` bytes as a word processor writes it: font and colour tables, paragraphs of text
// with bold, italic and coloured runs.
QByteArray bigNote(qsizetype bytes) {
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Tahoma;}{\\f1\\froman Times New "
        "Roman;}}{\\colortbl;\\red200\\green0\\blue0;\\red0\\green90\\blue0;}\r\n\\f0\\fs17 ";
    for (int paragraph = 1; rtf.size() < bytes; ++paragraph) {
        rtf +=
            "\\pard Quest " + QByteArray::number(paragraph) +
            ": talk to {\\b the Duke of Lumbridge}, "
            "then fetch {\\i three eggs} and {\\cf1 a pot of flour} from the mill. Caf\\'e9 stop; "
            "{\\f1\\fs24 the miller} says the {\\cf2\\ul wheat field} lies north. \\u8364? 25 paid.\\par\r\n";
    }
    return rtf + "}";
}

// A note of one table of `rows` rows as a word processor writes one: row words with each cell's borders and
// edge, the cells' text in a few fonts and styles, every fiftieth row with a shaded cell across two columns.
QByteArray tableNote(int rows) {
    static const char* const items[] = {"sword", "shield", "potion", "helm",
                                        "ring",  "amulet", "bow",    "staff"};
    static const char* const bosses[] = {"Dragon", "Lich", "Golem", "Hydra", "Wraith", "Troll", "Kraken"};
    const QByteArray border = "\\brdrs\\brdrw10";
    const QByteArray cell =
        "\\clbrdrt" + border + "\\clbrdrl" + border + "\\clbrdrb" + border + "\\clbrdrr" + border;
    QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Tahoma;}{\\f1\\fmodern Courier "
        "New;}}{\\colortbl;\\red192\\green0\\blue0;\\red255\\green255\\blue192;}\r\n"
        "\\pard\\f0\\fs17 Drop table\\par\r\n";
    for (int r = 0; r < rows; ++r) {
        const bool merged = r % 50 == 1;
        rtf += "\\trowd\\trgaph108\\trleft0";
        if (r == 0)
            rtf += "\\trhdr";
        if (merged)
            rtf += cell + "\\cellx1800" + cell + "\\clcbpat2\\cellx6300" + cell + "\\cellx7200\r\n";
        else
            rtf +=
                cell + "\\cellx1800" + cell + "\\cellx4200" + cell + "\\cellx6300" + cell + "\\cellx7200\r\n";
        QList<QByteArray> cells{"{\\b " + QByteArray(bosses[r % 7]) + ' ' + QByteArray::number(r) + '}',
                                "{\\i " + QByteArray(items[r % 8]) + '}'};
        if (!merged)
            cells.append("{\\cf1 " + QByteArray::number(r * 37 % 9999 + 1) + " gold}");
        cells.append("{\\f1 " + QByteArray::number(r * 13 % 100 + 1) + "%}");
        for (const QByteArray& text : cells)
            rtf += "\\pard\\intbl\\f0\\fs17 " + text + "\\cell\r\n";
        rtf += "\\row\r\n";
    }
    return rtf + "\\pard\\f0\\fs17 End of the table\\par}\r\n";
}

qint64 threadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Wall-clock and processor time of one measured step.
class Stopwatch final {
public:
    Stopwatch()
        : m_cpu(threadCpuNs()) {
        m_wall.start();
    }
    qint64 wallNs() const { return m_wall.nsecsElapsed(); }
    qint64 cpuNs() const { return threadCpuNs() - m_cpu; }

private:
    QElapsedTimer m_wall;
    qint64 m_cpu;
};

class Figures final {
public:
    void add(const Stopwatch& watch) {
        m_wall.push_back(double(watch.wallNs()) / 1e6);
        m_cpu.push_back(double(watch.cpuNs()) / 1e6);
    }
    void print(const char* what) {
        print(what, "wall", m_wall);
        print(what, "cpu", m_cpu);
    }

private:
    static void print(const char* what, const char* kind, std::vector<double>& ms) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-50s %-4s min %8.3f  median %8.3f  max %8.3f ms  (%zu runs)\n", what, kind, ms.front(),
                    ms[ms.size() / 2], ms.back(), ms.size());
    }

    std::vector<double> m_wall;
    std::vector<double> m_cpu;
};

void setFolderTime(const QString& folder, qint64 secondsAgo) {
    struct timespec times[2] = {};
    clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= secondsAgo;
    times[1] = times[0];
    utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), times, 0);
}

// A program folder whose notes folder holds the given notes, and the notepad shown over it.
struct NotepadOver {
    explicit NotepadOver(const QList<std::pair<QString, QByteArray>>& notes) {
        QDir(programFolder.path()).mkdir(u"notes"_s);
        for (const auto& [name, bytes] : notes) {
            QFile file(programFolder.path() + u"/notes/"_s + name);
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
        }
        window = program.windows.show<frmNotepad>();
        if (!QTest::qWaitForWindowExposed(window))
            std::printf("the window did not show\n");
    }
    QTemporaryDir programFolder;
    RealHost host{programFolder.path()};
    Program program{host.host()};
    frmNotepad* window = nullptr;
};

void openingABigNote() {
    const QByteArray note = bigNote(1024 * 1024);
    NotepadOver notepad({{u"big1.rtf"_s, note}, {u"big2.rtf"_s, note}});
    frmNotepad* window = notepad.window;

    Figures figures;
    for (int run = 0; run < 12; ++run) {
        control<QListWidget>(window, "fileList")->setCurrentRow(run % 2);
        const Stopwatch watch;
        handle(window, "fileList_DblClick");
        // Painted and flushed to the window before repaint() returns.
        control<RichTextBox>(window, "rtfNotepad")->viewport()->repaint();
        figures.add(watch);
        QCoreApplication::processEvents();
    }
    std::printf("note of %lld bytes, %d paragraphs\n", qlonglong(note.size()),
                control<RichTextBox>(window, "rtfNotepad")->document()->blockCount());
    figures.print("open a 1 MB note until painted");
}

void openingAndSavingATableNote() {
    const QByteArray note = tableNote(20'000);
    NotepadOver notepad({{u"table1.rtf"_s, note}, {u"table2.rtf"_s, note}});
    frmNotepad* window = notepad.window;

    Figures opened;
    Figures saved;
    for (int run = 0; run < 3; ++run) {
        control<QListWidget>(window, "fileList")->setCurrentRow(run % 2);
        const Stopwatch open;
        handle(window, "fileList_DblClick");
        control<RichTextBox>(window, "rtfNotepad")->viewport()->repaint();
        opened.add(open);
        QCoreApplication::processEvents();
        const Stopwatch save;
        handle(window, "mnuSave_Click");
        saved.add(save);
        QCoreApplication::processEvents();
    }
    QTextDocument again;
    QFile file(control<RichTextBox>(window, "rtfNotepad")->fileName());
    file.open(QIODevice::ReadOnly);
    rtf::read(file.readAll(), again);
    std::printf(
        "note of %lld bytes, %d tables, %d paragraphs; saved as %lld bytes, %d paragraphs\n",
        qlonglong(note.size()),
        int(control<RichTextBox>(window, "rtfNotepad")->document()->rootFrame()->childFrames().size()),
        control<RichTextBox>(window, "rtfNotepad")->document()->blockCount(), qlonglong(file.size()),
        again.blockCount());
    opened.print("open a note of 20,000 table rows until painted");
    saved.print("save a note of 20,000 table rows");
}

// After the 20,000-row note is painted, the rest of it is laid out in the background: how long the window is
// held up at most between two turns of its event loop (a timer asks every millisecond), and how long until
// the whole note is laid out.
void layingOutATableNote() {
    NotepadOver notepad({{u"table.rtf"_s, tableNote(20'000)}});
    frmNotepad* window = notepad.window;
    control<QListWidget>(window, "fileList")->setCurrentRow(0);
    handle(window, "fileList_DblClick");
    control<RichTextBox>(window, "rtfNotepad")->viewport()->repaint();

    QTextDocument* doc = control<RichTextBox>(window, "rtfNotepad")->document();
    const QTextBlock last = doc->lastBlock();
    QElapsedTimer total;
    total.start();
    QElapsedTimer sinceTurn;
    sinceTurn.start();
    std::vector<double> holdUps;
    QTimer ticker;
    QEventLoop loop;
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        holdUps.push_back(double(sinceTurn.nsecsElapsed()) / 1e6);
        sinceTurn.restart();
        if (last.layout()->lineCount() > 0 || total.elapsed() > 120'000)
            loop.quit();
    });
    ticker.start(1);
    loop.exec();
    std::sort(holdUps.begin(), holdUps.end());
    std::printf(
        "%-50s wall %.0f ms until laid out; longest hold-up %.1f ms, 10th longest %.1f ms (%zu turns)\n",
        "lay out the rest of a 20,000-row note", double(total.elapsed()), holdUps.back(),
        holdUps.size() >= 10 ? holdUps[holdUps.size() - 10] : 0.0, holdUps.size());
}

void ticksOverManyFiles() {
    QTemporaryDir programFolder;
    QDir(programFolder.path()).mkdir(u"notes"_s);
    const QString notes = programFolder.path() + u"/notes"_s;
    for (int i = 0; i < 10000; ++i) {
        QFile file(notes + u"/note%1.rtf"_s.arg(i));
        file.open(QIODevice::WriteOnly);
    }
    // A folder last changed a while ago, as between the user's own changes.
    setFolderTime(notes, 60);

    RealHost host(programFolder.path());
    Program program(host.host());
    frmNotepad* window = program.windows.show<frmNotepad>();
    if (!QTest::qWaitForWindowExposed(window))
        std::printf("the window did not show\n");
    control<QListWidget>(window, "fileList")->setCurrentRow(5000);

    Figures unchanged;
    for (int run = 0; run < 1000; ++run) {
        const Stopwatch watch;
        handle(window, "tmrNotes_Timer");
        unchanged.add(watch);
    }
    unchanged.print("tick, 10,000 files, nothing changed");

    // Just changed: the folder's time cannot be trusted yet, so it is read and compared.
    setFolderTime(notes, 0);
    Figures recent;
    for (int run = 0; run < 20; ++run) {
        const Stopwatch watch;
        handle(window, "tmrNotes_Timer");
        recent.add(watch);
    }
    recent.print("tick, 10,000 files, read again, names unchanged");

    Figures added;
    for (int run = 0; run < 20; ++run) {
        QFile file(notes + u"/added%1.rtf"_s.arg(run));
        file.open(QIODevice::WriteOnly);
        file.close();
        const Stopwatch watch;
        handle(window, "tmrNotes_Timer");
        added.add(watch);
    }
    added.print("tick, 10,000 files, one file added");
    std::printf("list rows: %d\n", control<QListWidget>(window, "fileList")->count());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Mossport"_s);
    QApplication::setQuitOnLastWindowClosed(false);
    look::registerTahoma();
    // "table" runs only the table note's figures.
    const bool tableOnly = argc > 1 && qstrcmp(argv[1], "table") == 0;
    if (!tableOnly)
        openingABigNote();
    openingAndSavingATableNote();
    layingOutATableNote();
    if (!tableOnly)
        ticksOverManyFiles();
    return 0;
}
