#include "TableLayout.h"

#include "Units.h"

#include <QTextCursor>
#include <QTextTable>

#include <algorithm>

namespace rtf::detail {

namespace {

// The width given to a cell that has no edge of its own: one inch.
constexpr int kDefaultCellWidth = 1440;
constexpr int kFarthestDefaultEdge = 100 * 1440;
// A table has at most this many columns, and at most a few times as many cells as the file gives plus this
// many: a broken file whose rows each give new edges, or many edges and few cells, would otherwise ask for
// a grid of millions of empty cells.
constexpr size_t kMaxColumns = 1000;
constexpr size_t kSpareCells = 100'000;
// The rows of each part of a long table as the editor shows it.
constexpr size_t kPartRows = 64;

// The most columns a table of `record` may have.
size_t maxColumnsOf(const TableRecord& record) {
    const RowRecord* after = trailingParagraphs(record);
    size_t rowCount = 0;
    size_t cellCount = 0;
    for (const RowRecord& row : record.rows) {
        rowCount += row.cells.empty() || &row == after ? 0 : 1;
        cellCount += row.cells.size();
    }
    return std::clamp((4 * cellCount + kSpareCells) / std::max<size_t>(rowCount, 1), size_t(1), kMaxColumns);
}

} // namespace

TableLayout::TableLayout(const TableRecord& record, std::function<QColor(int)> color)
    : m_color(std::move(color)) {
    const size_t maxColumns = maxColumnsOf(record);
    RowDef look;
    int headerRows = 0;
    std::vector<int> edges = placeCells(record, maxColumns, look, headerRows);
    if (m_rows.empty())
        return;
    const std::vector<int> widths = placeColumns(std::move(edges), maxColumns);
    mergeVertically();
    makeFormat(look, headerRows, widths);
    splitIntoParts();
}

std::vector<int> TableLayout::placeCells(const TableRecord& record, size_t maxColumns, RowDef& look,
                                         int& headerRows) {
    // Each row's cells with their edges; a row without words of its own has the last row's. Cells past the
    // most a row can have go into its last one.
    const RowRecord* after = trailingParagraphs(record);
    std::vector<std::vector<PlacedCell>>& rows = m_rows;
    RowDef last;
    headerRows = 0;
    bool headerRun = true;
    std::vector<int> edges;
    const RowDef* first = nullptr;
    for (const RowRecord& row : record.rows) {
        if (row.cells.empty() || &row == after)
            continue;
        if (!row.def.cells.empty())
            last = row.def;
        if (!first && !row.def.cells.empty())
            first = &row.def;
        headerRun = headerRun && last.header;
        headerRows += headerRun ? 1 : 0;
        std::vector<PlacedCell> placed;
        int left = last.left;
        const size_t count = std::max(row.cells.size(), last.cells.size());
        for (size_t i = 0; i < count; ++i) {
            const CellDef def = i < last.cells.size() ? last.cells[i] : CellDef{};
            // Cells past the row's edges are an inch wide, up to a hundred inches.
            const int right = i < last.cells.size()         ? std::max(def.edge, left + 1)
                              : left < kFarthestDefaultEdge ? left + kDefaultCellWidth
                                                            : left + 1;
            const CellRecord* content = i < row.cells.size() ? &row.cells[i] : nullptr;
            if (placed.size() == maxColumns) {
                PlacedCell& into = placed.back();
                into.right = right;
                if (content && !into.content)
                    into.content = content;
                if (content)
                    into.contents = size_t(content - into.content) + 1;
            } else if (def.horizontal == CellMerge::Continued && !placed.empty()) {
                placed.back().right = right; // an old-style merge: the cell joins the one before it
            } else {
                placed.push_back({left, right, 0, 0, 1, false, def, content, content ? 1u : 0u});
            }
            left = right;
        }
        for (const PlacedCell& cell : placed)
            edges.push_back(cell.right);
        edges.push_back(placed.front().left);
        rows.push_back(std::move(placed));
    }
    if (!rows.empty()) {
        look = first ? *first : last;
        look.left = rows.front().front().left;
    }
    return edges;
}

std::vector<int> TableLayout::placeColumns(std::vector<int> edges, size_t maxColumns) {
    // The columns: every edge any row has, those within a few twips of each other taken as one; when that
    // gives more columns than the table may have, edges closer than an even share of its width are.
    std::sort(edges.begin(), edges.end());
    std::vector<int> grid;
    int tolerance = kGridTolerance;
    const auto makeGrid = [&] {
        grid.clear();
        for (const int edge : edges) {
            if (grid.empty() || edge - grid.back() > tolerance)
                grid.push_back(edge);
        }
    };
    makeGrid();
    if (grid.size() > maxColumns + 1) {
        tolerance = int((qint64(edges.back()) - edges.front()) / qint64(maxColumns) + 1);
        makeGrid();
    }
    const auto columnAt = [&grid, tolerance](int x) {
        const auto it = std::lower_bound(grid.begin(), grid.end(), x - tolerance);
        return int(it - grid.begin());
    };
    int& columns = m_columns;
    for (std::vector<PlacedCell>& row : m_rows) {
        int next = 0;
        for (PlacedCell& cell : row) {
            cell.firstColumn = std::max(columnAt(cell.left), next);
            cell.endColumn = std::max(columnAt(cell.right), cell.firstColumn + 1);
            next = cell.endColumn;
        }
        columns = std::max(columns, next);
    }
    std::vector<int> widths(size_t(columns), kDefaultCellWidth);
    for (size_t c = 0; c + 1 < grid.size() && c < widths.size(); ++c)
        widths[c] = grid[c + 1] - grid[c];
    return widths;
}

// Vertical merges: a cell marked as continuing the one above it, with the same columns, joins it.
void TableLayout::mergeVertically() {
    const int columns = m_columns;
    std::vector<PlacedCell*> above(size_t(columns), nullptr);
    for (std::vector<PlacedCell>& row : m_rows) {
        std::vector<PlacedCell*> here(size_t(columns), nullptr);
        for (PlacedCell& cell : row) {
            PlacedCell* top = above[size_t(cell.firstColumn)];
            if (cell.def.vertical == CellMerge::Continued && top && top->endColumn == cell.endColumn) {
                ++top->rowSpan;
                cell.covered = true;
                here[size_t(cell.firstColumn)] = top;
            } else {
                here[size_t(cell.firstColumn)] = cell.def.vertical == CellMerge::First ? &cell : nullptr;
            }
        }
        above = std::move(here);
    }
}

void TableLayout::makeFormat(const RowDef& look, int headerRows, const std::vector<int>& widths) {
    QTextTableFormat& format = m_format;
    format.setCellSpacing(0);
    format.setCellPadding(pixelsFromTwips(look.gap));
    if (look.align == 1)
        format.setAlignment(Qt::AlignHCenter);
    else if (look.align == 2)
        format.setAlignment(Qt::AlignRight);
    if (look.left != 0)
        format.setLeftMargin(pixelsFromTwips(look.left)); // to the left of the margin where negative
    int border = 0;
    int borderColor = 0;
    for (const std::vector<PlacedCell>& row : m_rows) {
        for (const PlacedCell& cell : row) {
            if (cell.def.border > border) {
                border = cell.def.border;
                borderColor = cell.def.borderColor;
            }
        }
    }
    format.setBorder(border > 0 ? std::max(1.0, pixelsFromTwips(border)) : 0);
    if (border > 0) {
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderCollapse(true);
        const QColor c = m_color(borderColor);
        format.setBorderBrush(c.isValid() ? c : QColor(Qt::black));
    }
    QList<QTextLength> constraints;
    for (const int w : widths)
        constraints.append(QTextLength(QTextLength::FixedLength, pixelsFromTwips(w)));
    format.setColumnWidthConstraints(constraints);
    format.setHeaderRowCount(headerRows);
}

void TableLayout::splitIntoParts() {
    const std::vector<std::vector<PlacedCell>>& rows = m_rows;
    // The parts of a long table; the rows are written back as one table.
    std::vector<size_t>& partStarts = m_partStarts;
    partStarts.assign(1, 0);
    for (size_t r = 1; r < rows.size(); ++r) {
        if (r - partStarts.back() >= kPartRows &&
            std::none_of(rows[r].begin(), rows[r].end(), [](const PlacedCell& cell) { return cell.covered; }))
            partStarts.push_back(r);
    }
    partStarts.push_back(rows.size());
}

QTextTable*
TableLayout::insertPart(QTextCursor& cursor, size_t part,
                        const std::function<void(const QTextTableCell&, const PlacedCell&)>& fill) const {
    const size_t first = m_partStarts[part];
    const size_t end = m_partStarts[part + 1];
    QTextTableFormat format = m_format;
    if (part > 0)
        format.setHeaderRowCount(0);
    QTextTable* table = cursor.insertTable(int(end - first), m_columns, format);
    for (size_t r = first; r < end; ++r) {
        for (const PlacedCell& cell : m_rows[r]) {
            if (cell.covered)
                continue;
            if (cell.rowSpan > 1 || cell.endColumn - cell.firstColumn > 1)
                table->mergeCells(int(r - first), cell.firstColumn, cell.rowSpan,
                                  cell.endColumn - cell.firstColumn);
        }
    }
    for (size_t r = first; r < end; ++r) {
        for (const PlacedCell& cell : m_rows[r]) {
            if (cell.covered)
                continue;
            QTextTableCell target = table->cellAt(int(r - first), cell.firstColumn);
            const QColor shading = m_color(cell.def.shading);
            if (shading.isValid() || cell.def.align != CellVertical::Top) {
                QTextTableCellFormat cellLook = target.format().toTableCellFormat();
                if (shading.isValid())
                    cellLook.setBackground(shading);
                if (cell.def.align == CellVertical::Centre)
                    cellLook.setVerticalAlignment(QTextCharFormat::AlignMiddle);
                else if (cell.def.align == CellVertical::Bottom)
                    cellLook.setVerticalAlignment(QTextCharFormat::AlignBottom);
                target.setFormat(cellLook);
            }
            if (cell.content && !cell.content->events.empty())
                fill(target, cell);
        }
    }
    return table;
}

} // namespace rtf::detail
