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

// Reads the parameter of a control word at `j` as the tokenizer does: a "-" before a digit, then every digit,
// the value clamped. Returns where the parameter ends; that is `j` when there is none.
qsizetype readParameter(const QByteArray& rtf, qsizetype j, qint64& value) {
    const qsizetype n = rtf.size();
    const bool negative = j + 1 < n && rtf.at(j) == '-' && isDigit(rtf.at(j + 1));
    qsizetype k = negative ? j + 1 : j;
    value = 0;
    if (k >= n || !isDigit(rtf.at(k)))
        return j;
    for (; k < n && isDigit(rtf.at(k)); ++k)
        value = std::min<qint64>(value * 10 + (rtf.at(k) - '0'), Tokenizer::kMaxParam);
    if (negative)
        value = -value;
    return k;
}

// Calls `visit(word, numberBegin, numberEnd)` for each control word with a parameter, skipping \bin data.
template <typename Visit> void forEachNumberedWord(const QByteArray& rtf, Visit visit) {
    const qsizetype n = rtf.size();
    qsizetype i = 0;
    while (i < n) {
        if (rtf.at(i) != '\\') {
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && isLetter(rtf.at(j)))
            ++j;
        if (j == i + 1) {
            i = j + 1; // a control symbol
            continue;
        }
        const std::string_view word(rtf.constData() + i + 1, size_t(j - i - 1));
        const qsizetype numberBegin = j;
        qint64 value = 0;
        j = readParameter(rtf, j, value);
        if (j > numberBegin) {
            if (word == "bin") {
                if (j < n && rtf.at(j) == ' ')
                    ++j;
                i = j + std::clamp<qint64>(value, 0, n - j);
                continue;
            }
            visit(word, numberBegin, j, int(value));
        }
        i = j;
    }
}

// Whether a group that starts with "\\*" and this word is skipped whole by the reader.
bool isSkippedDestination(std::string_view word) {
    if (word == "bin")
        return false;
    const ControlWord* known = findControlWord(word);
    return !known || (known->kind == WordKind::Destination && known->op == Op::SkipGroup);
}

// Whether the RTF ends in a control word that the next letter or digit would continue.
bool endsInControlWord(const QByteArray& rtf) {
    qsizetype i = rtf.size();
    while (i > 0 && (isDigit(rtf.at(i - 1)) || rtf.at(i - 1) == '-'))
        --i;
    const qsizetype letters = i;
    while (i > 0 && isLetter(rtf.at(i - 1)))
        --i;
    qsizetype backslashes = 0;
    while (i - backslashes > 0 && rtf.at(i - backslashes - 1) == '\\')
        ++backslashes;
    return i < letters && backslashes % 2 == 1;
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
    forEachNumberedWord(kept, [this](std::string_view word, qsizetype, qsizetype, int value) {
        switch (numberedBy(word)) {
        case Numbered::Font:
            writerFont(value, {});
            break;
        case Numbered::Color:
            if (const auto it = m_colors.constFind(value); it != m_colors.cend() && it->isValid())
                m_colorIndex(*it);
            break;
        case Numbered::None:
            break;
        }
    });
}

// The kept RTF as the writer writes it: fonts and colours renumbered, and 7-bit like the rest of the file
// (bytes above 0x7F as \'hh, the data of \binN as hexadecimal digits, which pictures and objects take too).
// Binary data anywhere else means nothing to a reader, but its digits would read as text: it becomes
// \bin0, which still counts as the one character that a \uN's fallback may skip.
QByteArray KeptWriter::renumbered(const QByteArray& kept) const {
    QByteArray out;
    out.reserve(kept.size() + 16);
    // Whether the current group takes data: a picture, an object's data, or a destination that readers skip
    // (one marked "\*" that this reader does not know, or one it skips whole), where digits are no text.
    bool data = false;
    std::vector<bool> outerData;
    bool groupOpened = false; // the last token was a group's "{"
    bool starred = false;     // the last tokens were "{\*"
    const qsizetype n = kept.size();
    qsizetype i = 0;
    while (i < n) {
        const char c = kept.at(i);
        if (c == '\r' || c == '\n') {
            out.append(c);
            ++i;
            continue;
        }
        const bool groupStart = std::exchange(groupOpened, c == '{');
        const bool afterStar = std::exchange(starred, false);
        if (c == '{') {
            outerData.push_back(data);
        } else if (c == '}' && !outerData.empty()) {
            data = outerData.back();
            outerData.pop_back();
        }
        if (uchar(c) >= 0x80) {
            out.append("\\'");
            appendHexByte(out, uchar(c));
            ++i;
            continue;
        }
        if (c != '\\') {
            out.append(c);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && isLetter(kept.at(j)))
            ++j;
        if (j == i + 1) {
            // A control symbol; one of a byte above 0x7F means nothing and is left out, but still ends the
            // control word before it.
            if (j < n && kept.at(j) == '*' && groupStart)
                starred = true;
            if (j < n && uchar(kept.at(j)) < 0x80) {
                out.append('\\');
                out.append(kept.at(j));
            } else if (endsInControlWord(out)) {
                out.append(' ');
            }
            i = j + 1;
            continue;
        }
        const std::string_view word(kept.constData() + i + 1, size_t(j - i - 1));
        const qsizetype numberBegin = j;
        qint64 value = 0;
        j = readParameter(kept, j, value);
        const bool hasNumber = j > numberBegin;
        if (word == "bin" && hasNumber) {
            if (j < n && kept.at(j) == ' ')
                ++j;
            const qsizetype length = std::clamp<qint64>(value, 0, n - j);
            if (data) {
                out.append(' ');
                for (qsizetype k = 0; k < length; ++k)
                    appendHexByte(out, uchar(kept.at(j + k)));
                out.append(' ');
            } else {
                out.append("\\bin0 ");
            }
            i = j + length;
            continue;
        }
        if (word == "pict" || word == "objdata" || (afterStar && isSkippedDestination(word)))
            data = true;
        int number = -1;
        if (hasNumber) {
            switch (numberedBy(word)) {
            case Numbered::Font:
                number = writerFont(int(value), {});
                break;
            case Numbered::Color:
                if (const auto it = m_colors.constFind(int(value)); it != m_colors.cend() && it->isValid())
                    number = m_colorIndex(*it);
                else
                    number = 0; // automatic
                break;
            case Numbered::None:
                break;
            }
        }
        if (number >= 0) {
            out.append(QByteArrayView(kept).sliced(i, numberBegin - i));
            out.append(QByteArray::number(number));
        } else {
            out.append(QByteArrayView(kept).sliced(i, j - i));
        }
        i = j;
    }
    return out;
}

} // namespace rtf::detail
