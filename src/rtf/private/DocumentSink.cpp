#include "DocumentSink.h"

#include "KeptRtf.h"
#include "Pictures.h"
#include "Units.h"

#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace rtf::detail {

DocumentSink::DocumentSink(QTextDocument& doc, const Tables& tables)
    : m_doc(doc)
    , m_cursor(&doc)
    , m_tables(tables) {
    // Formatting that only repeats the document's default font is no formatting: a note the notepad wrote
    // gives its text back as it was typed, without a font or size of its own.
    const QFont font = doc.defaultFont();
    m_defaultFamily = font.family();
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    m_defaultHalfPoints = points > 0 ? int(wholeHalfPoints(points)) : 0;
}

void DocumentSink::text(const QString& text, const CharProps& props) {
    breakIfPending();
    m_cursor.insertText(text, charFormat(props));
}

void DocumentSink::endParagraph(const ParaProps& props) {
    breakIfPending();
    applyBlockFormat(props);
    m_pendingBreak = true;
}

void DocumentSink::image(const Picture& picture, const CharProps& props) {
    breakIfPending();
    const QString name = u"rtf-image:%1"_s.arg(++m_images);
    m_doc.addResource(QTextDocument::ImageResource, QUrl(name), shownPicture(picture));
    QTextImageFormat format;
    format.merge(charFormat(props));
    format.setName(name);
    if (!picture.kept.isEmpty())
        format.setProperty(kKeptRtfProperty, picture.kept);
    if (picture.width > 0 && picture.height > 0) {
        format.setWidth(picture.width);
        format.setHeight(picture.height);
    }
    m_cursor.insertImage(format);
}

void DocumentSink::finish(const ParaProps* lastParagraph) {
    if (!lastParagraph)
        return;
    breakIfPending();
    applyBlockFormat(*lastParagraph);
}

void DocumentSink::breakIfPending() {
    if (m_pendingBreak) {
        m_cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
        m_pendingBreak = false;
    }
}

void DocumentSink::applyBlockFormat(const ParaProps& props) {
    if (props == ParaProps{})
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
    if (props.left)
        format.setLeftMargin(pixelsFromTwips(props.left));
    if (props.right)
        format.setRightMargin(pixelsFromTwips(props.right));
    if (props.firstLine)
        format.setTextIndent(pixelsFromTwips(props.firstLine));
    if (props.before)
        format.setTopMargin(pixelsFromTwips(props.before));
    if (props.after)
        format.setBottomMargin(pixelsFromTwips(props.after));
    m_cursor.setBlockFormat(format);
}

QTextCharFormat DocumentSink::charFormat(const CharProps& props) {
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

} // namespace rtf::detail
