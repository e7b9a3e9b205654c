#include "TableWriter.h"

#include "Syntax.h"
#include "TableBuilder.h"
#include "Units.h"

#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace rtf::detail {

namespace {

// A column or a cell narrower than this is one no reader can show text in; widths are kept above it.
constexpr int kNarrowest = 60;

QColor colorOf(const QBrush& brush) {
    return brush.style() == Qt::NoBrush ? QColor() : brush.color();
}

// The width of each column, in twips, as the table's constraints give it within `width`: fixed columns keep
// their width, percentages take their share of the table, and the rest share what is left alike.
QList<int> columnWidths(const QTextTable* table, int width) {
    const QTextTableFormat format = table->format();
    const int columns = table->columns();
    const QTextLength tableWidth = format.width();
    if (tableWidth.type() == QTextLength::FixedLength)
        width = wholeTwips(tableWidth.rawValue());
    else if (tableWidth.type() == QTextLength::PercentageLength)
        width = int(std::lround(width * tableWidth.rawValue() / 100.0));
    const QList<QTextLength> constraints = format.columnWidthConstraints();
    QList<int> widths(columns, 0);
    int taken = 0;
    int open = 0;
    for (int c = 0; c < columns; ++c) {
        const QTextLength length = c < constraints.size() ? constraints.at(c) : QTextLength();
        if (length.type() == QTextLength::FixedLength)
            widths[c] = wholeTwips(length.rawValue());
        else if (length.type() == QTextLength::PercentageLength)
            widths[c] = int(std::lround(width * length.rawValue() / 100.0));
        else {
            ++open;
            continue;
        }
        widths[c] = std::max(widths[c], kNarrowest);
        taken += widths[c];
    }
    const int share = open > 0 ? std::max((width - taken) / open, kNarrowest * 10) : 0;
    for (int c = 0; c < columns; ++c) {
        if (widths[c] == 0)
            widths[c] = share;
    }
    return widths;
}

} // namespace

// A table's cells, each looked up once: the writer visits every cell several times, and each lookup of a
// cell's place or format searches the document.
class CellGrid {
public:
    struct Cell {
        QTextTableCell cell;
        int row = 0;
        int column = 0;
        int rowSpan = 1;
        int columnSpan = 1;
        QTextTableCellFormat format;
        int formatIndex = -1; // cells of one index share their format
    };

    explicit CellGrid(const QTextTable* table)
        : m_columns(table->columns()) {
        const int rows = table->rows();
        m_at.assign(size_t(rows) * size_t(m_columns), -1);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < m_columns; ++c) {
                if (m_at[index(r, c)] >= 0)
                    continue;
                // A cell first met here starts here: the places a cell spans are filled when it is met. Its
                // spans are read from its format, which cells share.
                const QTextTableCell cell = table->cellAt(r, c);
                const int formatIndex = cell.tableCellFormatIndex();
                auto format = m_formats.constFind(formatIndex);
                if (format == m_formats.cend())
                    format = m_formats.insert(formatIndex, cell.format().toTableCellFormat());
                Cell found{cell,
                           r,
                           c,
                           std::max(1, format->tableCellRowSpan()),
                           std::max(1, format->tableCellColumnSpan()),
                           *format,
                           formatIndex};
                const int id = int(m_cells.size());
                for (int rr = std::max(found.row, 0); rr < std::min(found.row + found.rowSpan, rows); ++rr) {
                    for (int cc = std::max(found.column, 0);
                         cc < std::min(found.column + found.columnSpan, m_columns); ++cc) {
                        if (m_at[index(rr, cc)] < 0)
                            m_at[index(rr, cc)] = id;
                    }
                }
                if (m_at[index(r, c)] < 0)
                    m_at[index(r, c)] = id;
                m_cells.push_back(std::move(found));
            }
        }
    }
    const Cell& at(int row, int column) const { return m_cells[size_t(m_at[index(row, column)])]; }
    // The cell's place in cells(), which lists the cells in the order their text lies in the document.
    size_t idAt(int row, int column) const { return size_t(m_at[index(row, column)]); }
    // How many columns, from `column` on, the cell at `row` and `column` takes in that row. A cell that spans
    // columns is written as one cell as wide as they are, as word processors write it and read it most
    // surely; its edge stays where the last of its columns ends, so other rows keep the columns apart.
    int spanOf(int row, int column) const {
        const Cell& cell = at(row, column);
        return std::max(1, cell.column + cell.columnSpan - column);
    }
    const std::vector<Cell>& cells() const { return m_cells; }

private:
    size_t index(int row, int column) const { return size_t(row) * size_t(m_columns) + size_t(column); }

    int m_columns;
    std::vector<int> m_at;
    std::vector<Cell> m_cells;
    QHash<int, QTextTableCellFormat> m_formats;
};

