#include "Interpreter.h"

#include <algorithm>
#include <utility>

namespace rtf::detail {

size_t qHash(const CharProps& p, size_t seed) {
    return qHashMulti(seed, p.font, p.size, p.foreground, p.background, p.link, p.field, p.bold, p.italic,
                      p.strike, int(p.underline), int(p.vertical), int(p.caps));
}

QString withValidSurrogates(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar(0xFFFD);
    }
    return text;
}

namespace {

int clampLength(int twips) {
    return std::clamp(twips, -kMaxLength, kMaxLength);
}

} // namespace

Interpreter::Interpreter(const QByteArray& bytes, Sink& sink, Tables& tables)
    : m_tokens(bytes.constData(), bytes.constData() + bytes.size())
    , m_tables(tables)
    , m_text(*this, sink, tables, m_states) {
    m_states.reserve(kMaxDepth + 2);
    m_states.emplace_back();
    m_tables.colors.clear();
}

void Interpreter::run() {
    m_tokens.skipToFirstGroup();
    for (;;) {
        const Token token = m_tokens.next();
        switch (token.kind) {
        case Token::Kind::End:
            finish();
            return;
        case Token::Kind::GroupOpen:
            pushGroup();
            break;
        case Token::Kind::GroupClose:
            m_groupJustOpened = false;
            if (!closeGroup()) {
                finish();
                return;
            }
            break;
        case Token::Kind::ControlWord:
            controlWord(token);
            break;
        case Token::Kind::ControlSymbol:
            controlSymbol(uchar(token.value));
            break;
        case Token::Kind::HexByte:
            hexByte(token.value);
            break;
        case Token::Kind::Binary:
            binary(token.text);
            break;
        case Token::Kind::Text:
            text(token.text);
            break;
        case Token::Kind::Byte:
            byte(uchar(token.value));
            break;
        }
    }
}

void Interpreter::pushGroup() {
    m_skip = 0;
    m_groupJustOpened = true;
    m_star = false;
    m_groupStart = m_tokens.position() - 1;
    if (m_states.size() > kMaxDepth || m_overflow > 0) {
        ++m_overflow;
        return;
    }
    GroupState next = m_states.back();
    next.onClose = OnClose::Nothing;
    next.kept.fromWord = false;
    next.start = m_tokens.position() - 1;
    next.mainEvents = m_text.bodyEvents();
    m_states.push_back(next);
}

// Ends the current group: what its destination holds goes where it belongs (OnClose), and the group's state
// is left. `atEnd`: the file ended inside the group.
void Interpreter::popGroup(bool atEnd) {
    // A lead byte without its trail byte belongs to the group it was read in, which may be kept.
    m_text.flushPending();
    const GroupState closing = m_states.back();
    m_states.pop_back();
    m_notes.groupClosed(closing.start, m_tokens.position(), m_states.size());
    switch (closing.onClose) {
    case OnClose::Nothing:
        break;
    case OnClose::EndSide:
        endSideText(closing, atEnd);
        break;
    case OnClose::EndFieldInstruction:
        if (closing.instField >= 0 && size_t(closing.instField) < m_fields.size() && closing.start) {
            m_fieldGroups.resize(m_fields.size());
            const qsizetype length = m_tokens.position() - closing.start;
            // A field whose instruction is too long to keep is shown by its result alone.
            m_fieldGroups[size_t(closing.instField)] =
                length <= kMaxInstructionLength && !atEnd ? m_kept.capture(closing.start, m_tokens.position())
                                                          : QByteArray();
        }
        break;
    case OnClose::EndPicture:
        if (!atEnd)
            finishPicture(closing, m_states.back());
        break;
    case OnClose::EndShapePicture:
    case OnClose::EndPictureSet:
        if (!atEnd)
            finishPictureSet(closing, m_states.back());
        break;
    case OnClose::EndField:
        if (closing.field >= 0 && size_t(closing.field) < m_fields.size()) {
            m_fields.resize(size_t(closing.field));
            if (m_fieldGroups.size() > m_fields.size())
                m_fieldGroups.resize(m_fields.size());
            if (m_fieldInstructed.size() > m_fields.size())
                m_fieldInstructed.resize(m_fields.size());
            if (m_fieldShownAs.size() > m_fields.size())
                m_fieldShownAs.resize(m_fields.size());
        }
        break;
    case OnClose::EndFontTable:
        m_text.endFontTable();
        break;
    }
    if (closing.target == Target::FontName && closing.onClose != OnClose::EndFontTable)
        m_text.commitFontName(); // the end of one font's group
}

// Returns false when the group that closed was the document's outermost one.
bool Interpreter::closeGroup() {
    m_skip = 0;
    if (m_overflow > 0) {
        --m_overflow;
        return true;
    }
    if (m_states.size() <= 1)
        return false;
    popGroup(false);
    return m_states.size() > 1;
}

