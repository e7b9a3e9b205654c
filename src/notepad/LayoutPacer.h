#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>

class QTextDocument;

// Lays a document out in the background a slice of bounded time at a time. The text edit lays out at once
// what is on the screen and the rest on a timer, in steps that double in size up to some 200,000
// characters; in a note of long tables such a step holds the window up for seconds. Watching the document's
// layout, the pacer takes that timer's events over: each lays the document out up to the next paragraphs
// and tables of its top level until the slice's time is spent, and hands the window back in between.
class LayoutPacer : public QObject {
    Q_OBJECT
public:
    // `slice`: the longest a slice goes on laying out once it has laid out one piece. A piece is the first
    // table or paragraph not yet laid out, with what the layout takes with it: for the notepad's long tables,
    // which it reads as tables of some dozens of rows, some 2000 pixels of rows, a few tens of milliseconds.
    explicit LayoutPacer(std::chrono::milliseconds slice, QObject* parent = nullptr);

    // Paces the layout of `doc` from now on (and of no document it paced before).
    void watch(QTextDocument* doc);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Lays out one slice; false once the document is laid out whole.
    bool step();

    std::chrono::milliseconds m_slice;
    QPointer<QTextDocument> m_doc;
    int m_laidOut = 0; // the document is laid out up to this position, as far as the pacer knows
    QMetaObject::Connection m_restart;
};
