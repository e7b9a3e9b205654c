#pragma once

#include <QByteArray>
#include <QTextCharFormat>

// RTF the editor cannot edit as text (headers, footers, notes, comments, text boxes, fields' instructions,
// pictures, shapes and embedded objects) is kept in the document as the RTF bytes it came as, on the
// characters that stand for it:
// - kKeptRtf on a character format: the characters carrying it are what the editor shows of one kept group
//   (a footnote's mark) or, as one U+FFFC with no object type, an invisible anchor of a group that shows
//   nothing (a header). The writer writes the bytes once in place of those characters, so deleting them
//   deletes the group. kKeptId tells neighbouring groups with the same bytes apart. On an image format (a
//   picture, or what the editor shows of a shape or an object) each U+FFFC is one group, written in its
//   place; text typed next to it, which takes on its format, is text.
// - kKeptFieldInstruction on a character format: the characters are the shown result of a field whose
//   instruction (its whole \fldinst group, as it came) is kept; the writer writes the result as it now is
//   inside that field.
// Kept bytes are self-contained RTF groups; the font and colour numbers in them are those of the document's
// own tables, which the reader keeps in kKeptFonts and kKeptColors of the root frame's format so that the
// writer can renumber them; their bytes are in the code pages of kKeptFontCharsets and kKeptCodePage, which
// the writer's font table and header then name, and of the font they begin in, kKeptFont.
namespace rtf {

enum KeptProperty : int {
    kKeptRtf = QTextFormat::UserProperty + 0x5200, // QByteArray
    kKeptId,                                       // int, unique within one document
    kKeptFieldInstruction,                         // QByteArray
    kKeptFonts,                                    // QVariantMap on the root frame: font number -> family
    kKeptColors,                                   // QVariantMap on the root frame: colour index -> QColor
    kKeptFontCharsets, // QVariantMap on the root frame: font number -> \fcharset, for the kept bytes
    kKeptCodePage,     // int on the root frame: the document's \ansicpg, for the kept bytes
    kKeptFont,         // int on a kept group's mark or anchor: the font number its bytes begin in (-1: none)
    kKeptUnicodeSkip,  // int on a kept group's mark or anchor: the \uc its bytes begin with, when not 1
};

inline bool isKept(const QTextCharFormat& format) {
    return format.hasProperty(kKeptRtf);
}

// The format for text typed next to a kept group's mark: the same, without the group, so that the new text
// is not taken for part of the mark (and lost when the group is written in its place). Text typed into a
// field's result stays in the field.
inline QTextCharFormat withoutKept(QTextCharFormat format) {
    if (!isKept(format))
        return format;
    format.clearProperty(kKeptRtf);
    format.clearProperty(kKeptId);
    format.clearProperty(kKeptFont);
    format.clearProperty(kKeptUnicodeSkip);
    format.clearProperty(QTextFormat::TextToolTip);
    return format;
}

} // namespace rtf
