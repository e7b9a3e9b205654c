#include "TableBuilder.h"

#include <algorithm>

namespace rtf::detail {

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

const RowRecord* trailingParagraphs(const TableRecord& record) {
    if (!record.rows.empty() && !record.rows.back().ended &&
        std::none_of(record.rows.back().cells.begin(), record.rows.back().cells.end(),
                     [](const CellRecord& cell) { return cell.ended; }))
        return &record.rows.back();
    return nullptr;
}

} // namespace rtf::detail
