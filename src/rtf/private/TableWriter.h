#pragma once

// The writer's part for tables: a QTextTable becomes RTF rows (\trowd ... \cellx ... \cell ... \row) that
// word processors read as the same table, with the same columns, widths, merges and nested tables.

#include <QByteArray>
#include <QColor>
#include <QTextFrame>

#include <functional>

class QTextBlock;
class QTextDocument;
class QTextTable;
class QTextTableCell;

namespace rtf::detail {

class CellGrid;

class TableWriter {
public:
    // Writes one paragraph of a table cell at nesting depth `depth` (1 for a table in the body): the
    // paragraph's words, which begin with the ones paragraphWords() gives, its text, and then `ending`.
    using BlockWriter = std::function<void(const QTextBlock& block, int depth, const char* ending)>;

    // `textWidth` is the width, in twips, that a table whose columns have no fixed width shares out.
    // `colorIndex` gives the writer's colour table index of a colour.
    TableWriter(QByteArray& out, int textWidth, std::function<int(const QColor&)> colorIndex,
                BlockWriter writeBlock);

    // Puts the colours of the tables inside `frame` (cell shading, borders) into the colour table.
    static void collectColors(const QTextFrame* frame, const std::function<int(const QColor&)>& colorIndex);

    // The paragraph words of a paragraph in a table at `depth`: \intbl, and \itapN inside nested tables.
    static void appendParagraphWords(QByteArray& out, int depth);

    // Writes the table, which sits at nesting depth `depth`, and everything in its cells.
    void write(const QTextTable* table, int depth = 1);

private:
    void writeTable(const QTextTable* table, int depth, int width);
    void writeRowWords(const QTextTable* table, const CellGrid& grid, int row, const QList<int>& edges,
                       int left);
    void writeCellContent(const QTextTableCell& cell, int depth, int width);
    // Writes the blocks and tables from `it` on; the block `last` gets `cellEnd`. True when `last` was met.
    bool writeItems(QTextFrame::iterator it, int depth, int width, const QTextBlock& last,
                    const char* cellEnd);
    void writeNumber(const char* word, qint64 value);

    QByteArray& m_out;
    int m_textWidth;
    std::function<int(const QColor&)> m_colorIndex;
    BlockWriter m_writeBlock;
    const QTextDocument* m_document = nullptr;
    bool m_nested = false; // a nested table was written since this was last cleared
};

} // namespace rtf::detail
