#include "TextOutput.h"

#include "Interpreter.h"
#include "Syntax.h"

#include <utility>

namespace rtf::detail {

void TextOutput::selectCodePage() {
    const GroupState& s = top();
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
    m_decoder.setCodePage(codePage, unitOut());
    m_asciiDirect = codePage != kSymbolCodePage && codePage != kWingdingsCodePage;
}

int TextOutput::fontCodePage(int font) const {
    const auto cpg = m_fontTable.codePage.constFind(font);
    if (cpg != m_fontTable.codePage.cend() && *cpg > 0 && *cpg != 1 && *cpg != 2)
        return *cpg;
    const auto charset = m_fontTable.charset.constFind(font);
    return rtf::detail::fontCodePage(charset != m_fontTable.charset.cend() ? codePageForCharset(*charset) : 0,
                                     m_tables.fontNames.value(font));
}

int TextOutput::documentCodePage() const {
    if (m_ansiCodePage > 0 && m_ansiCodePage != 1 && m_ansiCodePage != 2)
        return m_ansiCodePage;
    if (m_tables.defaultFont >= 0) {
        const int codePage = fontCodePage(m_tables.defaultFont);
        if (codePage > 0)
            return codePage;
    }
    return m_charsetCodePage;
}

// The document's code page, default font and fonts' character sets are set once, by its header and font
// table: a second header (a document pasted whole into this one), font table, or one after text does not
// change how text already read was decoded, and the writer, which writes them once, can give them back as
// they were.
void TextOutput::codePageProperty(Op op, int value, bool inFontTable) {
    switch (op) {
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
        if (inFontTable && m_fontTable.font >= 0 && !m_fontTable.charset.contains(m_fontTable.font)) {
            m_fontTable.charset.insert(m_fontTable.font, value);
            ++m_fontsVersion;
        }
        break;
    case Op::FontCodePage:
        if (inFontTable && m_fontTable.font >= 0 && !m_fontTable.codePage.contains(m_fontTable.font)) {
            m_fontTable.codePage.insert(m_fontTable.font, value);
            ++m_fontsVersion;
        }
        break;
    default:
        break;
    }
}

void TextOutput::defineFont(int font) {
    commitFontName();
    m_fontTable.font = font;
    m_fontTable.nameDone = false;
    ++m_fontsVersion;
}

void TextOutput::commitFontName() {
    if (!m_fontTable.nameDone && m_fontTable.font >= 0) {
        const QString name = withValidSurrogates(m_fontTable.name.trimmed());
        if (!name.isEmpty() && !m_tables.fontNames.contains(m_fontTable.font))
            m_tables.fontNames.insert(m_fontTable.font, name);
        ++m_fontsVersion;
    }
    m_fontTable.name.clear();
    m_fontTable.nameDone = true;
}

void TextOutput::endFontTable() {
    commitFontName();
    m_fontTable.font = -1;
    ++m_fontsVersion;
}

void TextOutput::putAscii(const uchar* s, qsizetype n) {
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

void TextOutput::putByte(uchar byte) {
    const Target target = top().target;
    if (target == Target::None)
        return;
    if (target == Target::Picture) {
        putUnit(byte);
        return;
    }
    selectCodePage();
    m_decoder.feed(byte, unitOut());
}

void TextOutput::putUnicode(int unit) {
    selectCodePage();
    if (!m_asciiDirect && unit >= 0xF020 && unit <= 0xF0FF) {
        // Symbol fonts' glyphs as writers give them: U+F000 plus the font's byte.
        putByte(uchar(unit - 0xF000));
    } else if (unit != 0) {
        putUnit(unit > 0 && unit <= 0xFFFF ? char16_t(unit) : char16_t(0xFFFD));
    }
}

void TextOutput::putUnit(char16_t c) {
    if ((c < 0x20 && c != '\t') || c == 0x7F)
        return; // control characters carry nothing
    switch (top().target) {
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
    default:
        m_owner.destinationUnit(c);
        break;
    }
}

// Text for the body or side text: pairs surrogates, so that one without its partner becomes U+FFFD.
void TextOutput::putRunUnit(char16_t c) {
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

void TextOutput::resolveSurrogate() {
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        appendToRun(0xFFFD);
    }
}

void TextOutput::appendToRun(char16_t c) {
    Target target = top().target;
    if (target != Target::Main && target != Target::Side)
        target = m_runTarget;
    prepareRun(target);
    m_run.append(QChar(c));
}

void TextOutput::prepareRun(Target target) {
    const GroupState& s = top();
    if (target != m_runTarget || !(s.chr == m_runProps)) {
        flushRun();
        m_runTarget = target;
        m_runProps = s.chr;
    }
    if (target == Target::Main) {
        m_owner.bodyTextComes(false);
        ++m_mainEvents;
        m_mainHasContent = true;
        m_lastMainPara = s.para;
    } else {
        m_sideHasContent = true;
    }
}

void TextOutput::flushRun() {
    if (m_run.isEmpty())
        return;
    if (m_runTarget == Target::Main)
        m_owner.bodyOutput();
    sinkFor(m_runTarget).text(m_run, m_runProps);
    m_run.resize(0);
}

void TextOutput::flushRun(Target target) {
    resolveSurrogate();
    if (m_runTarget == target)
        flushRun();
}

void TextOutput::flushPending() {
    if (m_decoder.pending())
        m_decoder.flush(unitOut());
}

bool TextOutput::hasContent(Target target) const {
    return (target == Target::Main && m_mainHasContent) || (target == Target::Side && m_sideHasContent);
}

void TextOutput::endParagraph(bool cellEnd) {
    const GroupState& s = top();
    if (s.target != Target::Main && s.target != Target::Side)
        return;
    m_decoder.flush(unitOut());
    resolveSurrogate();
    if (s.target == Target::Main) {
        m_owner.bodyTextComes(true);
        ++m_mainEvents;
    }
    flushRun();
    if (s.target == Target::Main)
        m_owner.bodyOutput();
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

void TextOutput::listMarker(const QString& marker, const CharProps& props) {
    flushRun();
    m_owner.bodyOutput();
    m_sink.text(marker, props);
}

void TextOutput::bodyShown(const ParaProps& para) {
    ++m_mainEvents;
    m_mainHasContent = true;
    m_lastMainPara = para;
}

void TextOutput::image(const Picture& picture, const GroupState& outer) {
    resolveSurrogate();
    flushRun();
    if (outer.target == Target::Main)
        m_owner.bodyOutput();
    sinkFor(outer.target).image(picture, outer.chr);
    if (outer.target == Target::Main)
        bodyShown(outer.para);
    else
        m_sideHasContent = true;
}

void TextOutput::kept(const KeptGroup& group, const CharProps& props, const GroupState& outer) {
    m_owner.bodyOutput();
    m_sink.kept(group, props);
    bodyShown(outer.para);
}

QString TextOutput::takeSideText(const ParaProps& para) {
    if (m_runTarget == Target::Side) {
        resolveSurrogate();
        flushRun();
    }
    if (m_sideHasContent) {
        m_side.endParagraph(para);
        m_sideHasContent = false;
    }
    return withValidSurrogates(m_side.takeText());
}

void TextOutput::finish() {
    m_tables.fontCharsets = m_fontTable.charset;
    // Kept bytes read without a font of their own (after \plain) were decoded in the document's code page,
    // whether its \ansicpg named it or its default font's character set did: the writer's \ansicpg names it.
    if (const int codePage = documentCodePage(); codePage > 0)
        m_tables.ansiCodePage = codePage;
    m_tables.title = withValidSurrogates(m_tables.title);
    m_decoder.flush(unitOut());
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

} // namespace rtf::detail