// Skips the rest of the current group, nested groups and \binN data included, without interpreting it. The
// group then ends as if it were closed, so that one that keeps its RTF (a destination word in the middle of
// a note, say) is kept; only a font's name goes on after a skipped group inside it.
void Interpreter::skipGroup() {
    int depth = 1;
    bool atEnd = false;
    for (;;) {
        const Token token = m_tokens.next();
        if (token.kind == Token::Kind::End) {
            atEnd = true;
            break;
        }
        if (token.kind == Token::Kind::GroupOpen)
            ++depth;
        else if (token.kind == Token::Kind::GroupClose && --depth == 0)
            break;
    }
    m_skip = 0;
    if (m_overflow > 0)
        --m_overflow;
    else if (m_states.size() > 2 && top().target == Target::FontName && top().onClose == OnClose::Nothing)
        m_states.pop_back();
    else if (m_states.size() > 2)
        popGroup(atEnd);
}

void Interpreter::controlWord(const Token& token) {
    const bool star = std::exchange(m_star, false);
    const bool groupStart = std::exchange(m_groupJustOpened, false);
    // The fallback of \uN is text and \'hh; a control word ends it, so that none is lost.
    m_skip = 0;
    m_wordStart = token.text.data() - 1;
    const ControlWord* word = findControlWord(token.text);
    if (!word) {
        if (star && groupStart)
            skipGroup();
        return;
    }
    switch (word->kind) {
    case WordKind::Destination:
        // A destination belongs to a group inside the document; past the nesting limit there is no group
        // state to give it, so it is skipped.
        if (m_states.size() <= 2)
            return;
        if (word->op == Op::SkipGroup || m_overflow > 0) {
            skipGroup();
        } else {
            m_destinationStartsGroup = groupStart;
            destination(word->op);
        }
        break;
    case WordKind::Symbol:
        symbol(word->op, word->value);
        break;
    case WordKind::Flag:
        setProperty(word->op, word->value);
        break;
    case WordKind::Toggle:
        setProperty(word->op, !token.hasParam || token.value != 0 ? word->value : 0);
        break;
    case WordKind::Value:
        if (token.hasParam)
            setProperty(word->op, token.value);
        else if (word->value != ControlWord::kNeedsParam)
            setProperty(word->op, word->value);
        break;
    }
}

void Interpreter::controlSymbol(uchar c) {
    const bool groupStart = std::exchange(m_groupJustOpened, false);
    m_star = false;
    if (c == '*') {
        m_star = groupStart;
        m_groupJustOpened = groupStart;
        return;
    }
    m_skip = 0;
    switch (c) {
    case '\\':
    case '{':
    case '}':
        putUnit(c);
        break;
    case '~':
        putUnit(0x00A0);
        break;
    case '-':
        putUnit(0x00AD);
        break;
    case '_':
        putUnit(0x2011);
        break;
    case '\t':
        putUnit('\t');
        break;
    case '\r':
    case '\n':
        endParagraph();
        break;
    default: // \| \: and unknown symbols
        break;
    }
}

void Interpreter::hexByte(int value) {
    m_groupJustOpened = false;
    m_star = false;
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    if (value >= 0)
        m_text.putByte(uchar(value));
}

void Interpreter::binary(std::string_view data) {
    m_star = false;
    m_groupJustOpened = false;
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    if (top().target == Target::Picture && m_picture.wanted) {
        // A hexadecimal digit without its pair before binary data means nothing.
        m_picture.nibble = -1;
        m_picture.picture.data.append(data.data(), qsizetype(data.size()));
    }
}

void Interpreter::text(std::string_view text) {
    m_groupJustOpened = false;
    const uchar* start = reinterpret_cast<const uchar*>(text.data());
    qsizetype n = qsizetype(text.size());
    if (m_skip > 0) {
        const qsizetype skipped = std::min<qsizetype>(m_skip, n);
        m_skip -= int(skipped);
        start += skipped;
        n -= skipped;
    }
    if (n > 0)
        m_text.putAscii(start, n);
}

void Interpreter::byte(uchar c) {
    m_groupJustOpened = false;
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    if (c >= 0x80) {
        const bool trail = m_text.awaitsTrailByte();
        m_text.putByte(c);
        // In a double-byte code page the byte after a raw lead byte is its trail byte, even a brace or a
        // backslash, which older writers left unescaped.
        uchar next = 0;
        if (!trail && m_text.awaitsTrailByte() && m_tokens.takeStructuralByte(next)) {
            m_kept.structuralTrail(m_tokens.position() - 1);
            m_text.putByte(next);
        }
    } else if (c == '\t')
        putUnit('\t');
    // other control characters carry nothing
}

