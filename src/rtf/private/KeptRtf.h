#pragma once

// RTF the editor keeps but cannot edit as text: a picture (its original bytes, kind, size and scaling words),
// an embedded object, or another group the document only shows a stand-in for. It travels in the document as
// a property of the character format of one object replacement character (U+FFFC); the writer writes the
// kept RTF in place of that character. Deleting the character deletes what it keeps; editing around it
// cannot change it.

#include <QByteArray>
#include <QTextFormat>

namespace rtf::detail {

// QByteArray: 7-bit RTF made of whole groups, written as it is in place of the character that carries it.
inline constexpr int kKeptRtfProperty = QTextFormat::UserProperty + 0x5254;

} // namespace rtf::detail
