#pragma once

// The reader's table state: the words that describe a table's rows and cells (\trowd ... \cellx), up to the
// \row that ends the row they describe, and the table depth the sink was last told.

#include "ControlWords.h"
#include "Model.h"
#include "TableModel.h"

#include <vector>

namespace rtf::detail {

class TableState {
public:
    // A row or cell word, or a paragraph's \intbl or \itap (in `para`). `inBody`: the word is in the body,
    // where a \trowd begins a row that its paragraphs are in even without \intbl.
    void property(Op op, int value, ParaProps& para, bool inBody);
    // Tells the sink the depth of the table that the body's paragraph `para` is in, when it changed.
    void tellDepth(const ParaProps& para, Sink& sink);
    // A row of the body ends (\row at `level` 1, \nestrow deeper); `para` is the paragraph it ends in.
    void endRow(int level, const ParaProps& para, Sink& sink);

private:
    std::vector<RowDef> m_rowDefs = std::vector<RowDef>(kMaxTableDepth + 1); // the row words, by depth
    CellDef m_cellDef;         // the cell being described, up to its \cellx
    int m_defDepth = 1;        // the depth of the table the last \trowd describes a row of
    bool m_rowOpen = false;    // a body row was described (\trowd) and has not ended (\row)
    bool m_cellBorder = false; // the border words describe a cell's border
    int m_sinkDepth = 0;       // the table depth the sink was last told
};

} // namespace rtf::detail
