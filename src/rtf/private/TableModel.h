#pragma once

// What a table row's words say (\trowd ... \cellx): the row's cells with their right edges, merges and looks.

#include <QtGlobal>

#include <vector>

namespace rtf::detail {

// Tables nested deeper than this are read as if they were at this depth.
inline constexpr int kMaxTableDepth = 16;

enum class CellMerge : quint8 { None, First, Continued };
enum class CellVertical : quint8 { Top, Centre, Bottom };

struct CellDef {
    int edge = 0; // right edge, twips from the left margin
    CellMerge horizontal = CellMerge::None;
    CellMerge vertical = CellMerge::None;
    CellVertical align = CellVertical::Top;
    int shading = 0;     // colour table index, 0 for none
    int border = 0;      // border width in twips where the cell has borders, else 0
    int borderColor = 0; // colour table index
};

struct RowDef {
    std::vector<CellDef> cells;
    int gap = 0;   // \trgaph: half the space between the text of neighbouring cells, twips
    int left = 0;  // \trleft
    int align = 0; // 0 left, 1 centre, 2 right
    bool header = false;
};

} // namespace rtf::detail
