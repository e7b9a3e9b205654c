#pragma once

#include "Model.h"
#include "TableBuilder.h"

#include <QHash>
#include <QTextCharFormat>
#include <QTextCursor>

#include <span>

class QTextDocument;

namespace rtf::detail {

class TableLayout;

// Builds a QTextDocument through one cursor; paragraph breaks are made lazily so that the paragraph mark that
// ends the document adds no empty paragraph.
class DocumentSink final : public Sink {
public:
    // With `textOnly` the document gets the text and its structure without formatting, lists or decoded
    // pictures: enough for its plain text, at less cost.
    DocumentSink(QTextDocument& doc, const Tables& tables, bool textOnly = false);

    void text(const QString& text, const CharProps& props) override;
    void endParagraph(const ParaProps& props) override;
    void image(const Picture& picture, const CharProps& props) override;
    void kept(const KeptGroup& group, const CharProps& props) override;
    void finish(const ParaProps* lastParagraph) override;
    void tableDepth(int depth) override;
    void endCell(const ParaProps& props) override;
    void endRow(const RowDef& row, int depth) override;

    // Inserts the rows of `record` as a table at the cursor, without the paragraphs after its last row; false
    // when it has none. The block after it stays beside it until something goes into it.
    bool insertRows(const TableRecord& record);

private:
    // Tables. Their content is gathered until the table ends, then built in one go.
    bool gathering();
    void insertTable(const TableRecord& record);
    void replay(const TableRecord& record, std::span<const CellEvent> events);
    void insertPart(const TableRecord& record, const TableLayout& layout, size_t part);
    void markBesideTable();

    void breakIfPending();
    void applyBlockFormat(const ParaProps& props);
    QTextCharFormat charFormat(const CharProps& props);
    QTextCharFormat makeFormat(const CharProps& props) const;
    QColor color(int index) const;

    QTextDocument& m_doc;
    QTextCursor m_cursor;
    const Tables& m_tables;
    QHash<CharProps, QTextCharFormat> m_formats;
    CharProps m_lastProps;
    QTextCharFormat m_lastFormat;
    bool m_haveLast = false;
    bool m_pendingBreak = false;
    int m_images = 0;
    bool m_textOnly = false;
    TableBuilder m_table;
    int m_depth = 0;
    bool m_building = false;
    bool m_besideTable = false; // the cursor is in the block after a table, and nothing has gone into it
    ListBuilder m_lists;
    int m_keptGroups = 0;
    QString m_defaultFamily;
    int m_defaultHalfPoints = 0; // the default font's size in whole half-points, 0 when it has none
};

} // namespace rtf::detail
