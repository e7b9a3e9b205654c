#include "Rtf.h"
#include "private/RtfParser.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

#include <cmath>

using namespace Qt::StringLiterals;

namespace rtf {

namespace detail {

namespace {

constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kObjectReplacement = 0xFFFC;

// Builds the document through one cursor; paragraph breaks are made lazily so that the paragraph mark that
// ends the document adds no empty paragraph.
class DocumentSink final : public Sink {
public:
    DocumentSink(QTextDocument& doc, const Tables& tables)
        : m_doc(doc)
        , m_cursor(&doc)
        , m_tables(tables) {
        // Formatting that only repeats the document's default font is no formatting: a note the notepad
        // wrote gives its text back as it was typed, without a font or size of its own.
        const QFont font = doc.defaultFont();
        m_defaultFamily = font.family();
        const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
        m_defaultHalfPoints = points > 0 ? int(std::lround(points * 2)) : 0;
    }

    void text(const QString& text, const CharProps& props) override {
        breakIfPending();
        m_cursor.insertText(text, charFormat(props));
    }

    void endParagraph(const ParaProps& props) override {
        breakIfPending();
        applyBlockFormat(props);
        m_pendingBreak = true;
    }

    void image(const Picture& picture, const CharProps& props) override {
        breakIfPending();
        const QString name = u"rtf-image:%1.%2"_s.arg(++m_images).arg(QLatin1StringView(picture.format));
        // Decoded by the document when it is first shown.
        m_doc.addResource(QTextDocument::ImageResource, QUrl(name), picture.data);
        QTextImageFormat format;
        format.merge(charFormat(props));
        format.setName(name);
        if (picture.width > 0 && picture.height > 0) {
            format.setWidth(picture.width);
            format.setHeight(picture.height);
        }
        m_cursor.insertImage(format);
    }

    void finish(const ParaProps* lastParagraph) override {
        if (!lastParagraph)
            return;
        breakIfPending();
        applyBlockFormat(*lastParagraph);
    }

private:
    void breakIfPending() {
        if (m_pendingBreak) {
            m_cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
            m_pendingBreak = false;
        }
    }

    void applyBlockFormat(const ParaProps& props) {
        if (props == ParaProps{})
            return;
        QTextBlockFormat format;
        switch (props.align) {
        case 1:
            format.setAlignment(Qt::AlignRight);
            break;
        case 2:
            format.setAlignment(Qt::AlignHCenter);
            break;
        case 3:
            format.setAlignment(Qt::AlignJustify);
            break;
        default:
            break;
        }
        // Twips to the document's pixels (1/96 inch).
        if (props.left)
            format.setLeftMargin(props.left / 15.0);
        if (props.right)
            format.setRightMargin(props.right / 15.0);
        if (props.firstLine)
            format.setTextIndent(props.firstLine / 15.0);
        if (props.before)
            format.setTopMargin(props.before / 15.0);
        if (props.after)
            format.setBottomMargin(props.after / 15.0);
        m_cursor.setBlockFormat(format);
    }

    QTextCharFormat charFormat(const CharProps& props) {
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

    QTextCharFormat makeFormat(const CharProps& props) const {
        QTextCharFormat f;
        const int font = props.font >= 0 ? props.font : m_tables.defaultFont;
        const auto name = m_tables.fontNames.constFind(font);
        if (name != m_tables.fontNames.cend() && name->compare(m_defaultFamily, Qt::CaseInsensitive) != 0)
            f.setFontFamilies(QStringList{*name});
        if (props.size > 0 && props.size != m_defaultHalfPoints)
            f.setFontPointSize(props.size / 2.0);
        if (props.bold)
            f.setFontWeight(QFont::Bold);
        if (props.italic)
            f.setFontItalic(true);
        if (props.underline)
            f.setUnderlineStyle(QTextCharFormat::UnderlineStyle(props.underline));
        if (props.strike)
            f.setFontStrikeOut(true);
        if (props.vertical)
            f.setVerticalAlignment(props.vertical == 1 ? QTextCharFormat::AlignSuperScript
                                                       : QTextCharFormat::AlignSubScript);
        if (props.caps)
            f.setFontCapitalization(props.caps == 1 ? QFont::AllUppercase : QFont::SmallCaps);
        if (const QColor c = color(props.foreground); c.isValid())
            f.setForeground(c);
        if (const QColor c = color(props.background); c.isValid())
            f.setBackground(c);
        if (props.link >= 0 && size_t(props.link) < m_tables.links.size()) {
            f.setAnchor(true);
            f.setAnchorHref(m_tables.links[size_t(props.link)]);
        }
        return f;
    }

    QColor color(int index) const {
        if (index <= 0 || size_t(index) >= m_tables.colors.size())
            return {};
        return m_tables.colors[size_t(index)];
    }

    QTextDocument& m_doc;
    QTextCursor m_cursor;
    const Tables& m_tables;
    QHash<CharProps, QTextCharFormat> m_formats;
    CharProps m_lastProps;
    QTextCharFormat m_lastFormat;
    bool m_haveLast = false;
    bool m_pendingBreak = false;
    int m_images = 0;
    QString m_defaultFamily;
    int m_defaultHalfPoints = 0;
};

class PlainTextSink final : public Sink {
public:
    explicit PlainTextSink(qsizetype expectedSize) { m_text.reserve(expectedSize); }

    void text(const QString& text, const CharProps&) override {
        breakIfPending();
        m_text.append(text);
    }
    void endParagraph(const ParaProps&) override {
        breakIfPending();
        m_pendingBreak = true;
    }
    void image(const Picture&, const CharProps&) override { breakIfPending(); }
    void finish(const ParaProps* lastParagraph) override {
        if (lastParagraph)
            breakIfPending();
    }

    QString take() {
        m_text.replace(QChar(kLineSeparator), u'\n');
        return std::move(m_text);
    }

private:
    void breakIfPending() {
        if (m_pendingBreak) {
            m_text.append(u'\n');
            m_pendingBreak = false;
        }
    }

    QString m_text;
    bool m_pendingBreak = false;
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
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block != doc.begin())
            text.append(u'\n');
        QString line = block.text();
        line.remove(QChar(detail::kObjectReplacement));
        line.replace(QChar(detail::kLineSeparator), u'\n');
        text.append(line);
    }
    return text;
}

} // namespace rtf
