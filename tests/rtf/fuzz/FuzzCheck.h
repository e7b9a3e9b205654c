#pragma once

#include <QByteArray>
#include <QString>

namespace rtffuzz {

// Puts one input through the reader and the writer and checks what must hold for any bytes: the document
// and the plain-text reading agree, the writer's output is 7-bit RTF, and reading it back gives the same
// document (text, paragraphs and formats; text and paragraphs only for very large documents) with the same
// lists, kept groups, fields and picture bytes. Returns an
// empty string when all holds, else what went wrong.
QString checkOneInput(const QByteArray& bytes);

} // namespace rtffuzz
