#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class QTextDocument;

// Rich Text Format (RTF 1.9.1) for the notepad: bytes <-> QTextDocument, without widgets.
namespace rtf {

// True when the bytes are an RTF document: after an optional UTF-8 byte order mark and white space they
// start with "{\rtf".
bool isRtf(const QByteArray& bytes);

// Replaces the content of `doc` with the RTF document in `bytes`. Returns false, leaving `doc` untouched,
// when the bytes are not RTF. Malformed RTF (unbalanced braces, truncation, absurd nesting or parameters)
// gives whatever could be read.
bool read(const QByteArray& bytes, QTextDocument& doc);

// Which text of a document: what the editor shows, or that and then the text it keeps without showing it
// (headers, footers, notes, comments, text boxes), one paragraph after another, in the order they come.
enum class TextScope { Shown, WithKept };

// The plain text of an RTF document, the same as plainText() of the document read() builds, without building
// one; std::nullopt when the bytes are not RTF.
std::optional<QString> readPlainText(const QByteArray& bytes, TextScope scope = TextScope::Shown);

// Serialises the document as RTF that word processors read back with the same text and formatting. The
// result is 7-bit ASCII.
QByteArray write(const QTextDocument& doc);

// The text of the document: paragraphs separated by "\n", line breaks (U+2028) as "\n", images left out.
QString plainText(const QTextDocument& doc, TextScope scope = TextScope::Shown);

} // namespace rtf
