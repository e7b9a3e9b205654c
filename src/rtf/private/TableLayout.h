#pragma once

// The layout of a gathered table as the document shows it: the columns that the rows' cell edges make
// together, each cell's columns and rows once merges are taken in, the table's look, and the parts a long
// table is shown in.

#include "TableBuilder.h"

#include <QColor>
#include <QTextTableFormat>

#include <functional>
#include <vector>

class QTextCursor;
class QTextTable;
class QTextTableCell;

namespace rtf::detail {

// A row's cells as they stand in the table: from one column edge to another, with what describes them.
struct PlacedCell {
    int left = 0;
    int right = 0;
    int firstColumn = 0;
    int endColumn = 0;
    int rowSpan = 1;
    bool covered = false; // continues the cell above it
    CellDef def;
    const CellRecord* content = nullptr; // the first of `contents` records of the row, or none
    size_t contents = 0;
};

class TableLayout {
public:
    // Lays out the rows of `record`, without the paragraphs after its last row; `color` gives the colour of a
    // colour table entry, invalid for none.
    TableLayout(const TableRecord& record, std::function<QColor(int)> color);

    // No row has cells: there is no table.
    bool isEmpty() const { return m_rows.empty(); }
    // A long table is shown as tables of a few dozen rows, one under the other: the editor lays a table out
    // whole before it shows any of it, and lays the document out a screenful at a time. Parts end only where
    // no merged cell goes on into the next row.
    size_t partCount() const { return m_partStarts.size() - 1; }
    // Inserts the part as a table at the cursor, with its merged cells, shading and alignment, and calls
    // `fill` for each cell that has content, in order, right after it is formatted.
    QTextTable* insertPart(QTextCursor& cursor, size_t part,
                           const std::function<void(const QTextTableCell&, const PlacedCell&)>& fill) const;

private:
    // Places each row's cells between their edges, `m_rows`; gives every edge, the look of the table's rows
    // and how many rows head it.
    std::vector<int> placeCells(const TableRecord& record, size_t maxColumns, RowDef& look, int& headerRows);
    // Finds the columns that the edges make and each cell's; gives the columns' widths.
    std::vector<int> placeColumns(std::vector<int> edges, size_t maxColumns);
    void mergeVertically();
    void makeFormat(const RowDef& look, int headerRows, const std::vector<int>& widths);
    void splitIntoParts();

    std::function<QColor(int)> m_color;
    std::vector<std::vector<PlacedCell>> m_rows;
    int m_columns = 1;
    QTextTableFormat m_format;
    std::vector<size_t> m_partStarts{0, 0};
};

} // namespace rtf::detail
