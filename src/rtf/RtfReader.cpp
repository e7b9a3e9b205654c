#include "Rtf.h"

#include "private/DocumentSink.h"
#include "private/Interpreter.h"

#include <algorithm>

#include <QTextBlock>

#include <QTextCursor>
#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace rtf {

namespace detail {

namespace {

constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kObjectReplacement = 0xFFFC;

class PlainTextSink final : public Sink {
public:
    explicit PlainTextSink(qsizetype expectedSize) { m_text.reserve(expectedSize); }

    void text(const QString& text, const CharProps&) override {
        if (m_depth > 0) {
            cellBreakIfPending();
            m_row.back().text.append(text);
            return;
        }
        endTable();
        breakIfPending();
        m_text.append(text);
        m_lineUsed = true;
    }
    void endParagraph(const ParaProps&) override {
        if (m_depth > 0) {
            cellBreakIfPending();
            m_row.back().pendingBreak = true;
            return;
        }
        endTable();
        breakIfPending();
        m_pendingBreak = true;
    }
    void image(const Picture&, const CharProps&) override {
        if (m_depth > 0)
            return cellBreakIfPending();
        endTable();
        breakIfPending();
        m_lineUsed = true;
    }
    void finish(const ParaProps* lastParagraph) override {
        endTable();
        if (lastParagraph)
            breakIfPending();
    }
    // Cells are gathered row by row, so that the cells a merged cell covers, which the document does not
    // have, are left out as they are there.
    void tableDepth(int depth) override { m_depth = depth; }
    void endCell(const ParaProps& props) override {
        endParagraph(props);
        if (m_depth == 1)
            m_row.back().ended = true;
    }
    void endRow(const RowDef& row, int depth) override {
        if (depth != 1 || m_row.empty())
            return;
        for (size_t i = 0; i < m_row.size(); ++i) {
            if (i < row.cells.size() && covered(row, i))
                continue;
            putCell(m_row[i], true);
        }
        m_above = row;
        m_row.clear();
    }

    QString take() {
        m_text.replace(QChar(kLineSeparator), u'\n');
        return std::move(m_text);
    }

private:
    struct Cell {
        QString text;
        bool pendingBreak = false;
        bool started = false;
        bool ended = false;
    };

    bool covered(const RowDef& row, size_t i) const {
        const CellDef& cell = row.cells[i];
        if (cell.horizontal == CellMerge::Continued && i > 0)
            return true;
        if (cell.vertical != CellMerge::Continued)
            return false;
        // It continues a merged cell of the row above with the same edges.
        const int left = i == 0 ? row.left : row.cells[i - 1].edge;
        for (size_t j = 0; j < m_above.cells.size(); ++j) {
            const int aboveLeft = j == 0 ? m_above.left : m_above.cells[j - 1].edge;
            if (m_above.cells[j].edge == cell.edge && aboveLeft == left)
                return m_above.cells[j].vertical != CellMerge::None;
        }
        return false;
    }
    void cellBreakIfPending() {
        if (m_row.empty() || m_row.back().ended)
            m_row.emplace_back();
        Cell& cell = m_row.back();
        cell.started = true;
        if (cell.pendingBreak) {
            cell.text.append(u'\n');
            cell.pendingBreak = false;
        }
    }
    // `inRow` for a cell of a row that ended; the cells of one that did not are the body's paragraphs.
    void putCell(const Cell& cell, bool inRow) {
        if (!cell.started)
            return;
        // A table starts a paragraph of its own: one left open before it ends there.
        if (inRow && !m_tableStarted && m_lineUsed)
            m_pendingBreak = true;
        m_tableStarted = m_tableStarted || inRow;
        breakIfPending();
        m_text.append(cell.text);
        m_pendingBreak = cell.pendingBreak;
    }
    // What is left of a table's rows when text outside it comes.
    void endTable() {
        // A row that did not end is the table's when a cell of it did, as in the document.
        const bool inRow =
            std::any_of(m_row.begin(), m_row.end(), [](const Cell& cell) { return cell.ended; });
        for (const Cell& cell : m_row)
            putCell(cell, inRow);
        m_row.clear();
        m_above = RowDef{};
        m_tableStarted = false;
    }
    void breakIfPending() {
        if (m_pendingBreak) {
            m_text.append(u'\n');
            m_pendingBreak = false;
            m_lineUsed = false;
        }
    }

    QString m_text;
    bool m_pendingBreak = false;
    int m_depth = 0;
    bool m_lineUsed = false;     // the paragraph being read has text or a picture
    bool m_tableStarted = false; // cells of the current table were put out
    std::vector<Cell> m_row;     // the cells of the body's table row being read
    RowDef m_above;              // the words of the row before it
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

std::optional<QString> readPlainText(const QByteArray& bytes) {
    if (!isRtf(bytes))
        return std::nullopt;
    detail::Tables tables;
    detail::PlainTextSink sink(bytes.size() / 2);
    detail::parse(bytes, sink, tables);
    return sink.take();
}

QString plainText(const QTextDocument& doc) {
    QString text;
    bool first = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (detail::holdsTableOnly(block))
            continue;
        if (!first)
            text.append(u'\n');
        first = false;
        QString line = block.text();
        line.remove(QChar(detail::kObjectReplacement));
        line.replace(QChar(detail::kLineSeparator), u'\n');
        text.append(line);
    }
    return text;
}

} // namespace rtf
