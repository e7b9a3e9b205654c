#pragma once

// What ties notes and comments to the body: a footnote's mark (\chftn) before its note, which the note owns
// so that deleting the mark deletes the note, and the groups that name a comment's author and date before the
// comment's own group, which are kept with it. Positions are in the source bytes; `events` is the count of
// what the body has shown so far (TextOutput::bodyEvents()), which tells whether anything came between.

#include "GroupState.h"

#include <QString>

#include <algorithm>

namespace rtf::detail {

class Notes {
public:
    // A note or endnote of the body begins.
    void noteStarted() { ++m_notes; }
    // The number a footnote mark shows: in the body, the next note's; in a note, its own. It counts notes,
    // not marks, so that a mark without a note, which stays as its number only, changes no other.
    QString markNumber(bool inBody) const {
        return QString::number(inBody ? m_notes + 1 : std::max(m_notes, 1));
    }
    // A mark of `length` characters was shown in the body by the word from `word` to `wordEnd`, in the group
    // at `group` when that group shows nothing else (null otherwise).
    void markShown(const char* group, const char* word, const char* wordEnd, int length, qint64 events);
    // The group at `start` ended at `end`, leaving `depth` groups open.
    void groupClosed(const char* start, const char* end, size_t depth);
    // Body text came (or the body's paragraph ended): a mark's group that has ended owns no note after it.
    void bodyText(bool paragraphEnd) {
        if (paragraphEnd || m_mark == Mark::Closed)
            m_mark = Mark::None;
    }
    void forgetMark() { m_mark = Mark::None; }
    // A group in the body at `start`, with `depth` groups open, names a comment's author, date or reference.
    // `outer` is the group around it when that holds nothing else.
    void commentPart(const char* start, size_t depth, qint64 events, const char* outer);
    // A note or comment (`comment`) kept from `from`, with `depth` groups open, begins: `kept` starts at its
    // mark or at the groups before it that name the comment's author, when those are its own.
    void claim(KeptStart& kept, const char* from, bool comment, size_t depth, qint64 events);

private:
    enum class Mark : quint8 { None, Open, Closed };
    Mark m_mark = Mark::None;
    const char* m_markStart = nullptr;
    const char* m_markEnd = nullptr;
    const char* m_markWord = nullptr; // the \chftn itself, for a note right after it in the same group
    const char* m_markWordEnd = nullptr;
    qint64 m_markEvents = 0; // the body's events after the mark: it has shown nothing since when equal
    int m_markLength = 0;
    int m_notes = 0; // the footnotes and endnotes of the body so far

    // The groups that name a comment's author and date, before the comment's own group.
    struct CommentPrefix {
        const char* start = nullptr; // the first one's "{"; null when none is waiting for its comment
        size_t depth = 0;            // the size of the group stack around them
        qint64 events = 0;           // the body has shown nothing since when equal
        // The group around them, when it holds nothing else; once it has ended, the comment's group may
        // follow it.
        const char* outer = nullptr;
        bool outerClosed = false;
    };
    CommentPrefix m_comment;
};

} // namespace rtf::detail
