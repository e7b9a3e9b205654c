#pragma once

// Parts of the writer that live in files of their own: lists (ListWriter.cpp) and kept RTF (KeptWriter.cpp).

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>
#include <QTextCharFormat>

#include <functional>

class QTextBlock;
class QTextDocument;
class QTextList;

namespace rtf::detail {

// Appends text as RTF: ASCII as itself (with \, { and } escaped), everything else as \uN?. In a font whose
// bytes are glyphs (a symbol font) ASCII is written as \uN? too, which readers take as the character itself.
void appendRtfText(QByteArray& out, QStringView text, bool glyphFont = false);

// Each QTextList of the document becomes one list of the list table, with its own override number (\ls), so
// that it numbers on its own as it does in the editor; its indent gives the level (\ilvl).
class ListWriter {
public:
    explicit ListWriter(const QTextDocument& doc);

    bool isEmpty() const { return m_lists.isEmpty(); }
    // \listtable and \listoverridetable, for the document's header.
    void writeTables(QByteArray& out) const;
    // The paragraph words that put a block of `list` in its list: \lsN\ilvlN.
    void writeParagraphWords(QByteArray& out, const QTextList* list) const;
    // The marker an editor shows before the block, for the \listtext that readers without lists show.
    static QString marker(const QTextList* list, const QTextBlock& block);
    static int level(const QTextList* list);

private:
    QList<const QTextList*> m_lists;
    QHash<const QTextList*, int> m_number; // \ls, from 1
};

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
    std::function<int(const QColor&)> m_colorIndex;
};

} // namespace rtf::detail
