// Opening a 1 MB note: from the RTF bytes to the note painted in a QTextEdit, the way the notepad opens one.
// The note must show within 150 ms (median of 7 openings).
//
//   xvfb-run -a build-rtf/bin/rtf_open_note_bench [NOTE.rtf]
//   QT_QPA_PLATFORM=offscreen build-rtf/bin/rtf_open_note_bench [NOTE.rtf]
//
// Without an argument the note is made here: a document with formatted Latin, Cyrillic, Chinese and Japanese
// text and links, saved with the notepad's own writer until it reaches 1 MB. Prints the median time to read
// the RTF into the document and to the first paint; exits with 1 when the first paint takes longer than
// 150 ms.

#include "rtf/Rtf.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kLimitMs = 150;
constexpr int kRuns = 7;

QByteArray makeNote(qsizetype size) {
    const QStringList words =
        u"quest dungeon guild raid potion sword shield caf\u00e9 na\u00efve "
        "\u043f\u0440\u0438\u0432\u0435\u0442 \u0437\u0430\u043c\u0435\u0442\u043a\u0430 "
        "\u043a\u0432\u0435\u0441\u0442 \u4e16\u754c\u548c\u5e73 \u3053\u3093\u306b\u3061\u306f "
        "\u6771\u4eac the of and to boss loot level"_s.split(u' ');
    QRandomGenerator rng(42);
    QTextDocument doc;
    QTextCursor cursor(&doc);
    QByteArray bytes;
    while (bytes.size() < size) {
        for (int paragraph = 0; paragraph < 200; ++paragraph) {
            cursor.insertBlock();
            const int runs = rng.bounded(1, 6);
            for (int r = 0; r < runs; ++r) {
                QTextCharFormat format;
                switch (rng.bounded(6)) {
                case 0:
                    format.setFontWeight(QFont::Bold);
                    break;
                case 1:
                    format.setFontItalic(true);
                    format.setForeground(Qt::darkRed);
                    break;
                case 2:
                    format.setAnchor(true);
                    format.setAnchorHref(u"https://example.org/%1"_s.arg(rng.bounded(1000)));
                    format.setFontUnderline(true);
                    break;
                default:
                    break;
                }
                QString text;
                for (int w = rng.bounded(3, 15); w > 0; --w)
                    text += words.at(rng.bounded(int(words.size()))) + u' ';
                cursor.insertText(text, format);
            }
        }
        bytes = rtf::write(doc);
    }
    return bytes;
}

class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

qint64 median(QList<qint64> values) {
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QByteArray note;
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "rtf_open_note_bench: cannot read %s\n", argv[1]);
            return 1;
        }
        note = file.readAll();
    } else {
        note = makeNote(1024 * 1024);
    }

    QTextEdit edit;
    edit.resize(640, 480);
    PaintCounter counter;
    edit.viewport()->installEventFilter(&counter);
    edit.show();
    QElapsedTimer wait;
    wait.start();
    while (counter.paints == 0 && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    QList<qint64> readTimes;
    QList<qint64> paintTimes;
    for (int run = 0; run < kRuns; ++run) {
        edit.clear();
        QCoreApplication::processEvents();
        const int paintsBefore = counter.paints;
        QElapsedTimer timer;
        timer.start();
        if (!rtf::read(note, *edit.document())) {
            std::fprintf(stderr, "rtf_open_note_bench: the note is not RTF\n");
            return 1;
        }
        readTimes.append(timer.elapsed());
        while (counter.paints == paintsBefore && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        paintTimes.append(timer.elapsed());
    }
    const qint64 shown = median(paintTimes);
    std::printf("note: %lld bytes, %d paragraphs, %d characters\n", qint64(note.size()),
                edit.document()->blockCount(), edit.document()->characterCount());
    std::printf("read into the document: %lld ms (median of %d)\n", median(readTimes), kRuns);
    std::printf("shown (first paint):    %lld ms (median of %d), limit %lld ms: %s\n", shown, kRuns, kLimitMs,
                shown <= kLimitMs ? "ok" : "TOO SLOW");
    return shown <= kLimitMs ? 0 : 1;
}