void Interpreter::symbol(Op op, int character) {
    const Target target = top().target;
    switch (op) {
    case Op::Character:
        putUnit(char16_t(character));
        break;
    case Op::ParagraphEnd:
        endParagraph();
        break;
    case Op::CellEnd:
        endCell(character);
        break;
    case Op::SoftParagraphEnd:
        if (m_text.hasContent(target))
            endParagraph();
        break;
    case Op::RowEnd:
        endRow(character);
        break;
    case Op::FootnoteMark:
        if (target == Target::Main || target == Target::Side) {
            const qint64 before = m_text.bodyEvents();
            const QString number = m_notes.markNumber(target == Target::Main);
            for (const QChar c : number)
                putUnit(c.unicode());
            if (target == Target::Main) {
                // The mark's group stands for it only when it shows nothing else.
                m_notes.markShown(m_states.size() > 2 && top().mainEvents == before ? top().start : nullptr,
                                  m_wordStart, m_tokens.position(), int(number.size()), m_text.bodyEvents());
            }
        }
        break;
    default:
        break;
    }
}

void Interpreter::setProperty(Op op, int value) {
    GroupState& s = top();
    CharProps& chr = s.chr;
    ParaProps& para = s.para;
    switch (op) {
    case Op::Bold:
        chr.bold = value != 0;
        break;
    case Op::Italic:
        chr.italic = value != 0;
        break;
    case Op::Strike:
        chr.strike = value != 0;
        break;
    case Op::Underline:
        chr.underline = QTextCharFormat::UnderlineStyle(value);
        break;
    case Op::Vertical:
        chr.vertical = VerticalPosition(value);
        break;
    case Op::Caps:
        chr.caps = Capitals(value);
        break;
    case Op::Font:
        if (s.fontTable) {
            m_text.defineFont(value);
        } else {
            chr.font = value;
        }
        break;
    case Op::FontSize:
        chr.size = value > 0 ? std::min(value, 3276) : 0;
        break;
    case Op::Foreground:
        chr.foreground = std::clamp(value, 0, 0xFFFF);
        break;
    case Op::Background:
        chr.background = std::clamp(value, 0, 0xFFFF);
        break;
    case Op::PlainCharacter: {
        const int link = chr.link;
        chr = CharProps{};
        chr.link = link;
        break;
    }
    case Op::PlainParagraph:
        para = ParaProps{};
        break;
    case Op::Align:
        para.align = Alignment(value);
        break;
    case Op::LeftIndent:
        para.left = clampLength(value);
        break;
    case Op::RightIndent:
        para.right = clampLength(value);
        break;
    case Op::FirstIndent:
        para.firstLine = clampLength(value);
        break;
    case Op::SpaceBefore:
        para.before = std::clamp(value, 0, kMaxLength);
        break;
    case Op::SpaceAfter:
        para.after = std::clamp(value, 0, kMaxLength);
        break;
    case Op::ListOverride:
        // \ls counts from 1, but some writers count from 0: the paragraph keeps \ls + 1, 0 being no list.
        para.list = value >= 0 ? std::min(value, kMaxListOverride) + 1 : 0;
        break;
    case Op::ListLevel:
        para.level = std::clamp(value, 0, kListLevels - 1);
        break;
    case Op::UnicodeCharacter: {
        const int uc = s.uc;
        m_text.putUnicode(value < 0 ? value + 65536 : value);
        m_skip = uc;
        break;
    }
    case Op::UnicodeSkip:
        s.uc = std::clamp(value, 0, 16);
        break;
    case Op::CharsetCodePage:
    case Op::AnsiCodePage:
    case Op::DefaultFont:
    case Op::FontCharset:
    case Op::FontCodePage:
        m_text.codePageProperty(op, value, s.fontTable);
        break;
    default:
        destinationProperty(op, value);
        break;
    }
}

void Interpreter::destinationUnit(char16_t c) {
    const GroupState& s = top();
    switch (s.target) {
    case Target::ColorTable:
        if (c == u';')
            commitColor();
        break;
    case Target::FieldInst:
        if (s.instField >= 0 && size_t(s.instField) < m_fields.size() &&
            m_fields[size_t(s.instField)].size() < kMaxInstructionLength)
            m_fields[size_t(s.instField)].append(QChar(c));
        break;
    case Target::Title:
        if (m_tables.title.size() < kMaxTitleLength)
            m_tables.title.append(QChar(c));
        break;
    case Target::ListText:
        if (m_listText.size() < kMaxTitleLength)
            m_listText.append(QChar(c));
        break;
    case Target::Picture:
        pictureHex(c);
        break;
    default:
        break;
    }
}

void Interpreter::bodyTextComes(bool paragraphEnd) {
    if (!m_listText.isEmpty())
        emitListText();
    m_notes.bodyText(paragraphEnd);
}

void Interpreter::finish() {
    while (m_states.size() > 1)
        popGroup(true);
    m_text.finish();
}

void parse(const QByteArray& bytes, Sink& sink, Tables& tables) {
    Interpreter interpreter(bytes, sink, tables);
    interpreter.run();
}

} // namespace rtf::detail
