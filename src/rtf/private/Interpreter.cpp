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
    , m_sink(sink)
    , m_tables(tables) {
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
            openGroup();
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

void Interpreter::openGroup() {
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
    next.sideFromWord = false;
    next.start = m_tokens.position() - 1;
    next.mainEvents = m_mainEvents;
    m_states.push_back(next);
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
        putByte(uchar(value));
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
        putAscii(start, n);
}

void Interpreter::byte(uchar c) {
    m_groupJustOpened = false;
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    if (c >= 0x80) {
        const bool trail = m_decoder.awaitsTrailByte();
        putByte(c);
        // In a double-byte code page the byte after a raw lead byte is its trail byte, even a brace or a
        // backslash, which older writers left unescaped.
        uchar next = 0;
        if (!trail && m_decoder.awaitsTrailByte() && m_tokens.takeStructuralByte(next)) {
            m_structuralTrails.push_back(m_tokens.position() - 1);
            putByte(next);
        }
    } else if (c == '\t')
        putUnit('\t');
    // other control characters carry nothing
}

QByteArray Interpreter::keptSource(const char* begin, const char* end) const {
    auto trail = std::lower_bound(m_structuralTrails.begin(), m_structuralTrails.end(), begin);
    if (trail == m_structuralTrails.end() || *trail >= end)
        return QByteArray(begin, end - begin);
    QByteArray out;
    out.reserve(end - begin + 16);
    const char* from = begin;
    for (; trail != m_structuralTrails.end() && *trail < end; ++trail) {
        out.append(from, *trail - from);
        appendHexEscape(out, uchar(**trail));
        from = *trail + 1;
    }
    out.append(from, end - from);
    return out;
}

bool Interpreter::hasContent(Target target) const {
    return (target == Target::Main && m_mainHasContent) || (target == Target::Side && m_sideHasContent);
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
        if (hasContent(target))
            endParagraph();
        break;
    case Op::RowEnd:
        endRow(character);
        break;
    case Op::FootnoteMark:
        if (target == Target::Main || target == Target::Side) {
            // The number of the note: in the body, of the next one; in a note, its own. It counts notes, not
            // marks, so that a mark without a note, which stays as its number only, changes no other.
            const qint64 before = m_mainEvents;
            const QString number =
                QString::number(target == Target::Main ? m_footnotes + 1 : std::max(m_footnotes, 1));
            for (const QChar c : number)
                putUnit(c.unicode());
            if (target == Target::Main) {
                m_mark = Mark::Open;
                // The mark's group stands for it only when it shows nothing else.
                m_markStart = m_states.size() > 2 && top().mainEvents == before ? top().start : nullptr;
                m_markEvents = m_mainEvents;
                m_markWord = m_wordStart;
                m_markWordEnd = m_tokens.position();
                m_markLength = int(number.size());
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
            commitFontName();
            m_fontTable.font = value;
            m_fontTable.nameDone = false;
            ++m_fontsVersion;
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
        const int unit = value < 0 ? value + 65536 : value;
        selectCodePage();
        if (!m_asciiDirect && unit >= 0xF020 && unit <= 0xF0FF) {
            // Symbol fonts' glyphs as writers give them: U+F000 plus the font's byte.
            putByte(uchar(unit - 0xF000));
        } else if (unit != 0) {
            putUnit(unit > 0 && unit <= 0xFFFF ? char16_t(unit) : char16_t(0xFFFD));
        }
        m_skip = uc;
        break;
    }
    case Op::UnicodeSkip:
        s.uc = std::clamp(value, 0, 16);
        break;
    // The document's code page, default font and fonts' character sets are set once, by its header and font
    // table: a second header (a document pasted whole into this one), font table, or one after text does
    // not change how text already read was decoded, and the writer, which writes them once, can give them
    // back as they were.
    case Op::CharsetCodePage:
        if (!m_charsetCodePageSet && !m_textDecoded) {
            m_charsetCodePage = value;
            m_charsetCodePageSet = true;
            ++m_fontsVersion;
        }
        break;
    case Op::AnsiCodePage:
        if (value > 0 && m_ansiCodePage == 0 && !m_textDecoded) {
            m_ansiCodePage = value;
            ++m_fontsVersion;
        }
        break;
    case Op::DefaultFont:
        if (m_tables.defaultFont < 0 && !m_textDecoded) {
            m_tables.defaultFont = value;
            ++m_fontsVersion;
        }
        break;
    case Op::FontCharset:
        if (s.fontTable && m_fontTable.font >= 0 && !m_fontTable.charset.contains(m_fontTable.font)) {
            m_fontTable.charset.insert(m_fontTable.font, value);
            ++m_fontsVersion;
        }
        break;
    case Op::FontCodePage:
        if (s.fontTable && m_fontTable.font >= 0 && !m_fontTable.codePage.contains(m_fontTable.font)) {
            m_fontTable.codePage.insert(m_fontTable.font, value);
            ++m_fontsVersion;
        }
        break;
    default:
        destinationProperty(op, value);
        break;
    }
}

void Interpreter::selectCodePage() {
    const GroupState& s = m_states.back();
    const int font = s.target == Target::FontName ? m_fontTable.font : s.chr.font;
    // A symbol font's name is ordinary text, and so is a field's instruction (its keywords and address) in
    // one.
    const bool ordinary = s.target == Target::FontName || s.target == Target::FieldInst;
    if (font == m_decoderFont && ordinary == m_decoderOrdinary && m_fontsVersion == m_decoderFontsVersion)
        return;
    m_decoderFont = font;
    m_decoderOrdinary = ordinary;
    m_decoderFontsVersion = m_fontsVersion;
    if (s.target == Target::Main || s.target == Target::Side || s.target == Target::FieldInst)
        m_textDecoded = true;
    // A font that text is read in before the font table gives it a character set is in the document's code
    // page (\fcharset1) from then on, so that its text and the writer, which gives each font one character
    // set, agree. Text without a font of its own is in the default font: the same holds for that font, and a
    // symbol font there makes the text glyphs as it does where the font is named.
    const int shownFont = font >= 0 || s.target == Target::FontName ? font : m_tables.defaultFont;
    if (shownFont >= 0 && s.target != Target::FontName && !m_fontTable.charset.contains(shownFont) &&
        !m_fontTable.codePage.contains(shownFont))
        m_fontTable.charset.insert(shownFont, 1);
    int codePage = font >= 0 ? fontCodePage(font) : 0;
    if (font < 0 && shownFont >= 0 && fontCodePage(shownFont) < 0)
        codePage = fontCodePage(shownFont);
    if (codePage == 0 || (ordinary && codePage < 0))
        codePage = documentCodePage();
    m_decoder.setCodePage(codePage, [this](char16_t u) { putUnit(u); });
    m_asciiDirect = codePage != kSymbolCodePage && codePage != kWingdingsCodePage;
}

// The code page a font's bytes are in; 0 when the font follows the document's code page.
int Interpreter::fontCodePage(int font) const {
    const auto cpg = m_fontTable.codePage.constFind(font);
    if (cpg != m_fontTable.codePage.cend() && *cpg > 0 && *cpg != 1 && *cpg != 2)
        return *cpg;
    const auto charset = m_fontTable.charset.constFind(font);
    return rtf::detail::fontCodePage(charset != m_fontTable.charset.cend() ? codePageForCharset(*charset) : 0,
                                     m_tables.fontNames.value(font));
}

int Interpreter::documentCodePage() const {
    if (m_ansiCodePage > 0 && m_ansiCodePage != 1 && m_ansiCodePage != 2)
        return m_ansiCodePage;
    if (m_tables.defaultFont >= 0) {
        const int codePage = fontCodePage(m_tables.defaultFont);
        if (codePage > 0)
            return codePage;
    }
    return m_charsetCodePage;
}

void Interpreter::putAscii(const uchar* s, qsizetype n) {
    const Target target = top().target;
    if (target == Target::Main || target == Target::Side) {
        selectCodePage();
        if (m_decoder.pending() || !m_asciiDirect) {
            for (qsizetype i = 0; i < n; ++i)
                putByte(s[i]);
            return;
        }
        resolveSurrogate();
        prepareRun(target);
        m_run.append(QLatin1StringView(reinterpret_cast<const char*>(s), n));
        return;
    }
    if (target == Target::None)
        return;
    for (qsizetype i = 0; i < n; ++i) {
        // Only a literal ";" ends a font's name, so that a name may hold one written as \u59.
        if (target == Target::FontName && s[i] == ';')
            commitFontName();
        else
            putByte(s[i]);
    }
}

void Interpreter::putByte(uchar byte) {
    const Target target = top().target;
    if (target == Target::None)
        return;
    if (target == Target::Picture) {
        putUnit(byte);
        return;
    }
    selectCodePage();
    m_decoder.feed(byte, [this](char16_t u) { putUnit(u); });
}

void Interpreter::putUnit(char16_t c) {
    if ((c < 0x20 && c != '\t') || c == 0x7F)
        return; // control characters carry nothing
    GroupState& s = top();
    switch (s.target) {
    case Target::Main:
    case Target::Side:
        putRunUnit(c);
        break;
    case Target::None:
        break;
    case Target::FontName:
        if (!m_fontTable.nameDone && m_fontTable.name.size() < kMaxTitleLength)
            m_fontTable.name.append(QChar(c));
        break;
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
    }
}

// Text for the body or side text: pairs surrogates, so that one without its partner becomes U+FFFD.
void Interpreter::putRunUnit(char16_t c) {
    if (QChar::isHighSurrogate(c)) {
        resolveSurrogate();
        m_highSurrogate = c;
        return;
    }
    if (QChar::isLowSurrogate(c)) {
        if (m_highSurrogate) {
            const char16_t high = std::exchange(m_highSurrogate, char16_t(0));
            appendToRun(high);
            m_run.append(QChar(c));
        } else {
            appendToRun(0xFFFD);
        }
        return;
    }
    resolveSurrogate();
    if (c == 0x2029) {
        endParagraph();
        return;
    }
    // The object replacement character stands for pictures in a QTextDocument, and the noncharacters
    // U+FDD0-U+FDEF mark its frames: text cannot hold them.
    if (c == kObjectReplacement || (c >= 0xFDD0 && c <= 0xFDEF) || c == 0xFFFE || c == 0xFFFF)
        return;
    appendToRun(c);
}

void Interpreter::resolveSurrogate() {
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        appendToRun(0xFFFD);
    }
}

