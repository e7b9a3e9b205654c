#pragma once

// Parts of the writer that live in files of their own: lists (ListWriter.cpp) and kept RTF (KeptWriter.cpp).

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

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
    // fontIndex/colorIndex give the writer's number for a family or a colour, adding it to its tables.
    KeptWriter(const QTextDocument& doc, std::function<int(const QString&)> fontIndex,
               std::function<int(const QColor&)> colorIndex);

    // Called for every kept group before the tables are written, so that their fonts and colours are in them.
    void collect(const QByteArray& kept);
    // Called with the family a kept group is written in (its mark's or anchor's): the group's bytes are read
    // in that font's character set too.
    void collectOuterFont(const QString& family);
    QByteArray renumbered(const QByteArray& kept) const;
    // The \fcharset a font of the writer's table needs for the kept bytes in it.
    int charsetOf(const QString& family) const;
    // The \ansicpg the kept bytes are in; 1252 when nothing is kept.
    int codePage() const { return m_codePage; }

private:
    QHash<int, QString> m_fonts; // the source file's font numbers
    QHash<int, QColor> m_colors; // the source file's colour indexes
    QHash<int, int> m_charsets;  // the source file's \fcharset by font number
    QHash<QString, int> m_charsetOf;
    int m_codePage = 1252;
    std::function<int(const QString&)> m_fontIndex;
    std::function<int(const QColor&)> m_colorIndex;
};

} // namespace rtf::detail
