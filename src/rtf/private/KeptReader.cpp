// Groups the editor does not show (headers, footers, footnotes, endnotes, comments, text boxes): their text
// is read for the kept item's tooltip and the plain text's kept part, and their RTF is kept as it came, to be
// written back in the same place.

#include "Interpreter.h"

#include <optional>
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

// A group cut off by the end of the file, closed: nullopt when its end cannot be told (inside \bin data).
std::optional<QByteArray> closed(QByteArray rtf) {
    Tokenizer tokens(rtf.constData(), rtf.constData() + rtf.size());
    int depth = 0;
    for (Token t = tokens.next(); t.kind != Token::Kind::End; t = tokens.next()) {
        if (t.kind == Token::Kind::GroupOpen)
            ++depth;
        else if (t.kind == Token::Kind::GroupClose)
            --depth;
        else if (t.kind == Token::Kind::Binary || (t.kind == Token::Kind::ControlWord && t.text == "bin"))
            return std::nullopt;
    }
    // A control word cut off at the end would take the brace as its delimiter: a space ends it first. A
    // lone backslash would escape the brace, and goes.
    qsizetype i = rtf.size();
    while (i > 0 && ((rtf.at(i - 1) >= '0' && rtf.at(i - 1) <= '9') || rtf.at(i - 1) == '-'))
        --i;
    const qsizetype letters = i;
    while (i > 0 &&
           ((rtf.at(i - 1) >= 'a' && rtf.at(i - 1) <= 'z') || (rtf.at(i - 1) >= 'A' && rtf.at(i - 1) <= 'Z')))
        --i;
    qsizetype backslashes = 0;
    while (i - backslashes > 0 && rtf.at(i - backslashes - 1) == '\\')
        ++backslashes;
    if (backslashes % 2 == 1) {
        if (i == letters && i == rtf.size())
            rtf.chop(1);
        else if (i < letters)
            rtf.append(' ');
    }
    rtf.append(QByteArray(std::max(depth, 0), '}'));
    return rtf;
}

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
    return rest.empty() ||
           !((rest.front() >= 'a' && rest.front() <= 'z') || (rest.front() >= 'A' && rest.front() <= 'Z'));
}

} // namespace

// Whether the shape whose word was just read holds a text box: then the shape is kept with the box's text.
bool Interpreter::startsShapeWithText() const {
    Tokenizer probe = m_tokens;
    for (int depth = 1; depth > 0;) {
        const Token token = probe.next();
        if (token.kind == Token::Kind::End)
            break;
        if (token.kind == Token::Kind::GroupOpen)
            ++depth;
        else if (token.kind == Token::Kind::GroupClose)
            --depth;
        else if (token.kind == Token::Kind::ControlWord && token.text == "shptxt")
            return true;
    }
    return false;
}

// A group naming a comment's author, date or reference: in the body, it and those right after it are kept
// with the comment that follows them. The group itself shows nothing.
void Interpreter::annotationPart() {
    const char* start = m_destinationStartsGroup ? m_groupStart : nullptr;
    const bool inBody = top().target == Target::Main && start;
    skipGroup();
    if (!inBody)
        return;
    const bool continues = m_annotation.start && m_annotation.mainEvents == m_mainEvents &&
                           m_annotation.depth == m_states.size() && !m_annotation.outerClosed;
    if (continues)
        return;
    m_annotation = AnnotationPrefix{};
    m_annotation.start = start;
    m_annotation.depth = m_states.size();
    m_annotation.mainEvents = m_mainEvents;
    const GroupState& outer = top();
    if (m_states.size() > 2 && outer.mainEvents == m_mainEvents && outer.target == Target::Main)
        m_annotation.outer = outer.start;
}

// Starts keeping the group `s` begins, or the text box around it; false when there is nothing to keep it in
// (a side group outside the body).
bool Interpreter::startKept(GroupState& s) {
    const char* end = m_tokens.position();
    if (startsWith(s.start, end, "shptxt")) {
        // A text box's text: the whole shape is kept, written back with its position and size.
        for (size_t i = m_states.size() - 1; i-- > 1;) {
            GroupState& shape = m_states[i];
            if (shape.target != Target::Main || shape.onClose != OnClose::Nothing)
                continue;
            // A shape that has shown something already cannot be kept whole without showing it twice.
            if (shape.mainEvents != m_mainEvents)
                break;
            if (startsWith(shape.start, end, "shp")) {
                resolveSurrogate();
                if (m_runTarget == Target::Main)
                    flushRun();
                shape.onClose = OnClose::EndSide;
                shape.sideStart = shape.start;
                shape.markLength = 0;
                m_mark = Mark::None;
                return true;
            }
        }
    }
    if (s.target != Target::Main)
        return false;
    resolveSurrogate();
    if (m_runTarget == Target::Main)
        flushRun();
    s.onClose = OnClose::EndSide;
    s.sideStart = s.start;
    s.markLength = 0;
    const AnnotationPrefix prefix = std::exchange(m_annotation, AnnotationPrefix{});
    if (prefix.start && prefix.mainEvents == m_mainEvents && s.start &&
        startsWith(s.start, end, "annotation")) {
        // A comment keeps the groups before it that name its author and date, or the group that holds them.
        if (prefix.depth + 1 == m_states.size()) {
            s.sideStart = prefix.outerClosed ? prefix.outer : prefix.start;
            return true;
        }
    }
    // A note right after its mark's group owns the mark: deleting the mark deletes the note.
    if (m_mark == Mark::Closed && m_mainEvents == m_markEvents && s.start && m_markEnd <= s.start &&
        onlyBlanks(m_markEnd, s.start)) {
        s.sideStart = m_markStart;
        s.markLength = m_markLength;
    } else if (m_mark == Mark::Open && m_mainEvents == m_markEvents && s.start && m_markWordEnd <= s.start &&
               onlyBlanks(m_markWordEnd, s.start)) {
        s.sideStart = m_markWord;
        s.markLength = m_markLength;
    }
    m_mark = Mark::None;
    return true;
}

void Interpreter::endSideText(const GroupState& closing, bool atEnd) {
    if (m_runTarget == Target::Side) {
        resolveSurrogate();
        flushRun();
    }
    if (m_sideHasContent) {
        m_side.endParagraph(closing.para);
        m_sideHasContent = false;
    }
    KeptGroup group;
    group.text = withValidSurrogates(m_side.takeText());
    // Something of it was shown (a text box's shape with text beside the box): keeping it would show it
    // twice.
    if (!closing.sideStart || closing.mainEvents != m_mainEvents)
        return;
    const char* end = m_tokens.position();
    std::optional<QByteArray> rtf = QByteArray(closing.sideStart, end - closing.sideStart);
    if (atEnd)
        rtf = closed(*rtf);
    if (!rtf)
        return;
    group.rtf = *rtf;
    group.markLength = closing.markLength;
    const GroupState& outer = m_states.back();
    m_sink.kept(group, outer.chr);
    ++m_mainEvents;
    m_mainHasContent = true;
    m_lastMainPara = outer.para;
}

} // namespace rtf::detail
