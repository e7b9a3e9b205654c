#pragma once

// Gathers what the interpreter reports inside tables, cell by cell and row by row, until the table ends: a
// table's columns are known only once all its rows are read, since each row gives its own cell edges.

#include "Model.h"

#include <QString>
#include <QTextBlock>

#include <memory>
#include <span>
#include <vector>

namespace rtf::detail {

struct TableRecord;

struct CellEvent {
    enum class Kind : quint8 { Text, Paragraph, Image, Kept, Table };
    Kind kind;
    QString text;
    CharProps chr;
    ParaProps para;
    int index = -1; // Image: into TableRecord::pictures; Kept: into TableRecord::kept; Table: into nested
};

struct CellRecord {
    std::vector<CellEvent> events;
    bool ended = false;
};

struct RowRecord {
    std::vector<CellRecord> cells;
    RowDef def;
    bool ended = false;
};

struct TableRecord {
    std::vector<RowRecord> rows;
    std::vector<Picture> pictures;
    std::vector<KeptGroup> kept;
    std::vector<std::unique_ptr<TableRecord>> nested;
};

// Hands a cell's events to `sink` in their order (its text, paragraph ends, pictures and kept groups);
// `putTable` puts a nested table where it stood.
template <typename Sink, typename PutTable>
void replayCellEvents(Sink& sink, const TableRecord& record, std::span<const CellEvent> events,
                      PutTable putTable) {
    for (const CellEvent& event : events) {
        switch (event.kind) {
        case CellEvent::Kind::Text:
            sink.text(event.text, event.chr);
            break;
        case CellEvent::Kind::Paragraph:
            sink.endParagraph(event.para);
            break;
        case CellEvent::Kind::Image:
            sink.image(record.pictures[size_t(event.index)], event.chr);
            break;
        case CellEvent::Kind::Kept:
            sink.kept(record.kept[size_t(event.index)], event.chr);
            break;
        case CellEvent::Kind::Table:
            putTable(*record.nested[size_t(event.index)]);
            break;
        }
    }
}

// Cell edges closer than this are taken for the same column edge: rows written by hand or converted from
// other units do not always line up to the twip.
inline constexpr int kGridTolerance = 20;

// The block property that marks an empty block the document has only because a table cannot start or end
// its frame or cell: the one before a table at the start of the document or a cell, and the one after a table
// that nothing follows. The document's text leaves such blocks out.
inline constexpr int kBesideTableProperty = 0x100A01;

inline bool holdsTableOnly(const QTextBlock& block) {
    return block.length() == 1 && block.blockFormat().boolProperty(kBesideTableProperty);
}

// The last row of `record` when it is not the table's: paragraphs that still say they are in the table after
// its last row, none of whose cells ended. They are the body's again.
const RowRecord* trailingParagraphs(const TableRecord& record);

class TableBuilder {
public:
    bool isOpen() const { return m_root != nullptr; }
    // The table in the body, once nothing more goes into it; the builder is then empty.
    std::unique_ptr<TableRecord> take() {
        m_open.clear();
        return std::move(m_root);
    }

    void text(int depth, const QString& text, const CharProps& props);
    void endParagraph(int depth, const ParaProps& props);
    void image(int depth, const Picture& picture, const CharProps& props);
    void kept(int depth, const KeptGroup& group, const CharProps& props);
    void endCell(int depth, const ParaProps& props);
    void endRow(int depth, const RowDef& row);

private:
    // The table at `depth`, opening tables down to it in the current cells and ending deeper ones.
    TableRecord& at(int depth);
    static CellRecord& currentCell(TableRecord& table);

    std::unique_ptr<TableRecord> m_root;
    std::vector<TableRecord*> m_open; // the open tables, the body's first
};

} // namespace rtf::detail
