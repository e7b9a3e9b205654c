#pragma once

// The writer's part for kept RTF: the groups the reader kept as they came, written back in the writer's
// numbers.

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QString>
#include <QTextCharFormat>

#include <functional>
#include <string_view>

class QTextDocument;

namespace rtf::detail {

// Renumbers the fonts and colours in kept RTF from the numbers of the file it came from to the writer's, and
// gives the bytes to write.
class KeptWriter {
public:
    // fontIndex gives the writer's number for a family in a character set, colorIndex for a colour, adding
    // them to its tables.
    KeptWriter(const QTextDocument& doc, std::function<int(const QString&, int)> fontIndex,
               std::function<int(const QColor&)> colorIndex);

    // Called for every kept group before the tables are written, so that their fonts and colours are in them.
    void collect(const QByteArray& kept);
    // The writer's font that a kept group's bytes begin in, given its mark's or anchor's format: the font's
    // family with the character set of the font the group began in.
    int outerFont(const QTextCharFormat& format) const;
    QByteArray renumbered(const QByteArray& kept) const;
    // The \fcharset of a writer's font that no kept bytes are in: the document's code page's.
    int defaultCharset() const;
    // The \ansicpg the kept bytes are in; 1252 when nothing is kept.
    int codePage() const { return m_codePage; }

private:
    QHash<int, QString> m_fonts; // the source file's font numbers
    QHash<int, QColor> m_colors; // the source file's colour indexes
    QHash<int, int> m_charsets;  // the source file's \fcharset by font number
    QString m_defaultFamily;
    int m_codePage = 1252;
    std::function<int(const QString&, int)> m_fontIndex;
    // The writer's font for the source's font `number` (-1: none), in `family` unless that is empty.
    int writerFont(int number, const QString& family) const;
    int writerNumber(std::string_view word, int value) const;
    std::function<int(const QColor&)> m_colorIndex;
};

} // namespace rtf::detail
