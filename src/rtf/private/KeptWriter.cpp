#include "KeptWriter.h"
#include "Syntax.h"

#include "CodePages.h"
#include "ControlWords.h"
#include "Tokenizer.h"

#include "../Kept.h"

#include <QTextDocument>
#include <QTextFrame>

#include <string_view>
#include <vector>

namespace rtf::detail {

namespace {

enum class Numbered { None, Font, Color };

// The control words in kept RTF whose parameter is a font number or a colour index.
Numbered numberedBy(std::string_view word) {
    if (word == "f" || word == "af")
        return Numbered::Font;
    static constexpr std::string_view kColorWords[] = {
        "cf",     "cb",      "highlight", "chcbpat", "chcfpat", "cbpat", "cfpat",
        "brdrcf", "clcbpat", "clcfpat",   "trcbpat", "trcfpat", "ulc",
    };
    for (const std::string_view w : kColorWords) {
        if (word == w)
            return Numbered::Color;
    }
    return Numbered::None;
}

// Whether a group that starts with "\\*" and this word is skipped whole by the reader.
bool isSkippedDestination(std::string_view word) {
    if (word == "bin")
        return false;
    const ControlWord* known = findControlWord(word);
    return !known || (known->kind == WordKind::Destination && known->op == Op::SkipGroup);
}

} // namespace

KeptWriter::KeptWriter(const QTextDocument& doc, std::function<int(const QString&, int)> fontIndex,
                       std::function<int(const QColor&)> colorIndex)
    : m_defaultFamily(doc.defaultFont().family())
    , m_fontIndex(std::move(fontIndex))
    , m_colorIndex(std::move(colorIndex)) {
    const QTextFrameFormat root = doc.rootFrame()->frameFormat();
    const QVariantMap fonts = root.property(kKeptFonts).toMap();
    for (auto it = fonts.cbegin(); it != fonts.cend(); ++it)
        m_fonts.insert(it.key().toInt(), it.value().toString());
    const QVariantMap charsets = root.property(kKeptFontCharsets).toMap();
    for (auto it = charsets.cbegin(); it != charsets.cend(); ++it)
        m_charsets.insert(it.key().toInt(), it.value().toInt());
    if (const int codePage = root.intProperty(kKeptCodePage); codePage > 0)
        m_codePage = codePage;
    const QVariantMap colors = root.property(kKeptColors).toMap();
    for (auto it = colors.cbegin(); it != colors.cend(); ++it)
        m_colors.insert(it.key().toInt(), it.value().value<QColor>());
}

int KeptWriter::defaultCharset() const {
    return charsetForCodePage(m_codePage);
}

// Bytes in a font the source gave no character set, or in no font, are in the document's code page. Fonts
// of one family may differ in their character sets: each pair is a font of the writer's own.
int KeptWriter::writerFont(int number, const QString& family) const {
    QString name = family;
    if (name.isEmpty())
        name = m_fonts.value(number, m_defaultFamily);
    const auto charset = m_charsets.constFind(number);
    return m_fontIndex(name, charset != m_charsets.cend() ? *charset : defaultCharset());
}

int KeptWriter::outerFont(const QTextCharFormat& format) const {
    const QStringList families = format.fontFamilies().toStringList();
    QString family = families.isEmpty() ? QString() : families.first();
    if (family.isEmpty())
        family = format.property(QTextFormat::FontFamily).toString();
    return writerFont(format.hasProperty(kKeptFont) ? format.intProperty(kKeptFont) : -1,
                      family.isEmpty() ? m_defaultFamily : family);
}

void KeptWriter::collect(const QByteArray& kept) {
    Tokenizer tokens(kept.constData(), kept.constData() + kept.size());
    for (Token t = tokens.next(); t.kind != Token::Kind::End; t = tokens.next()) {
        if (t.kind != Token::Kind::ControlWord || !t.hasParam)
            continue;
        switch (numberedBy(t.text)) {
        case Numbered::Font:
            writerFont(t.value, {});
            break;
        case Numbered::Color:
            if (const auto it = m_colors.constFind(t.value); it != m_colors.cend() && it->isValid())
                m_colorIndex(*it);
            break;
        case Numbered::None:
            break;
        }
    }
}

// The writer's number for a font or colour word's number in kept RTF; -1 for another word.
int KeptWriter::writerNumber(std::string_view word, int value) const {
    switch (numberedBy(word)) {
    case Numbered::Font:
        return writerFont(value, {});
    case Numbered::Color:
        if (const auto it = m_colors.constFind(value); it != m_colors.cend() && it->isValid())
            return m_colorIndex(*it);
        return 0; // automatic
    case Numbered::None:
        break;
    }
    return -1;
}

// The kept RTF as the writer writes it: fonts and colours renumbered, and 7-bit like the rest of the file
// (bytes above 0x7F as \'hh, the data of \binN as hexadecimal digits, which pictures and objects take too,
// and a backslash before a byte above 0x7F as an empty group).
// Binary data anywhere else means nothing to a reader, but its digits would read as text: it becomes
// \bin0, which still counts as the one character that a \uN's fallback may skip. Every other token, line
// ends between tokens included, is written as it came.
QByteArray KeptWriter::renumbered(const QByteArray& kept) const {
    QByteArray out;
    out.reserve(kept.size() + 16);
    // Whether the current group takes data: a picture, an object's data, or a destination that readers skip
    // (one marked "\*" that this reader does not know, or one it skips whole), where digits are no text.
    bool data = false;
    std::vector<bool> outerData;
    bool groupStart = false; // the last token was a group's "{"
    bool starred = false;    // the last tokens were "{\*"
    Tokenizer tokens(kept.constData(), kept.constData() + kept.size());
    const char* from = kept.constData();
    for (Token t = tokens.next(); t.kind != Token::Kind::End; t = tokens.next()) {
        const char* to = tokens.position();
        // The line ends the tokenizer passed over before the token.
        while (from < to && (*from == '\r' || *from == '\n'))
            out.append(*from++);
        const bool afterGroupStart = std::exchange(groupStart, t.kind == Token::Kind::GroupOpen);
        const bool afterStar = std::exchange(starred, false);
        switch (t.kind) {
        case Token::Kind::GroupOpen:
            outerData.push_back(data);
            break;
        case Token::Kind::GroupClose:
            if (!outerData.empty()) {
                data = outerData.back();
                outerData.pop_back();
            }
            break;
        case Token::Kind::Byte:
            if (t.value >= 0x80) {
                appendHexEscape(out, uchar(t.value));
                from = to;
            }
            break;
        case Token::Kind::ControlSymbol:
            if (t.value == '*' && afterGroupStart)
                starred = true;
            if (t.value >= 0x80) {
                // A backslash before a byte above 0x7F means nothing, but it ended the control word before it
                // and a \uN's fallback: an empty group, 7-bit, does both.
                out.append("{}");
                from = to;
            }
            break;
        case Token::Kind::Binary:
            if (!t.hasParam)
                break; // "\bin" without a length is a word like any other
            if (data) {
                out.append(' ');
                for (const char c : t.text)
                    appendHexByte(out, uchar(c));
                out.append(' ');
            } else {
                out.append("\\bin0 ");
            }
            from = to;
            break;
        case Token::Kind::ControlWord: {
            if (t.text == "pict" || t.text == "objdata" || (afterStar && isSkippedDestination(t.text)))
                data = true;
            const bool delimited = to[-1] == ' ';
            if (const int number = t.hasParam ? writerNumber(t.text, t.value) : -1; number >= 0) {
                out.append('\\');
                out.append(t.text.data(), qsizetype(t.text.size()));
                out.append(QByteArray::number(number));
                if (delimited)
                    out.append(' ');
                from = to;
            }
            break;
        }
        default:
            break;
        }
        out.append(from, to - from);
        from = to;
    }
    for (const char* end = kept.constData() + kept.size(); from < end && (*from == '\r' || *from == '\n');)
        out.append(*from++);
    return out;
}

} // namespace rtf::detail