TableWriter::TableWriter(QByteArray& out, int textWidth, std::function<int(const QColor&)> colorIndex,
                         BlockWriter writeBlock)
    : m_out(out)
    , m_textWidth(std::max(textWidth, kNarrowest * 10))
    , m_colorIndex(std::move(colorIndex))
    , m_writeBlock(std::move(writeBlock)) {
}

void TableWriter::collectColors(const QTextFrame* frame,
                                const std::function<int(const QColor&)>& colorIndex) {
    for (const QTextFrame* child : frame->childFrames()) {
        if (const auto* table = qobject_cast<const QTextTable*>(child)) {
            const QTextTableFormat format = table->format();
            if (format.border() > 0) {
                if (const QColor c = colorOf(format.borderBrush()); c.isValid())
                    colorIndex(c);
            }
            const CellGrid grid(table);
            for (const CellGrid::Cell& cell : grid.cells()) {
                if (const QColor color = colorOf(cell.format.background()); color.isValid())
                    colorIndex(color);
            }
        }
        collectColors(child, colorIndex);
    }
}

void TableWriter::appendParagraphWords(QByteArray& out, int depth) {
    if (depth <= 0)
        return;
    out.append("\\intbl");
    if (depth > 1)
        appendNumber(out, "\\itap", depth);
}

void TableWriter::write(const QTextTable* table, int depth) {
    m_document = table->document();
    writeTable(table, depth, m_textWidth);
}

namespace {

// Whether RTF written in a row's cells holds words that describe a row or its cells (\trowd, \trleft,
// \cellx, \clvmgf, ...). The writer writes none there but a nested table's; kept RTF may hold them.
bool describesRows(QByteArrayView rtf) {
    return rtf.contains("\\tr") || rtf.contains("\\cl") || rtf.contains("\\cellx");
}

} // namespace

void TableWriter::writeTable(const QTextTable* table, int depth, int width) {
    const QList<int> widths = columnWidths(table, width);
    const QTextTableFormat format = table->format();
    const int left = wholeTwips(format.leftMargin());
    // The space between a cell's edge and its text, in twips.
    const int gap = wholeTwips(format.cellPadding());
    QList<int> edges;
    edges.reserve(widths.size());
    int edge = left;
    for (const int w : widths)
        edges.append(edge += w);
    const CellGrid grid(table);
    RowWords words(format, left, gap, edges);

    // The cells' text lies in the document one cell after another, in the order in which the rows are
    // written, and a cell's text runs up to the first block of the next one: one pass over the table finds
    // every cell's blocks, where asking each cell for its own would search the document again and again.
    const std::vector<CellGrid::Cell>& cells = grid.cells();
    std::vector<QTextBlock> firstBlocks;
    firstBlocks.reserve(cells.size());
    for (const CellGrid::Cell& cell : cells)
        firstBlocks.push_back(m_document->findBlock(cell.cell.firstPosition()));
    const QTextBlock tableEnd = m_document->findBlock(table->lastPosition());
    QTextFrame::iterator item = table->begin();

    for (int r = 0; r < table->rows(); ++r) {
        // A row holding a nested table, or kept RTF with row or cell words of its own, gives its own words
        // again at its end: the words in between replace them in readers that take a row's words from where
        // it ends, as this one does.
        bool nests = false;
        if (depth == 1) {
            m_out.append("\\trowd");
            writeRowWords(words, grid, r);
            m_out.append("\r\n");
        }
        const qsizetype cellsStart = m_out.size();
        for (int c = 0; c < table->columns(); c += grid.spanOf(r, c)) {
            const CellGrid::Cell& cell = grid.at(r, c);
            const int cellWidth =
                edges.at(c + grid.spanOf(r, c) - 1) - (c > 0 ? edges.at(c - 1) : left) - 2 * gap;
            if (cell.row == r) {
                m_nested = false;
                const size_t id = grid.idAt(r, c);
                if (!item.atEnd() && !item.currentFrame() && item.currentBlock() == firstBlocks[id]) {
                    const bool lastCell = id + 1 == cells.size();
                    const QTextBlock next = lastCell ? QTextBlock() : firstBlocks[id + 1];
                    writeCellContent(item, next, lastCell ? tableEnd : next.previous(), depth, cellWidth);
                } else
                    writeCellContent(cell.cell, depth, cellWidth);
                nests = nests || m_nested;
            } else {
                // The cells a merged cell covers below its first row are written empty; \\clvmrg joins them
                // to it.
                m_out.append("\\pard");
                appendParagraphWords(m_out, depth);
                m_out.append(depth == 1 ? "\\cell\r\n" : "\\nestcell\r\n");
            }
        }
        if (depth == 1) {
            if (nests || describesRows(QByteArrayView(m_out).sliced(cellsStart))) {
                m_out.append("\\trowd");
                writeRowWords(words, grid, r);
            }
            m_out.append("\\row\r\n");
        } else {
            m_out.append("{\\*\\nesttableprops\\trowd");
            writeRowWords(words, grid, r);
            m_out.append("\\nestrow}{\\nonesttables\\par}\r\n");
        }
    }
}

