#include "TableBuilder.h"

#include "DocumentSink.h"
#include "Units.h"

#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <span>

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

} // namespace

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

// ---- Gathering -------------------------------------------------------------------------------------------

CellRecord& TableBuilder::currentCell(TableRecord& table) {
    if (table.rows.empty() || table.rows.back().ended)
        table.rows.emplace_back();
    RowRecord& row = table.rows.back();
    if (row.cells.empty() || row.cells.back().ended)
        row.cells.emplace_back();
    return row.cells.back();
}

TableRecord& TableBuilder::at(int depth) {
    depth = std::clamp(depth, 1, kMaxTableDepth);
    if (!m_root) {
        m_root = std::make_unique<TableRecord>();
        m_open.assign(1, m_root.get());
    }
    while (int(m_open.size()) > depth)
        m_open.pop_back();
    while (int(m_open.size()) < depth) {
        TableRecord& parent = *m_open.back();
        CellRecord& cell = currentCell(parent);
        cell.events.push_back({CellEvent::Kind::Table, {}, {}, {}, int(parent.nested.size())});
        parent.nested.push_back(std::make_unique<TableRecord>());
        m_open.push_back(parent.nested.back().get());
    }
    return *m_open.back();
}

void TableBuilder::text(int depth, const QString& text, const CharProps& props) {
    currentCell(at(depth)).events.push_back({CellEvent::Kind::Text, text, props, {}, -1});
}

void TableBuilder::endParagraph(int depth, const ParaProps& props) {
    currentCell(at(depth)).events.push_back({CellEvent::Kind::Paragraph, {}, {}, props, -1});
}

void TableBuilder::image(int depth, const Picture& picture, const CharProps& props) {
    TableRecord& table = at(depth);
    table.pictures.push_back(picture);
    currentCell(table).events.push_back(
        {CellEvent::Kind::Image, {}, props, {}, int(table.pictures.size() - 1)});
}

void TableBuilder::kept(int depth, const KeptGroup& group, const CharProps& props) {
    TableRecord& table = at(depth);
    table.kept.push_back(group);
    currentCell(table).events.push_back({CellEvent::Kind::Kept, {}, props, {}, int(table.kept.size() - 1)});
}

void TableBuilder::endCell(int depth, const ParaProps& props) {
    CellRecord& cell = currentCell(at(depth));
    cell.events.push_back({CellEvent::Kind::Paragraph, {}, {}, props, -1});
    cell.ended = true;
}

void TableBuilder::endRow(int depth, const RowDef& row) {
    TableRecord& table = at(depth);
    if (table.rows.empty() || table.rows.back().ended)
        return; // a row without cells
    table.rows.back().def = row;
    table.rows.back().ended = true;
}

// ---- Building --------------------------------------------------------------------------------------------

bool DocumentSink::gathering() {
    if (m_building)
        return false;
    if (m_depth > 0)
        return true;
    if (m_table.isOpen()) {
        const std::unique_ptr<TableRecord> table = m_table.take();
        m_building = true;
        insertTable(*table);
        m_building = false;
    }
    return false;
}

void DocumentSink::tableDepth(int depth) {
    m_depth = depth;
}

void DocumentSink::endCell(const ParaProps& props) {
    if (m_depth > 0 && !m_building)
        m_table.endCell(m_depth, props);
    else
        endParagraph(props);
}

void DocumentSink::endRow(const RowDef& row, int depth) {
    if (!m_building)
        m_table.endRow(depth, row);
}

const RowRecord* trailingParagraphs(const TableRecord& record) {
    if (!record.rows.empty() && !record.rows.back().ended &&
        std::none_of(record.rows.back().cells.begin(), record.rows.back().cells.end(),
                     [](const CellRecord& cell) { return cell.ended; }))
        return &record.rows.back();
    return nullptr;
}

void DocumentSink::insertTable(const TableRecord& record) {
    insertRows(record);
    if (const RowRecord* after = trailingParagraphs(record)) {
        for (const CellRecord& cell : after->cells)
            replay(record, cell.events);
    }
}

