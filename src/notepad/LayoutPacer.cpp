#include "notepad/LayoutPacer.h"

#include <QAbstractEventDispatcher>
#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTimerEvent>

namespace {

// The first block at or after `position` that lies in the document's top level, not in a table or another
// frame; invalid past the end.
QTextBlock topLevelBlockFrom(const QTextDocument& doc, int position) {
    QTextBlock block = doc.findBlock(position);
    const QTextFrame* root = doc.rootFrame();
    while (block.isValid()) {
        QTextFrame* frame = doc.frameAt(block.position());
        if (!frame || frame == root)
            return block;
        while (frame->parentFrame() && frame->parentFrame() != root)
            frame = frame->parentFrame();
        block = doc.findBlock(frame->lastPosition() + 1);
    }
    return block;
}

// Whether the timer is the layout's stepping timer, which repeats at an interval; its other timer, which
// reports the document's new size, fires once at the next turn of the event loop.
bool isSteppingTimer(QObject* layout, int timerId) {
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(layout->thread());
    if (!dispatcher)
        return false;
    for (const QAbstractEventDispatcher::TimerInfo& timer : dispatcher->registeredTimers(layout)) {
        if (timer.timerId == timerId)
            return timer.interval > 0;
    }
    return false;
}

} // namespace

LayoutPacer::LayoutPacer(std::chrono::milliseconds slice, QObject* parent)
    : QObject(parent)
    , m_slice(slice) {
}

void LayoutPacer::watch(QTextDocument* doc) {
    if (m_doc && m_doc->documentLayout())
        m_doc->documentLayout()->removeEventFilter(this);
    disconnect(m_restart);
    m_doc = doc;
    m_laidOut = 0;
    if (!doc)
        return;
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    layout->installEventFilter(this);
    // A change may lay the document out again from its start (a new width does); the pacer then goes over
    // it from the start too, which costs nothing where it is still laid out.
    m_restart = connect(layout, &QAbstractTextDocumentLayout::update, this, [this] { m_laidOut = 0; });
}

bool LayoutPacer::step() {
    if (!m_doc)
        return false;
    QAbstractTextDocumentLayout* layout = m_doc->documentLayout();
    QElapsedTimer clock;
    clock.start();
    do {
        const QTextBlock block = topLevelBlockFrom(*m_doc, m_laidOut);
        if (!block.isValid())
            return false;
        // Asking where a block lies has the layout lay the document out up to it, and no further than its
        // own step, which stays as small as it was when the pacer took over.
        layout->blockBoundingRect(block);
        m_laidOut = block.position() + block.length();
    } while (clock.elapsed() < m_slice.count());
    return true;
}

bool LayoutPacer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Timer || !m_doc || watched != m_doc->documentLayout() ||
        !isSteppingTimer(watched, static_cast<QTimerEvent*>(event)->timerId()))
        return false;
    // Where the pacer finds nothing left to lay out, the layout's own step goes ahead, which ends the timer
    // once the layout is done.
    return step();
}