void Interpreter::appendToRun(char16_t c) {
    Target target = top().target;
    if (target != Target::Main && target != Target::Side)
        target = m_runTarget;
    prepareRun(target);
    m_run.append(QChar(c));
}

void Interpreter::prepareRun(Target target) {
    const GroupState& s = m_states.back();
    if (target != m_runTarget || !(s.chr == m_runProps)) {
        flushRun();
        m_runTarget = target;
        m_runProps = s.chr;
    }
    if (target == Target::Main) {
        if (!m_listText.isEmpty())
            emitListText();
        if (m_mark == Mark::Closed)
            m_mark = Mark::None;
        ++m_mainEvents;
        m_mainHasContent = true;
        m_lastMainPara = s.para;
    } else {
        m_sideHasContent = true;
    }
}

void Interpreter::flushRun() {
    if (m_run.isEmpty())
        return;
    if (m_runTarget == Target::Main)
        tellTableDepth();
    sinkFor(m_runTarget).text(m_run, m_runProps);
    m_run.resize(0);
}

void Interpreter::endParagraph(bool cellEnd) {
    const GroupState& s = m_states.back();
    if (s.target != Target::Main && s.target != Target::Side)
        return;
    m_decoder.flush([this](char16_t u) { putUnit(u); });
    resolveSurrogate();
    if (s.target == Target::Main) {
        if (!m_listText.isEmpty())
            emitListText();
        m_mark = Mark::None;
        ++m_mainEvents;
    }
    flushRun();
    if (s.target == Target::Main)
        tellTableDepth();
    if (cellEnd)
        sinkFor(s.target).endCell(s.para);
    else
        sinkFor(s.target).endParagraph(s.para);
    if (s.target == Target::Main) {
        m_mainHasContent = false;
        m_mainEnded = true;
    } else {
        m_sideHasContent = false;
    }
}

void Interpreter::finish() {
    while (m_states.size() > 1)
        popGroup(true);
    m_tables.fontCharsets = m_fontTable.charset;
    // Kept bytes read without a font of their own (after \plain) were decoded in the document's code page,
    // whether its \ansicpg named it or its default font's character set did: the writer's \ansicpg names it.
    if (const int codePage = documentCodePage(); codePage > 0)
        m_tables.ansiCodePage = codePage;
    m_tables.title = withValidSurrogates(m_tables.title);
    m_decoder.flush([this](char16_t u) { putUnit(u); });
    resolveSurrogate();
    flushRun();
    if (!m_side.isEmpty()) {
        if (m_mainHasContent)
            m_sink.endParagraph(m_lastMainPara);
        m_sink.tableDepth(0); // the side text comes after the body, outside its tables
        m_side.replay(m_sink);
        m_sink.finish(nullptr);
    } else if (m_mainHasContent || !m_mainEnded) {
        m_sink.finish(&m_lastMainPara);
    } else {
        m_sink.finish(nullptr);
    }
}

void parse(const QByteArray& bytes, Sink& sink, Tables& tables) {
    Interpreter interpreter(bytes, sink, tables);
    interpreter.run();
}

} // namespace rtf::detail
