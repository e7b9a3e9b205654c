#pragma once

// What the reader and the writer both know of RTF's bytes: the letters and digits of control words,
// hexadecimal digits, a control word with its number, and the characters that stand for a line break and for
// an object in the text.

#include <QByteArray>
#include <QStringView>
#include <QtGlobal>

namespace rtf::detail {

// A line break within a paragraph (\line), as the document holds it.
inline constexpr char16_t kLineSeparator = 0x2028;
// A picture or a kept group's mark in the document's text.
inline constexpr char16_t kObjectReplacement = 0xFFFC;

// The letters of a control word's name.
constexpr bool isLetter(uchar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr bool isDigit(uchar c) {
    return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit, or -1 for any other byte.
constexpr int hexValue(uchar c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The digits the writer writes bytes in.
inline constexpr char kHexDigits[] = "0123456789abcdef";

// The byte as two hexadecimal digits.
inline void appendHexByte(QByteArray& out, uchar b) {
    out.append(kHexDigits[b >> 4]);
    out.append(kHexDigits[b & 15]);
}

// The byte as the control symbol \'hh.
inline void appendHexEscape(QByteArray& out, uchar b) {
    out.append("\\'");
    appendHexByte(out, b);
}

// A control word and its number: `word` holds the backslash and anything written before it.
inline void appendNumber(QByteArray& out, const char* word, qint64 value) {
    out.append(word);
    out.append(QByteArray::number(value));
}

// Appends text as RTF: ASCII as itself (with \, { and } escaped), everything else as \uN?. In a font whose
// bytes are glyphs (a symbol font) ASCII is written as \uN? too, which readers take as the character itself.
void appendRtfText(QByteArray& out, QStringView text, bool glyphFont = false);

} // namespace rtf::detail
