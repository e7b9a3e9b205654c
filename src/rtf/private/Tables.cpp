// Tables: the words that describe rows and cells, and the ends of cells and rows.

#include "Interpreter.h"
#include "TableState.h"

#include <algorithm>

namespace rtf::detail {

namespace {

// The depth of the table a paragraph is in, from its own words and whether a body row is being written: some
// writers leave \intbl out of the paragraphs of a row they described with \trowd.
int depthOf(const ParaProps& para, bool rowOpen) {
    return para.tableDepth > 0 ? para.tableDepth : rowOpen ? 1 : 0;
}

} // namespace

void TableState::tellDepth(const ParaProps& para, Sink& sink) {
    const int depth = depthOf(para, m_rowOpen);
    if (depth != m_sinkDepth) {
        m_sinkDepth = depth;
        sink.tableDepth(depth);
    }
}

void TableState::property(Op op, int value, ParaProps& para, bool inBody) {
    RowDef& row = m_rowDefs[size_t(m_defDepth)];
    switch (op) {
    case Op::InTable:
        if (para.tableDepth == 0)
            para.tableDepth = 1;
        break;
    case Op::TableDepth:
        para.tableDepth = std::clamp(value, 0, kMaxTableDepth);
        break;
    case Op::RowDefaults:
        m_defDepth = std::clamp(para.tableDepth, 1, kMaxTableDepth);
        m_rowDefs[size_t(m_defDepth)] = RowDef{};
        m_cellDef = CellDef{};
        m_cellBorder = false;
        if (m_defDepth == 1 && inBody)
            m_rowOpen = true;
        break;
    case Op::RowGap:
        row.gap = std::clamp(value, 0, kMaxLength);
        break;
    case Op::RowLeft:
        row.left = std::clamp(value, -kMaxLength, kMaxLength);
        break;
    case Op::RowAlign:
        row.align = value;
        break;
    case Op::RowHeader:
        row.header = true;
        break;
    case Op::CellEdge:
        // A row of more cells than any page holds is a broken file; the cells past it are left out.
        if (row.cells.size() < 1000) {
            m_cellDef.edge = std::clamp(value, -kMaxLength, kMaxLength * 2);
            row.cells.push_back(m_cellDef);
        }
        m_cellDef = CellDef{};
        m_cellBorder = false;
        break;
    case Op::CellMergeHorizontal:
        m_cellDef.horizontal = CellMerge(value);
        break;
    case Op::CellMergeVertical:
        m_cellDef.vertical = CellMerge(value);
        break;
    case Op::CellAlign:
        m_cellDef.align = CellVertical(value);
        break;
    case Op::CellShading:
        m_cellDef.shading = std::clamp(value, 0, 0xFFFF);
        break;
    case Op::CellBorderSide:
        m_cellBorder = true;
        // A side named without a width has the thinnest line.
        m_cellDef.border = std::max(m_cellDef.border, 1);
        break;
    case Op::BorderWidth:
        if (m_cellBorder)
            m_cellDef.border = std::clamp(value, 1, 255);
        break;
    case Op::BorderColor:
        if (m_cellBorder)
            m_cellDef.borderColor = std::clamp(value, 0, 0xFFFF);
        break;
    case Op::BorderNone:
        if (m_cellBorder)
            m_cellDef.border = 0;
        break;
    default:
        break;
    }
}

void Interpreter::endCell(int level) {
    GroupState& s = top();
    if (s.target != Target::Main) {
        endParagraph();
        return;
    }
    // \cell ends a cell of a table in the body, \nestcell one of a nested table.
    const int saved = s.para.tableDepth;
    s.para.tableDepth = level == 1 ? 1 : std::max(std::min(saved, kMaxTableDepth), 2);
    endParagraph(true);
    s.para.tableDepth = saved;
}

void Interpreter::endRow(int level) {
    const Target target = top().target;
    if (m_text.hasContent(target))
        endParagraph();
    if (target == Target::Main)
        m_table.endRow(level, top().para, m_text.sink());
}

void TableState::endRow(int level, const ParaProps& para, Sink& sink) {
    const int depth = level == 1 ? 1 : std::max(std::min(para.tableDepth, kMaxTableDepth), 2);
    sink.endRow(m_rowDefs[size_t(depth)], depth);
    if (depth == 1)
        m_rowOpen = false;
}

} // namespace rtf::detail
