// Groups the editor does not show (headers, footers, footnotes, endnotes, comments, text boxes): their text
// is read for the kept item's tooltip and the plain text's kept part, and their RTF is kept as it came, to be
// written back in the same place.

#include "Interpreter.h"

#include <optional>
#include <utility>

namespace rtf::detail {

namespace {

// Whether the group at `start` begins with the destination `word` ("{\\word" or "{\\*\\word").
bool startsWith(const char* start, const char* end, std::string_view word) {
    if (!start || start >= end || *start != '{')
        return false;
    std::string_view rest(start + 1, size_t(end - start - 1));
    if (rest.starts_with("\\*"))
        rest.remove_prefix(2);
    while (!rest.empty() && (rest.front() == '\r' || rest.front() == '\n'))
        rest.remove_prefix(1);
    if (!rest.starts_with('\\'))
        return false;
    rest.remove_prefix(1);
    if (!rest.starts_with(word))
        return false;
    rest.remove_prefix(word.size());
    return rest.empty() || !isLetter(rest.front());
}

} // namespace

// A group naming a comment's author, date or reference: in the body, it and those right after it are kept
// with the comment that follows them. The group itself shows nothing.
void Interpreter::annotationPart() {
    const char* start = m_destinationStartsGroup ? m_groupStart : nullptr;
    const bool inBody = top().target == Target::Main && start;
    skipGroup();
    if (!inBody)
        return;
    const GroupState& outer = top();
    const bool alone =
        m_states.size() > 2 && outer.mainEvents == m_text.bodyEvents() && outer.target == Target::Main;
    m_notes.commentPart(start, m_states.size(), m_text.bodyEvents(), alone ? outer.start : nullptr);
}

// A group that shows nothing but marks a place in the body (where a comment's text starts or ends): kept
// there, its text not read.
void Interpreter::keepAnchor(GroupState& s) {
    const bool inBody = s.target == Target::Main && m_destinationStartsGroup && s.start;
    s.target = Target::None;
    if (!inBody)
        return;
    beginKeeping(s);
}

// The body's text so far is given out, and the group `s` is kept whole from its opening brace when it ends.
void Interpreter::beginKeeping(GroupState& s) {
    // A lead byte waiting for its trail byte is the body's: the kept bytes, written on their own, begin
    // without it.
    m_text.flushPending();
    m_text.flushRun(Target::Main);
    s.onClose = OnClose::EndSide;
    s.kept.side = s.start;
    s.kept.markLength = 0;
}

// A text box's text: the outermost shape around it, started as a picture shape, is kept with the text
// instead, written back whole with its position and size. False when the shape is part of something kept
// otherwise (an object's result) or is not in the body.
bool Interpreter::keepShapeWithText(GroupState& text) {
    const char* end = m_tokens.position();
    size_t shape = 0;
    for (size_t i = m_states.size() - 1; i-- > 2;) {
        const GroupState& g = m_states[i];
        if (g.onClose == OnClose::EndPictureSet && !g.kept.word &&
            (startsWith(g.start, end, "shp") || startsWith(g.start, end, "shpgrp"))) {
            shape = i;
            continue;
        }
        if (g.onClose != OnClose::Nothing || !g.pictureSet)
            break;
    }
    if (shape == 0)
        return false;
    GroupState& g = m_states[shape];
    const GroupState& outer = m_states[shape - 1];
    if (outer.pictureSet || outer.target != Target::Main || g.mainEvents != m_text.bodyEvents())
        return false;
    // Nothing else of the shape is shown: a note or a picture after the box's text is part of the shape.
    beginKeeping(g);
    m_notes.forgetMark();
    text.kept.group = nullptr;
    text.pictureSet = false;
    return true;
}

// Starts keeping the group `s` begins, or the text box around it; false when there is nothing to keep it in
// (a side group outside the body).
bool Interpreter::startKept(GroupState& s) {
    const char* end = m_tokens.position();
    if (startsWith(s.start, end, "shptxt") && keepShapeWithText(s))
        return true;
    if (s.kept.group)
        return false; // inside a picture, a shape or an object: kept with it
    if (s.target != Target::Main)
        return false;
    beginKeeping(s);
    // Text before the word in its group is the body's, shown already: the group is kept from the word on.
    const char* from = s.start;
    if (s.mainEvents != m_text.bodyEvents() && m_wordStart > s.start) {
        s.kept.side = from = m_wordStart;
        s.kept.fromWord = true;
        s.kept.chr = s.chr;
        s.kept.uc = s.uc;
        s.mainEvents = m_text.bodyEvents();
    }
    m_notes.claim(s.kept, from, s.start && startsWith(s.start, end, "annotation"), m_states.size(),
                  m_text.bodyEvents());
    return true;
}

void Interpreter::endSideText(const GroupState& closing, bool atEnd) {
    KeptGroup group;
    group.text = m_text.takeSideText(closing.para);
    // Something of it was shown (a text box's shape with text beside the box): keeping it would show it
    // twice.
    if (!closing.kept.side || closing.mainEvents != m_text.bodyEvents())
        return;
    const char* end = m_tokens.position();
    const std::optional<QByteArray> rtf = m_kept.side(closing.kept, end, atEnd);
    if (!rtf)
        return;
    group.rtf = *rtf;
    group.markLength = closing.kept.markLength;
    const GroupState& outer = m_states.back();
    group.unicodeSkip = closing.kept.fromWord ? closing.kept.uc : outer.uc;
    CharProps props = closing.kept.fromWord ? closing.kept.chr : outer.chr;
    // Its bytes begin in the default font where no font is set; a symbol font there made them glyphs, and
    // the writer is to put them in that font again.
    if (props.font < 0 && m_tables.defaultFont >= 0 && m_text.fontCodePage(m_tables.defaultFont) < 0)
        props.font = m_tables.defaultFont;
    m_text.kept(group, props, outer);
}

} // namespace rtf::detail
