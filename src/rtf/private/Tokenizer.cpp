#include "Tokenizer.h"

#include <algorithm>

namespace rtf::detail {

namespace {

bool isLetter(uchar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(uchar c) {
    return c >= '0' && c <= '9';
}

int hexValue(uchar c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

Token Tokenizer::escape() {
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

Token Tokenizer::controlWord() {
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

} // namespace rtf::detail