bool DocumentSink::insertRows(const TableRecord& record) {
    const RowRecord* after = trailingParagraphs(record);
    size_t rowCount = 0;
    size_t cellCount = 0;
    for (const RowRecord& row : record.rows) {
        rowCount += row.cells.empty() || &row == after ? 0 : 1;
        cellCount += row.cells.size();
    }
    const size_t maxColumns =
        std::clamp((4 * cellCount + kSpareCells) / std::max<size_t>(rowCount, 1), size_t(1), kMaxColumns);
    // Each row's cells with their edges; a row without words of its own has the last row's. Cells past the
    // most a row can have go into its last one.
    std::vector<std::vector<PlacedCell>> rows;
    rows.reserve(rowCount);
    RowDef last;
    int headerRows = 0;
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
    if (rows.empty())
        return false;

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
    int columns = 1;
    for (std::vector<PlacedCell>& row : rows) {
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

    // Vertical merges: a cell marked as continuing the one above it, with the same columns, joins it.
    std::vector<PlacedCell*> above(size_t(columns), nullptr);
    for (std::vector<PlacedCell>& row : rows) {
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

    RowDef look = first ? *first : last;
    look.left = rows.front().front().left;
    QTextTableFormat format;
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
    for (const std::vector<PlacedCell>& row : rows) {
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
        const QColor c = color(borderColor);
        format.setBorderBrush(c.isValid() ? c : QColor(Qt::black));
    }
    QList<QTextLength> constraints;
    for (const int w : widths)
        constraints.append(QTextLength(QTextLength::FixedLength, pixelsFromTwips(w)));
    format.setColumnWidthConstraints(constraints);
    format.setHeaderRowCount(headerRows);

    // A long table is shown as tables of a few dozen rows, one under the other: the editor lays a table out
    // whole before it shows any of it, and lays the document out a screenful at a time. The rows are written
    // back as one table. Parts end only where no merged cell goes on into the next row.
    std::vector<size_t> partStarts{0};
    for (size_t r = 1; r < rows.size(); ++r) {
        if (r - partStarts.back() >= kPartRows &&
            std::none_of(rows[r].begin(), rows[r].end(), [](const PlacedCell& cell) { return cell.covered; }))
            partStarts.push_back(r);
    }
    partStarts.push_back(rows.size());
    for (size_t part = 0; part + 1 < partStarts.size(); ++part) {
        const size_t first = partStarts[part];
        const size_t end = partStarts[part + 1];
        if (part > 0) {
            // The empty block between two parts takes no room.
            QTextBlockFormat between = m_cursor.blockFormat();
            between.setLineHeight(0, QTextBlockFormat::FixedHeight);
            m_cursor.setBlockFormat(between);
            format.setHeaderRowCount(0);
        }
        insertPart(record, rows, first, end, columns, format);
    }
    return true;
}

void DocumentSink::insertPart(const TableRecord& record, std::vector<std::vector<PlacedCell>>& rows,
                              size_t first, size_t end, int columns, const QTextTableFormat& format) {
    // The paragraph before the table ends with the table. A table cannot be the first thing in the document
    // or a cell: an empty block stays before it there, which is not the note's. The empty block between two
    // tables is a paragraph of the note's, which keeps them two tables; the parts of one long table are one.
    const bool afterTable = m_besideTable && first == 0;
    if (!afterTable && !m_pendingBreak && m_cursor.block().length() == 1 && m_cursor.atBlockStart())
        markBesideTable();
    m_besideTable = false;
    m_pendingBreak = false;
    QTextTable* table = m_cursor.insertTable(int(end - first), columns, format);
    for (size_t r = first; r < end; ++r) {
        for (const PlacedCell& cell : rows[r]) {
            if (cell.covered)
                continue;
            if (cell.rowSpan > 1 || cell.endColumn - cell.firstColumn > 1)
                table->mergeCells(int(r - first), cell.firstColumn, cell.rowSpan,
                                  cell.endColumn - cell.firstColumn);
        }
    }
    for (size_t r = first; r < end; ++r) {
        for (const PlacedCell& cell : rows[r]) {
            if (cell.covered)
                continue;
            QTextTableCell target = table->cellAt(int(r - first), cell.firstColumn);
            const QColor shading = color(cell.def.shading);
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
            if (!cell.content || cell.content->events.empty())
                continue;
            m_cursor.setPosition(target.firstPosition());
            m_pendingBreak = false;
            for (size_t i = 0; i < cell.contents; ++i) {
                // The paragraph mark that ends a cell right after a nested table only closes the cell: it is
                // the block the cell has after the table anyway.
                std::span<const CellEvent> events = cell.content[i].events;
                if (events.size() >= 2 && events.back().kind == CellEvent::Kind::Paragraph &&
                    events[events.size() - 2].kind == CellEvent::Kind::Table)
                    events = events.first(events.size() - 1);
                replay(record, events);
            }
            if (m_besideTable)
                markBesideTable();
        }
    }
    m_cursor.setPosition(table->lastPosition() + 1);
    m_pendingBreak = false;
    m_besideTable = true; // until something goes into the block after the table
}

void DocumentSink::markBesideTable() {
    QTextBlockFormat format = m_cursor.blockFormat();
    format.setProperty(kBesideTableProperty, true);
    m_cursor.setBlockFormat(format);
    m_besideTable = false;
}

void DocumentSink::replay(const TableRecord& record, std::span<const CellEvent> events) {
    replayCellEvents(*this, record, events, [this](const TableRecord& nested) { insertTable(nested); });
}

} // namespace rtf::detail
