#include "DocSnapshot.h"

#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>

#include <cmath>

using namespace Qt::StringLiterals;

namespace rtftest {

namespace {

int twips(qreal pixels) {
    return int(std::lround(pixels * 15.0));
}

QString colorName(const QTextCharFormat& format, QTextFormat::Property property) {
    if (!format.hasProperty(property))
        return {};
    const QBrush brush = format.brushProperty(property);
    return brush.style() == Qt::NoBrush ? QString() : brush.color().name();
}

CharSnapshot charSnapshot(const QTextDocument& doc, const QTextCharFormat& format) {
    CharSnapshot c;
    const QStringList families = format.fontFamilies().toStringList();
    c.family = families.isEmpty() ? doc.defaultFont().family() : families.first();
    // Like the family, a size the text does not set itself is the document's default size.
    const qreal points = format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize()
                                                                        : doc.defaultFont().pointSizeF();
    c.halfPoints = points > 0 ? int(std::lround(points * 2)) : 0;
    c.bold = format.fontWeight() >= QFont::DemiBold;
    c.italic = format.fontItalic();
    c.underline = format.underlineStyle();
    c.strike = format.fontStrikeOut();
    c.vertical = format.verticalAlignment();
    c.caps = format.fontCapitalization();
    c.foreground = colorName(format, QTextFormat::ForegroundBrush);
    c.background = colorName(format, QTextFormat::BackgroundBrush);
    c.href = format.anchorHref();
    if (format.isImageFormat()) {
        const QTextImageFormat image = format.toImageFormat();
        c.image = true;
        qreal width = image.width();
        qreal height = image.height();
        if (width <= 0 || height <= 0) {
            const QVariant resource = doc.resource(QTextDocument::ImageResource, QUrl(image.name()));
            const QImage natural = resource.userType() == QMetaType::QImage
                                       ? resource.value<QImage>()
                                       : QImage::fromData(resource.toByteArray());
            width = natural.width();
            height = natural.height();
        }
        c.imageWidth = twips(width);
        c.imageHeight = twips(height);
    }
    return c;
}

} // namespace

QString CharSnapshot::describe() const {
    return u"family=%1 size=%2 b=%3 i=%4 ul=%5 s=%6 v=%7 caps=%8 fg=%9 bg=%10 href=%11 image=%12 %13x%14"_s
        .arg(family)
        .arg(halfPoints)
        .arg(bold)
        .arg(italic)
        .arg(underline)
        .arg(strike)
        .arg(vertical)
        .arg(caps)
        .arg(foreground, background, href)
        .arg(image)
        .arg(imageWidth)
        .arg(imageHeight);
}

QList<BlockSnapshot> snapshot(const QTextDocument& doc) {
    QList<BlockSnapshot> blocks;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        BlockSnapshot b;
        b.text = block.text();
        const QTextBlockFormat format = block.blockFormat();
        b.align = int(format.alignment() & Qt::AlignHorizontal_Mask);
        b.left = twips(format.leftMargin());
        b.right = twips(format.rightMargin());
        b.firstLine = twips(format.textIndent());
        b.before = twips(format.topMargin());
        b.after = twips(format.bottomMargin());
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const CharSnapshot c = charSnapshot(doc, fragment.charFormat());
            for (qsizetype i = 0; i < fragment.length(); ++i)
                b.chars.append(c);
        }
        blocks.append(b);
    }
    return blocks;
}

QString firstDifference(const QList<BlockSnapshot>& expected, const QList<BlockSnapshot>& actual) {
    for (qsizetype i = 0; i < std::min(expected.size(), actual.size()); ++i) {
        const BlockSnapshot& e = expected.at(i);
        const BlockSnapshot& a = actual.at(i);
        if (e.text != a.text)
            return u"paragraph %1: text \"%2\" became \"%3\""_s.arg(i).arg(e.text.left(80), a.text.left(80));
        if (e.align != a.align || e.left != a.left || e.right != a.right || e.firstLine != a.firstLine ||
            e.before != a.before || e.after != a.after)
            return u"paragraph %1 (\"%2\"): paragraph format differs"_s.arg(i).arg(e.text.left(40));
        for (qsizetype c = 0; c < e.chars.size(); ++c) {
            if (!(e.chars.at(c) == a.chars.at(c)))
                return u"paragraph %1, character %2 ('%3'): %4 became %5"_s.arg(i).arg(c).arg(
                    e.text.mid(c, 1), e.chars.at(c).describe(), a.chars.at(c).describe());
        }
    }
    if (expected.size() != actual.size())
        return u"%1 paragraphs became %2"_s.arg(expected.size()).arg(actual.size());
    return {};
}

} // namespace rtftest
