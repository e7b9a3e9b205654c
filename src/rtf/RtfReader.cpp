#include "Kept.h"
#include "Rtf.h"

#include "private/DocumentSink.h"
#include "private/Interpreter.h"
#include "private/Syntax.h"
#include "private/TableBuilder.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

using namespace Qt::StringLiterals;

namespace rtf {

namespace detail {

namespace {

// The text of the document's paragraphs, one line each, and the text of its kept groups in `kept`.
QString documentText(const QTextDocument& doc, QStringList* kept) {
    QString text;
    int lastKept = 0;
    bool first = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (kept) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (!isKept(format) || format.intProperty(kKeptId) == lastKept)
                    continue;
                lastKept = format.intProperty(kKeptId);
                if (const QString note = format.toolTip(); !note.isEmpty())
                    kept->append(note);
            }
        }
        if (holdsTableOnly(block))
            continue;
        if (!first)
            text.append(u'\n');
        first = false;
        QString line = block.text();
        line.remove(QChar(kObjectReplacement));
        line.replace(QChar(kLineSeparator), u'\n');
        text.append(line);
    }
    return text;
}

// The text the document would show, without building it. Tables are the exception: each is built on its own
// by the document's code, so that its cells, merges and the paragraphs around it come out as the document has
// them.

class PlainTextSink final : public Sink {
public:
    PlainTextSink(qsizetype expectedSize, const Tables& tables)
        : m_tables(tables) {
        m_text.reserve(expectedSize);
    }

    void text(const QString& text, const CharProps& props) override {
        if (gathering())
            return m_table.text(m_depth, text, props);
        breakIfPending();
        m_text.append(text);
        m_lineUsed = true;
    }
    void endParagraph(const ParaProps& props) override {
        if (gathering())
            return m_table.endParagraph(m_depth, props);
        breakIfPending();
        m_pendingBreak = true;
    }
    void image(const Picture& picture, const CharProps& props) override {
        if (gathering())
            return m_table.image(m_depth, picture, props);
        breakIfPending();
        m_lineUsed = true;
    }
    void kept(const KeptGroup& group, const CharProps& props) override {
        if (gathering())
            return m_table.kept(m_depth, group, props);
        breakIfPending();
        m_lineUsed = true;
        if (!group.text.isEmpty())
            m_kept.append(group.text);
    }
    void finish(const ParaProps* lastParagraph) override {
        m_depth = 0;
        gathering();
        if (m_besideTable)
            return; // the empty block after a table that ends the document is not the note's
        if (lastParagraph)
            breakIfPending();
    }
    void tableDepth(int depth) override { m_depth = depth; }
    void endCell(const ParaProps& props) override {
        if (m_depth > 0)
            m_table.endCell(m_depth, props);
        else
            endParagraph(props);
    }
    void endRow(const RowDef& row, int depth) override { m_table.endRow(depth, row); }

