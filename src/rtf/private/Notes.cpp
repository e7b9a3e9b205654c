#include "Notes.h"

#include <utility>

namespace rtf::detail {

namespace {

bool onlyBlanks(const char* begin, const char* end) {
    for (const char* p = begin; p < end; ++p) {
        if (*p != ' ' && *p != '\r' && *p != '\n' && *p != '\t')
            return false;
    }
    return true;
}

} // namespace

void Notes::markShown(const char* group, const char* word, const char* wordEnd, int length, qint64 events) {
    m_mark = Mark::Open;
    m_markStart = group;
    m_markEvents = events;
    m_markWord = word;
    m_markWordEnd = wordEnd;
    m_markLength = length;
}

void Notes::groupClosed(const char* start, const char* end, size_t depth) {
    if (m_mark == Mark::Open && m_markStart && start == m_markStart) {
        m_mark = Mark::Closed;
        m_markEnd = end;
    }
    if (m_comment.start && depth < m_comment.depth) {
        // The group around a comment's author and date has ended: the comment may follow it, if it held
        // nothing else.
        if (start == m_comment.outer && !m_comment.outerClosed) {
            m_comment.outerClosed = true;
            --m_comment.depth;
        } else {
            m_comment = CommentPrefix{};
        }
    }
}

void Notes::commentPart(const char* start, size_t depth, qint64 events, const char* outer) {
    const bool continues =
        m_comment.start && m_comment.events == events && m_comment.depth == depth && !m_comment.outerClosed;
    if (continues)
        return;
    m_comment = CommentPrefix{};
    m_comment.start = start;
    m_comment.depth = depth;
    m_comment.events = events;
    m_comment.outer = outer;
}

void Notes::claim(KeptStart& kept, const char* from, bool comment, size_t depth, qint64 events) {
    const CommentPrefix prefix = std::exchange(m_comment, CommentPrefix{});
    if (prefix.start && prefix.events == events && comment) {
        // A comment keeps the groups before it that name its author and date, or the group that holds them.
        if (prefix.depth + 1 == depth) {
            kept.side = prefix.outerClosed ? prefix.outer : prefix.start;
            return;
        }
    }
    // A note right after its mark's group owns the mark: deleting the mark deletes the note.
    if (m_mark == Mark::Closed && events == m_markEvents && from && m_markEnd <= from &&
        onlyBlanks(m_markEnd, from)) {
        kept.side = m_markStart;
        kept.markLength = m_markLength;
    } else if (m_mark == Mark::Open && events == m_markEvents && from && m_markWordEnd <= from &&
               onlyBlanks(m_markWordEnd, from)) {
        kept.side = m_markWord;
        kept.markLength = m_markLength;
    }
    m_mark = Mark::None;
}

} // namespace rtf::detail
