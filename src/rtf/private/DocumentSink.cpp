#include "DocumentSink.h"

#include "Pictures.h"
#include "Syntax.h"
#include "TableLayout.h"
#include "Units.h"

#include "../Kept.h"

#include <QTextFrame>

#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextTable>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace rtf::detail {

DocumentSink::DocumentSink(QTextDocument& doc, const Tables& tables, bool textOnly)
    : m_doc(doc)
    , m_cursor(&doc)
    , m_tables(tables)
    , m_lists(tables.lists) {
    m_textOnly = textOnly;
    // Formatting that only repeats the document's default font is no formatting: a note the notepad wrote
    // gives its text back as it was typed, without a font or size of its own.
    const QFont font = doc.defaultFont();
    m_defaultFamily = font.family();
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    m_defaultHalfPoints = points > 0 ? int(wholeHalfPoints(points)) : 0;
}

void DocumentSink::text(const QString& text, const CharProps& props) {
    if (gathering())
        return m_table.text(m_depth, text, props);
    breakIfPending();
    m_cursor.insertText(text, charFormat(props));
}

void DocumentSink::endParagraph(const ParaProps& props) {
    if (gathering())
        return m_table.endParagraph(m_depth, props);
    breakIfPending();
    applyBlockFormat(props);
    m_pendingBreak = true;
}

void DocumentSink::image(const Picture& picture, const CharProps& props) {
    if (gathering())
        return m_table.image(m_depth, picture, props);
    breakIfPending();
    if (m_textOnly)
        return m_cursor.insertText(QString(QChar(kObjectReplacement)));
    const QString name = u"rtf-image:%1"_s.arg(++m_images);
    m_doc.addResource(QTextDocument::ImageResource, QUrl(name), shownPicture(picture));
    QTextImageFormat format;
    format.merge(charFormat(props));
    format.setName(name);
    if (!picture.kept.isEmpty()) {
        format.setProperty(kKeptRtf, picture.kept);
        format.setProperty(kKeptId, ++m_keptGroups);
    }
    if (picture.width > 0 && picture.height > 0) {
        format.setWidth(picture.width);
        format.setHeight(picture.height);
    }
    m_cursor.insertImage(format);
}

void DocumentSink::kept(const KeptGroup& group, const CharProps& props) {
    if (gathering())
        return m_table.kept(m_depth, group, props);
    breakIfPending();
    QTextCharFormat keptFormat;
    keptFormat.setProperty(kKeptRtf, group.rtf);
    keptFormat.setProperty(kKeptId, ++m_keptGroups);
    keptFormat.setToolTip(group.text);
    keptFormat.setProperty(kKeptFont, props.font);
    if (group.unicodeSkip != 1)
        keptFormat.setProperty(kKeptUnicodeSkip, group.unicodeSkip);
    if (group.markLength > 0 && m_cursor.positionInBlock() >= group.markLength) {
        QTextCursor mark = m_cursor;
        mark.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor, group.markLength);
        mark.mergeCharFormat(keptFormat);
    } else {
        // Nothing of the group shows: an object replacement character without an object holds it, taking
        // no room.
        QTextCharFormat format = charFormat(props);
        format.merge(keptFormat);
        m_cursor.insertText(QString(QChar(kObjectReplacement)), format);
    }
}

void DocumentSink::finish(const ParaProps* lastParagraph) {
    m_depth = 0;
    gathering(); // a table the document ends in
    if (m_keptGroups > 0 || !m_tables.fieldInstructions.empty()) {
        QVariantMap fonts;
        for (auto it = m_tables.fontNames.cbegin(); it != m_tables.fontNames.cend(); ++it)
            fonts.insert(QString::number(it.key()), *it);
        QVariantMap colors;
        for (size_t i = 0; i < m_tables.colors.size(); ++i) {
            if (m_tables.colors[i].isValid())
                colors.insert(QString::number(i), m_tables.colors[i]);
        }
        QTextFrameFormat root = m_doc.rootFrame()->frameFormat();
        root.setProperty(kKeptFonts, fonts);
        root.setProperty(kKeptColors, colors);
        QVariantMap charsets;
        for (auto it = m_tables.fontCharsets.cbegin(); it != m_tables.fontCharsets.cend(); ++it)
            charsets.insert(QString::number(it.key()), *it);
        root.setProperty(kKeptFontCharsets, charsets);
        if (m_tables.ansiCodePage > 0)
            root.setProperty(kKeptCodePage, m_tables.ansiCodePage);
        m_doc.rootFrame()->setFrameFormat(root);
    }
    if (m_besideTable) {
        // The document ended in the table; its last paragraph was the table's.
        markBesideTable();
        return;
    }
    if (!lastParagraph)
        return;
    breakIfPending();
    applyBlockFormat(*lastParagraph);
}

void DocumentSink::breakIfPending() {
    m_besideTable = false;
    if (m_pendingBreak) {
        m_cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        m_pendingBreak = false;
    }
}