    QString take(TextScope scope) {
        if (scope == TextScope::WithKept) {
            for (const QString& kept : std::as_const(m_kept))
                m_text.append(u'\n' + kept);
        }
        m_text.replace(QChar(kLineSeparator), u'\n');
        return std::move(m_text);
    }

private:
    bool gathering() {
        if (m_depth > 0)
            return true;
        if (m_table.isOpen())
            putTable(*m_table.take());
        return false;
    }
    void putTable(const TableRecord& record) {
        QString cells;
        QStringList cellsKept;
        if (plainGridText(record, cells, cellsKept)) {
            startTable();
            m_text.append(cells);
            m_kept.append(cellsKept);
            m_pendingBreak = false;
            m_lineUsed = false;
            m_besideTable = true;
            return;
        }
        if (!m_scratch) {
            m_scratch = std::make_unique<QTextDocument>();
            m_scratch->setUndoRedoEnabled(false);
        }
        // In one edit, as the document is read: the document's frames are then found once, not after each
        // table.
        QTextCursor edit(m_scratch.get());
        edit.beginEditBlock();
        m_scratch->clear();
        DocumentSink sink(*m_scratch, m_tables, true);
        const bool inserted = sink.insertRows(record);
        sink.finish(nullptr);
        edit.endEditBlock();
        if (inserted) {
            startTable();
            QStringList kept;
            m_text.append(documentText(*m_scratch, &kept));
            m_kept.append(kept);
            m_pendingBreak = false;
            m_lineUsed = false;
            m_besideTable = true;
        }
        if (const RowRecord* after = trailingParagraphs(record)) {
            for (const CellRecord& cell : after->cells)
                replay(record, cell.events);
        }
    }
    // The table follows the paragraph it is in, unless that one is empty: then the document keeps the
    // paragraph only because a table cannot start there, and does not show it. Right after another table,
    // the empty paragraph between them is the note's.
    void startTable() {
        if (m_besideTable)
            m_text.append(u'\n');
        if (m_pendingBreak || m_lineUsed || m_besideTable)
            m_text.append(u'\n');
    }
    // The text of a table whose rows all have the same cells, each with its own column and no merge or nested
    // table, the way the document has it: one line per cell, row by row. False for any other table, which the
    // document's code then builds.
    static bool plainGridText(const TableRecord& record, QString& text, QStringList& kept) {
        if (record.rows.empty() || !record.nested.empty())
            return false;
        const RowDef& first = record.rows.front().def;
        if (first.cells.empty())
            return false;
        int left = first.left;
        for (const CellDef& cell : first.cells) {
            if (cell.edge - left <= 2 * kGridTolerance || cell.horizontal != CellMerge::None ||
                cell.vertical != CellMerge::None)
                return false;
            left = cell.edge;
        }
        for (const RowRecord& row : record.rows) {
            if (!row.ended || row.cells.size() != first.cells.size() || row.def.left != first.left ||
                row.def.cells.size() != first.cells.size())
                return false;
            for (size_t i = 0; i < row.cells.size(); ++i) {
                const CellDef& def = row.def.cells[i];
                if (!row.cells[i].ended || def.edge != first.cells[i].edge ||
                    def.horizontal != CellMerge::None || def.vertical != CellMerge::None)
                    return false;
            }
        }
        bool firstCell = true;
        for (const RowRecord& row : record.rows) {
            for (const CellRecord& cell : row.cells) {
                if (!firstCell)
                    text.append(u'\n');
                firstCell = false;
                bool pending = false;
                for (const CellEvent& event : cell.events) {
                    if (event.kind == CellEvent::Kind::Paragraph) {
                        if (pending)
                            text.append(u'\n');
                        pending = true;
                        continue;
                    }
                    if (pending)
                        text.append(u'\n');
                    pending = false;
                    if (event.kind == CellEvent::Kind::Text)
                        text.append(event.text);
                    else if (event.kind == CellEvent::Kind::Kept &&
                             !record.kept[size_t(event.index)].text.isEmpty())
                        kept.append(record.kept[size_t(event.index)].text);
                }
            }
        }
        return true;
    }
    void replay(const TableRecord& record, const std::vector<CellEvent>& events) {
        replayCellEvents(*this, record, events, [this](const TableRecord& nested) { putTable(nested); });
    }
    void breakIfPending() {
        if (m_besideTable) {
            m_text.append(u'\n'); // the block after a table has something now
            m_besideTable = false;
        }
        if (m_pendingBreak) {
            m_text.append(u'\n');
            m_pendingBreak = false;
            m_lineUsed = false;
        }
    }

    const Tables& m_tables;
    QString m_text;
    QStringList m_kept;
    bool m_pendingBreak = false;
    bool m_lineUsed = false;    // the paragraph being read has text, a picture or a kept group
    bool m_besideTable = false; // a table ended the last paragraph, and nothing has come since
    int m_depth = 0;
    TableBuilder m_table;
    std::unique_ptr<QTextDocument> m_scratch;
};

} // namespace

} // namespace detail

bool isRtf(const QByteArray& bytes) {
    qsizetype i = 0;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < bytes.size()) {
        const char c = bytes.at(i);
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\v')
            break;
        ++i;
    }
    return QByteArrayView(bytes).sliced(i).startsWith("{\\rtf");
}

bool read(const QByteArray& bytes, QTextDocument& doc) {
    if (!isRtf(bytes))
        return false;
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false); // also forgets the previous note's undo history
    // Clearing inside the edit block makes the whole load one change from an empty document, which a
    // QTextEdit's layout then does lazily, as for setPlainText(), instead of at once.
    QTextCursor editBlock(&doc);
    editBlock.beginEditBlock();
    doc.clear();
    detail::Tables tables;
    {
        detail::DocumentSink sink(doc, tables);
        detail::parse(bytes, sink, tables);
    }
    editBlock.endEditBlock();
    doc.setMetaInformation(QTextDocument::DocumentTitle, tables.title);
    doc.setUndoRedoEnabled(undo);
    doc.setModified(false);
    return true;
}

std::optional<QString> readPlainText(const QByteArray& bytes, TextScope scope) {
    if (!isRtf(bytes))
        return std::nullopt;
    detail::Tables tables;
    detail::PlainTextSink sink(bytes.size() / 2, tables);
    detail::parse(bytes, sink, tables);
    return sink.take(scope);
}

QString plainText(const QTextDocument& doc, TextScope scope) {
    QStringList kept;
    QString text = detail::documentText(doc, scope == TextScope::WithKept ? &kept : nullptr);
    for (const QString& note : std::as_const(kept)) {
        text.append(u'\n');
        text.append(QString(note).replace(QChar(detail::kLineSeparator), u'\n'));
    }
    return text;
}

} // namespace rtf
