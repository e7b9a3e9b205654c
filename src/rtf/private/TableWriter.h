#pragma once

// The writer's part for tables: a QTextTable becomes RTF rows (\trowd ... \cellx ... \cell ... \row) that
// word processors read as the same table, with the same columns, widths, merges and nested tables.

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QTextBlock>
#include <QTextFormat>
#include <QTextFrame>

#include <functional>

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
    // What a table's rows say alike: the words that start each row, the cells' right edges and their border.
    struct RowWords {
        RowWords(const QTextTableFormat& format, int left, int gap, const QList<int>& edges);
        QByteArray start;
        int headerRows = 0;
        QByteArray border; // empty for a table without borders
        QColor borderColor;
        QList<QByteArray> cellEdges;  // \cellxN of each column
        QHash<int, QByteArray> cells; // a cell's own words, by its format index
    };

    void writeTable(const QTextTable* table, int depth, int width);
    void writeRowWords(RowWords& words, const CellGrid& grid, int row);
    const QByteArray& cellWords(RowWords& words, const QTextTableCellFormat& format, int formatIndex);
    // Writes a cell's items from `item`, which it moves past them, up to the block `next` that begins the
    // next cell; `last` is the cell's last block.
    void writeCellContent(QTextFrame::iterator& item, const QTextBlock& next, const QTextBlock& last,
                          int depth, int width);
    // The same for a cell found on its own.
    void writeCellContent(const QTextTableCell& cell, int depth, int width);
    void writeEmptyCellEnd(int depth, const char* cellEnd);
    // Writes the blocks and tables from `it` on, up to `stop` where it is valid; the block `last` gets
    // `cellEnd`. True when `last` was met.
    bool writeItems(QTextFrame::iterator& it, const QTextBlock& stop, int depth, int width,
                    const QTextBlock& last, const char* cellEnd);

    QByteArray& m_out;
    int m_textWidth;
    std::function<int(const QColor&)> m_colorIndex;
    BlockWriter m_writeBlock;
    const QTextDocument* m_document = nullptr;
    bool m_nested = false; // a nested table was written since this was last cleared
};

} // namespace rtf::detail
