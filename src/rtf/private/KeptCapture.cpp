// The capture of kept RTF: the source bytes of a kept group as the document keeps them, and the writer's form
// of pictures, shapes and objects.

#include "KeptCapture.h"
#include "Syntax.h"
#include "Tokenizer.h"

#include <algorithm>

namespace rtf::detail {

namespace {

constexpr qsizetype kLineLength = 128;

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
    while (i > 0 && isDigit(rtf.at(i - 1)))
        --i;
    // A minus sign is the parameter's only before a digit; a word's last, it is text after the word.
    if (i < rtf.size() && i > 0 && rtf.at(i - 1) == '-')
        --i;
    const qsizetype letters = i;
    while (i > 0 && isLetter(rtf.at(i - 1)))
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

// The RTF of the groups between `begin` and `end` as it is kept and written back: the same control words,
// groups and text, 7-bit, with \binN data turned into the hexadecimal digits that mean the same, line ends
// where lines grow long, and the groups a cut-off file leaves open closed. `inPicture`: the bytes begin
// inside a picture's group, after its \pict.
QByteArray keptGroupText(const char* begin, const char* end, bool inPicture = false) {
    Tokenizer tokens(begin, end);
    QByteArray out;
    out.reserve(qsizetype(end - begin) + 16);
    qsizetype lineStart = 0;
    const auto breakLongLine = [&] {
        if (out.size() - lineStart >= kLineLength) {
            out.append("\r\n");
            lineStart = out.size();
        }
    };
    int depth = 0;
    // A picture's data in hexadecimal: where its digits are written, and whether one is left without its
    // pair. Binary data turned into hexadecimal must not pair with such a digit, which a reader drops at the
    // binary data: the lone digit is left out.
    int pictureDepth = inPicture ? 0 : -1;
    qsizetype loneDigit = -1;
    for (;;) {
        const Token token = tokens.next();
        if (pictureDepth >= 0 && depth < pictureDepth) {
            pictureDepth = -1;
            loneDigit = -1;
        }
        switch (token.kind) {
        case Token::Kind::End:
            while (depth-- > 0)
                out.append('}');
            return out;
        case Token::Kind::GroupOpen:
            breakLongLine();
            out.append('{');
            ++depth;
            break;
        case Token::Kind::GroupClose:
            if (depth == 0)
                break;
            out.append('}');
            --depth;
            break;
        case Token::Kind::ControlWord:
            if (token.text == "pict") {
                pictureDepth = depth;
                loneDigit = -1;
            }
            breakLongLine();
            out.append('\\');
            out.append(token.text.data(), qsizetype(token.text.size()));
            if (token.hasParam)
                out.append(QByteArray::number(token.value));
            out.append(' '); // ends the word, whatever follows
            break;
        case Token::Kind::ControlSymbol:
            if (token.value < 0x80) { // a backslash before an 8-bit byte means nothing
                out.append('\\');
                out.append(char(token.value));
            }
            break;
        case Token::Kind::HexByte:
            if (token.value >= 0) {
                out.append("\\'");
                appendHexByte(out, uchar(token.value));
            }
            break;
        case Token::Kind::Byte:
            out.append("\\'");
            appendHexByte(out, uchar(token.value));
            break;
        case Token::Kind::Binary:
            if (loneDigit >= 0) {
                out.remove(loneDigit, 1);
                loneDigit = -1;
            }
            // \binN and its bytes mean the same as the bytes in hexadecimal.
            for (const char c : token.text) {
                breakLongLine();
                appendHexByte(out, uchar(c));
            }
            break;
        case Token::Kind::Text:
            for (size_t i = 0; i < token.text.size();) {
                breakLongLine();
                const size_t n =
                    std::min(token.text.size() - i, size_t(kLineLength - (out.size() - lineStart)));
                if (pictureDepth >= 0 && depth == pictureDepth) {
                    for (size_t k = i; k < i + n; ++k) {
                        if (hexValue(uchar(token.text[k])) < 0)
                            continue;
                        loneDigit = loneDigit < 0 ? out.size() + qsizetype(k - i) : -1;
                    }
                }
                out.append(token.text.data() + i, qsizetype(n));
                i += n;
            }
            break;
        }
    }
}

} // namespace

QByteArray KeptCapture::capture(const char* begin, const char* end) const {
    auto trail = std::lower_bound(m_trails.begin(), m_trails.end(), begin);
    if (trail == m_trails.end() || *trail >= end)
        return QByteArray(begin, end - begin);
    QByteArray out;
    out.reserve(end - begin + 16);
    const char* from = begin;
    for (; trail != m_trails.end() && *trail < end; ++trail) {
        out.append(from, *trail - from);
        appendHexEscape(out, uchar(**trail));
        from = *trail + 1;
    }
    out.append(from, end - from);
    return out;
}

std::optional<QByteArray> KeptCapture::side(const KeptStart& start, const char* end, bool atEnd) const {
    std::optional<QByteArray> rtf = capture(start.side, end);
    if (start.fromWord)
        rtf->prepend('{');
    if (atEnd)
        rtf = closed(*rtf);
    return rtf;
}

QByteArray KeptCapture::group(const KeptStart& start, const char* end) const {
    const QByteArray source = capture(start.group, end);
    const char* begin = source.constData();
    QByteArray rtf;
    if (!start.word) {
        rtf = keptGroupText(begin, begin + source.size());
    } else {
        // From the word to the group's end; the "}" that ends the group has no "{" in the range and is
        // dropped.
        const bool picture = std::string_view(start.word) == "pict";
        rtf =
            "{\\" + QByteArray(start.word) + ' ' + keptGroupText(begin, begin + source.size(), picture) + '}';
    }
    // The writer's \uc around it is 1: each of its groups (a \nonshppict may follow a \shppict) states the
    // count of fallback characters it began with, after its destination word.
    if (start.uc == 1)
        return rtf;
    const QByteArray uc = "\\uc" + QByteArray::number(start.uc) + ' ';
    std::vector<qsizetype> places;
    Tokenizer tokens(rtf.constData(), rtf.constData() + rtf.size());
    int depth = 0;
    bool atStart = false; // after a top-level group's "{" (and "\*"), before its word
    for (Token t = tokens.next(); t.kind != Token::Kind::End; t = tokens.next()) {
        if (t.kind == Token::Kind::GroupOpen) {
            atStart = depth++ == 0;
        } else if (t.kind == Token::Kind::GroupClose) {
            --depth;
            atStart = false;
        } else if (atStart && !(t.kind == Token::Kind::ControlSymbol && t.value == '*')) {
            if (t.kind == Token::Kind::ControlWord)
                places.push_back(tokens.position() - rtf.constData());
            atStart = false;
        }
    }
    for (auto at = places.rbegin(); at != places.rend(); ++at)
        rtf.insert(*at, uc);
    return rtf;
}

} // namespace rtf::detail
