#pragma once

#include "Syntax.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <string_view>

namespace rtf::detail {

// One lexical unit of RTF.
struct Token {
    enum class Kind : quint8 {
        End,           // no bytes left
        GroupOpen,     // {
        GroupClose,    // }
        ControlWord,   // \name or \nameN: `text` is the name, `value` the parameter when `hasParam`
        ControlSymbol, // a backslash and one character that is no letter (other than '): `value`
        HexByte,       // \'hh: `value` is the byte, or -1 when no hexadecimal digit follows
        Binary,        // \binN and the N bytes after it: `text` is the bytes
        Text,          // a run of printable ASCII: `text`
        Byte,          // one byte that is not printable ASCII, 8-bit or a control character: `value`
    };
    Kind kind = Kind::End;
    bool hasParam = false;
    int value = 0;
    std::string_view text;

    static Token of(Kind kind, int value = 0, std::string_view text = {}, bool hasParam = false) {
        Token t;
        t.kind = kind;
        t.hasParam = hasParam;
        t.value = value;
        t.text = text;
        return t;
    }
};

// Splits RTF bytes into tokens. It knows the syntax only: what a control word means, and which group a
// destination starts, is for the interpreter. Line ends outside control words carry nothing and are dropped;
// numeric parameters are clamped to +-kMaxParam so that no later arithmetic overflows.
class Tokenizer {
public:
    static constexpr qint64 kMaxParam = 1'000'000'000;

    Tokenizer(const char* begin, const char* end)
        : m_p(reinterpret_cast<const uchar*>(begin))
        , m_end(reinterpret_cast<const uchar*>(end)) {}

    // Skips whatever comes before the first "{" (a byte order mark, white space).
    void skipToFirstGroup() {
        while (m_p < m_end && *m_p != '{')
            ++m_p;
    }

    // Takes the next byte when it is "{", "}" or "\\": the trail byte of a double-byte character written raw.
    bool takeStructuralByte(uchar& byte) {
        if (m_p >= m_end || (*m_p != '{' && *m_p != '}' && *m_p != '\\'))
            return false;
        byte = *m_p++;
        return true;
    }

    // Where the next token starts.
    const char* position() const { return reinterpret_cast<const char*>(m_p); }

    Token next() {
        while (m_p < m_end) {
            const uchar c = *m_p;
            switch (c) {
            case '{':
                ++m_p;
                return Token::of(Token::Kind::GroupOpen);
            case '}':
                ++m_p;
                return Token::of(Token::Kind::GroupClose);
            case '\\':
                ++m_p;
                return escape();
            case '\r':
            case '\n':
                ++m_p;
                continue;
            default:
                break;
            }
            if (kStop[c]) {
                ++m_p;
                return Token::of(Token::Kind::Byte, c);
            }
            const uchar* start = m_p;
            while (m_p < m_end && !kStop[*m_p])
                ++m_p;
            return Token::of(Token::Kind::Text, 0, view(start, m_p));
        }
        return {};
    }

private:
    // Bytes that end a run of plain text.
    static constexpr std::array<bool, 256> kStop = [] {
        std::array<bool, 256> t{};
        for (int c = 0; c < 0x20; ++c)
            t[c] = true;
        for (int c = 0x7F; c < 0x100; ++c)
            t[c] = true;
        t['\\'] = t['{'] = t['}'] = true;
        return t;
    }();

    static std::string_view view(const uchar* begin, const uchar* end) {
        return {reinterpret_cast<const char*>(begin), size_t(end - begin)};
    }

    // What follows a backslash.
    Token escape() {
        if (m_p >= m_end)
            return {};
        if (isLetter(*m_p))
            return controlWord();
        const uchar c = *m_p++;
        if (c != '\'')
            return Token::of(Token::Kind::ControlSymbol, c);
        int value = -1;
        if (m_p < m_end && hexValue(*m_p) >= 0) {
            value = hexValue(*m_p++);
            if (m_p < m_end && hexValue(*m_p) >= 0)
                value = value * 16 + hexValue(*m_p++);
        }
        return Token::of(Token::Kind::HexByte, value);
    }

    Token controlWord() {
        const uchar* nameStart = m_p;
        while (m_p < m_end && isLetter(*m_p))
            ++m_p;
        const std::string_view name = view(nameStart, m_p);
        bool hasParam = false;
        bool negative = false;
        qint64 value = 0;
        if (m_p + 1 < m_end && *m_p == '-' && isDigit(m_p[1])) {
            negative = true;
            ++m_p;
        }
        while (m_p < m_end && isDigit(*m_p)) {
            hasParam = true;
            value = std::min<qint64>(value * 10 + (*m_p - '0'), kMaxParam);
            ++m_p;
        }
        // One space ends a control word and belongs to it.
        if (m_p < m_end && *m_p == ' ')
            ++m_p;
        if (name == "bin") {
            // The data is taken as it is, braces and backslashes included.
            const qint64 length = std::min<qint64>(hasParam && !negative ? value : 0, m_end - m_p);
            const uchar* data = m_p;
            m_p += length;
            return Token::of(Token::Kind::Binary, int(length), view(data, m_p), hasParam);
        }
        return Token::of(Token::Kind::ControlWord, int(negative ? -value : value), name, hasParam);
    }

    const uchar* m_p;
    const uchar* m_end;
};

} // namespace rtf::detail