void DocumentSink::applyBlockFormat(const ParaProps& props) {
    if (m_textOnly || props == ParaProps{})
        return;
    QTextBlockFormat format;
    switch (props.align) {
    case Alignment::Right:
        format.setAlignment(Qt::AlignRight);
        break;
    case Alignment::Centre:
        format.setAlignment(Qt::AlignHCenter);
        break;
    case Alignment::Justified:
        format.setAlignment(Qt::AlignJustify);
        break;
    case Alignment::Left:
        break;
    }
    // An item of a list the editor shows is indented by its list's level, with the marker hanging before
    // the text; the paragraph keeps what it has beyond that.
    int list = props.list;
    int level = props.level;
    if (list != 0 && !m_tables.lists.level(list, level))
        list = 0;
    if (list == 0 && props.numbering != 0 && m_tables.lists.level(props.numbering, 0))
        list = props.numbering;
    int left = props.left;
    int firstLine = props.firstLine;
    if (list != 0) {
        left = std::max(0, left - (level + 1) * kListLevelIndent);
        firstLine += kListMarkerHang;
    }
    if (left)
        format.setLeftMargin(pixelsFromTwips(left));
    if (props.right)
        format.setRightMargin(pixelsFromTwips(props.right));
    if (firstLine)
        format.setTextIndent(pixelsFromTwips(firstLine));
    if (props.before)
        format.setTopMargin(pixelsFromTwips(props.before));
    if (props.after)
        format.setBottomMargin(pixelsFromTwips(props.after));
    m_cursor.setBlockFormat(format);
    if (list != 0)
        m_lists.add(m_cursor, list, level);
}

QTextCharFormat DocumentSink::charFormat(const CharProps& props) {
    if (m_textOnly)
        return {};
    if (m_haveLast && props == m_lastProps)
        return m_lastFormat;
    auto it = m_formats.constFind(props);
    if (it == m_formats.cend())
        it = m_formats.insert(props, makeFormat(props));
    m_lastProps = props;
    m_lastFormat = *it;
    m_haveLast = true;
    return m_lastFormat;
}

QTextCharFormat DocumentSink::makeFormat(const CharProps& props) const {
    QTextCharFormat f;
    const int font = props.font >= 0 ? props.font : m_tables.defaultFont;
    const auto name = m_tables.fontNames.constFind(font);
    if (name != m_tables.fontNames.cend() && name->compare(m_defaultFamily, Qt::CaseInsensitive) != 0)
        f.setFontFamilies(QStringList{*name});
    if (props.size > 0 && props.size != m_defaultHalfPoints)
        f.setFontPointSize(pointsFromHalfPoints(props.size));
    if (props.bold)
        f.setFontWeight(QFont::Bold);
    if (props.italic)
        f.setFontItalic(true);
    if (props.underline != QTextCharFormat::NoUnderline)
        f.setUnderlineStyle(props.underline);
    if (props.strike)
        f.setFontStrikeOut(true);
    switch (props.vertical) {
    case VerticalPosition::Superscript:
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        break;
    case VerticalPosition::Subscript:
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
        break;
    case VerticalPosition::Normal:
        break;
    }
    switch (props.caps) {
    case Capitals::All:
        f.setFontCapitalization(QFont::AllUppercase);
        break;
    case Capitals::Small:
        f.setFontCapitalization(QFont::SmallCaps);
        break;
    case Capitals::Normal:
        break;
    }
    if (const QColor c = color(props.foreground); c.isValid())
        f.setForeground(c);
    if (const QColor c = color(props.background); c.isValid())
        f.setBackground(c);
    if (props.field >= 0 && size_t(props.field) < m_tables.fieldInstructions.size()) {
        f.setProperty(kKeptFieldInstruction, m_tables.fieldInstructions[size_t(props.field)]);
        // Negative, so that no field shares its id with a kept group, which count up from 1.
        f.setProperty(kKeptId, -(props.field + 1));
    }
    if (props.link >= 0 && size_t(props.link) < m_tables.links.size()) {
        f.setAnchor(true);
        f.setAnchorHref(m_tables.links[size_t(props.link)]);
    }
    return f;
}

QColor DocumentSink::color(int index) const {
    if (index <= 0 || size_t(index) >= m_tables.colors.size())
        return {};
    return m_tables.colors[size_t(index)];
}

// Tables: their content is gathered until the table ends, then built in one go.

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

void DocumentSink::insertTable(const TableRecord& record) {
    insertRows(record);
    if (const RowRecord* after = trailingParagraphs(record)) {
        for (const CellRecord& cell : after->cells)
            replay(record, cell.events);
    }
}

bool DocumentSink::insertRows(const TableRecord& record) {
    const TableLayout layout(record, [this](int index) { return color(index); });
    if (layout.isEmpty())
        return false;
    for (size_t part = 0; part < layout.partCount(); ++part) {
        if (part > 0) {
            // The empty block between two parts takes no room.
            QTextBlockFormat between = m_cursor.blockFormat();
            between.setLineHeight(0, QTextBlockFormat::FixedHeight);
            m_cursor.setBlockFormat(between);
        }
        insertPart(record, layout, part);
    }
    return true;
}

void DocumentSink::insertPart(const TableRecord& record, const TableLayout& layout, size_t part) {
    // The paragraph before the table ends with the table. A table cannot be the first thing in the document
    // or a cell: an empty block stays before it there, which is not the note's. The empty block between two
    // tables is a paragraph of the note's, which keeps them two tables; the parts of one long table are one.
    const bool afterTable = m_besideTable && part == 0;
    if (!afterTable && !m_pendingBreak && m_cursor.block().length() == 1 && m_cursor.atBlockStart())
        markBesideTable();
    m_besideTable = false;
    m_pendingBreak = false;
    const QTextTable* table =
        layout.insertPart(m_cursor, part, [&](const QTextTableCell& target, const PlacedCell& cell) {
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
        });
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