TableWriter::RowWords::RowWords(const QTextTableFormat& format, int left, int gap, const QList<int>& edges)
    : headerRows(format.headerRowCount()) {
    start = "\\trgaph" + QByteArray::number(gap) + "\\trleft" + QByteArray::number(left);
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignHCenter)
        start += "\\trqc";
    else if (align & (Qt::AlignRight | Qt::AlignTrailing))
        start += "\\trqr";
    if (format.border() > 0 && format.borderStyle() != QTextFrameFormat::BorderStyle_None) {
        border = "\\brdrs\\brdrw" + QByteArray::number(std::clamp(wholeTwips(format.border()), 1, 75));
        borderColor = colorOf(format.borderBrush());
    }
    for (const int edge : edges)
        cellEdges.append("\\cellx" + QByteArray::number(edge));
}

void TableWriter::writeRowWords(RowWords& words, const CellGrid& grid, int row) {
    m_out.append(words.start);
    if (row < words.headerRows)
        m_out.append("\\trhdr");
    for (int c = 0; c < int(words.cellEdges.size()); c += grid.spanOf(row, c)) {
        const CellGrid::Cell& cell = grid.at(row, c);
        if (cell.rowSpan > 1 || cell.row != row)
            m_out.append(cell.row == row ? "\\clvmgf" : "\\clvmrg");
        m_out.append(cellWords(words, cell.format, cell.formatIndex));
        m_out.append(words.cellEdges.at(c + grid.spanOf(row, c) - 1));
    }
}

// A cell's own words (alignment, borders, shading), which depend on its format alone.
const QByteArray& TableWriter::cellWords(RowWords& words, const QTextTableCellFormat& cellFormat,
                                         int formatIndex) {
    const auto known = words.cells.constFind(formatIndex);
    if (known != words.cells.cend())
        return *known;
    QByteArray out;
    switch (cellFormat.verticalAlignment()) {
    case QTextCharFormat::AlignMiddle:
        out.append("\\clvertalc");
        break;
    case QTextCharFormat::AlignBottom:
        out.append("\\clvertalb");
        break;
    default:
        break;
    }
    if (!words.border.isEmpty()) {
        QByteArray border = words.border;
        if (words.borderColor.isValid())
            border += "\\brdrcf" + QByteArray::number(m_colorIndex(words.borderColor));
        for (const char* side : {"\\clbrdrt", "\\clbrdrl", "\\clbrdrb", "\\clbrdrr"}) {
            out.append(side);
            out.append(border);
        }
    }
    if (const QColor color = colorOf(cellFormat.background()); color.isValid())
        out.append("\\clcbpat" + QByteArray::number(m_colorIndex(color)));
    return *words.cells.insert(formatIndex, out);
}

void TableWriter::writeCellContent(QTextFrame::iterator& item, const QTextBlock& next, const QTextBlock& last,
                                   int depth, int width) {
    const char* cellEnd = depth == 1 ? "\\cell\r\n" : "\\nestcell\r\n";
    if (!writeItems(item, next, depth, width, last, cellEnd))
        writeEmptyCellEnd(depth, cellEnd);
}

void TableWriter::writeCellContent(const QTextTableCell& cell, int depth, int width) {
    const char* cellEnd = depth == 1 ? "\\cell\r\n" : "\\nestcell\r\n";
    // Found without a cursor: a cursor placed in a laid-out document lays its block out again.
    const QTextBlock last = m_document->findBlock(cell.lastPosition());
    QTextFrame::iterator item = cell.begin();
    if (!writeItems(item, {}, depth, width, last, cellEnd))
        writeEmptyCellEnd(depth, cellEnd);
}

void TableWriter::writeEmptyCellEnd(int depth, const char* cellEnd) {
    m_out.append("\\pard");
    appendParagraphWords(m_out, depth);
    m_out.append(cellEnd);
}

bool TableWriter::writeItems(QTextFrame::iterator& it, const QTextBlock& stop, int depth, int width,
                             const QTextBlock& last, const char* cellEnd) {
    bool ended = false;
    for (; !it.atEnd(); ++it) {
        if (const QTextFrame* frame = it.currentFrame()) {
            if (const auto* nested = qobject_cast<const QTextTable*>(frame)) {
                writeTable(nested, depth + 1, std::max(width, kNarrowest * 10));
                m_nested = true;
            } else {
                QTextFrame::iterator inner = frame->begin();
                ended = writeItems(inner, {}, depth, width, last, cellEnd) || ended;
            }
            continue;
        }
        const QTextBlock block = it.currentBlock();
        if (block == stop)
            break;
        if (holdsTableOnly(block))
            continue;
        ended = block == last;
        m_writeBlock(block, depth, ended ? cellEnd : "\\par\r\n");
    }
    return ended;
}

} // namespace rtf::detail
