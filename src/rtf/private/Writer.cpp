#include "Writer.h"

#include "CodePages.h"
#include "Lists.h"
#include "Syntax.h"
#include "TableBuilder.h"
#include "TableWriter.h"
#include "Units.h"

#include "../Kept.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTextList>
#include <QTextTable>
#include <QUrl>

#include <cmath>

using namespace Qt::StringLiterals;

namespace rtf::detail {

namespace {

QString familyOf(const QTextCharFormat& format) {
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        return families.first();
    return format.property(QTextFormat::FontFamily).toString();
}

QColor brushColor(const QTextCharFormat& format, QTextFormat::Property property) {
    if (!format.hasProperty(property))
        return {};
    const QBrush brush = format.brushProperty(property);
    return brush.style() == Qt::NoBrush ? QColor() : brush.color();
}

// Whether a fragment of `format` is in the field of `id` with `instruction`.
bool sameField(const QTextCharFormat& format, int id, const QByteArray& instruction) {
    return !isKept(format) && format.intProperty(kKeptId) == id &&
           format.property(kKeptFieldInstruction).toByteArray() == instruction;
}

// The RTF picture kind of image bytes that RTF can carry as they are; null for any other.
const char* blipWord(const QByteArray& bytes) {
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return "\\pngblip";
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return "\\jpegblip";
    return nullptr;
}

} // namespace

QByteArray Writer::run() {
    collectTables();
    m_out.reserve(m_doc.characterCount() * 2 + 1024);
    writeHeader();
    writeFrame(m_doc.rootFrame());
    m_out.append("}\r\n");
    return std::move(m_out);
}

void Writer::collectTables() {
    fontIndex(m_doc.defaultFont().family());
    TableWriter::collectColors(m_doc.rootFrame(), [this](const QColor& c) { return colorIndex(c); });
    // Fragments share their formats: the fonts and colours of each format are looked at once.
    for (QTextBlock block = m_doc.begin(); block.isValid(); block = block.next()) {
        QList<QTextCharFormat> formats;
        if (block.textList())
            formats.append(block.charFormat());
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const bool unseen = !m_facts.contains(fragment.charFormatIndex());
            const FormatFacts facts = factsOf(fragment);
            if (!unseen && !facts.kept && !facts.field)
                continue;
            const QTextCharFormat format = fragment.charFormat();
            if (facts.kept) {
                m_kept.collect(format.property(kKeptRtf).toByteArray());
                if (!format.isImageFormat())
                    m_kept.outerFont(format);
            }
            if (unseen)
                formats.append(format);
            if (facts.field)
                m_kept.collect(format.property(kKeptFieldInstruction).toByteArray());
        }
        for (const QTextCharFormat& format : std::as_const(formats)) {
            const QString family = familyOf(format);
            if (!family.isEmpty())
                fontIndex(family);
            if (const QColor c = brushColor(format, QTextFormat::ForegroundBrush); c.isValid())
                colorIndex(c);
            if (const QColor c = brushColor(format, QTextFormat::BackgroundBrush); c.isValid())
                colorIndex(c);
        }
    }
}

Writer::FormatFacts Writer::factsOf(const QTextFragment& fragment) {
    const int index = fragment.charFormatIndex();
    if (const auto known = m_facts.constFind(index); known != m_facts.cend())
        return *known;
    const QTextCharFormat format = fragment.charFormat();
    const FormatFacts facts{isKept(format), format.hasProperty(kKeptFieldInstruction), format.anchorHref()};
    m_facts.insert(index, facts);
    return facts;
}

int Writer::fontIndex(const QString& family, int charset) {
    if (const auto it = m_fontIndex.constFind(family); it != m_fontIndex.cend()) {
        Font& font = m_fonts[*it];
        if (charset < 0 || font.charset == charset)
            return *it;
        if (font.charset < 0) {
            font.charset = charset;
            return *it;
        }
        if (const auto other = m_charsetFonts.constFind({family, charset}); other != m_charsetFonts.cend())
            return *other;
        m_fonts.append({family, charset});
        m_charsetFonts.insert({family, charset}, int(m_fonts.size() - 1));
        return int(m_fonts.size() - 1);
    }
    m_fonts.append({family, charset});
    m_fontIndex.insert(family, int(m_fonts.size() - 1));
    return int(m_fonts.size() - 1);
}

// Index into the colour table; entry 0 is "automatic", so real colours start at 1.
int Writer::colorIndex(const QColor& color) {
    const QRgb rgb = color.rgb() | 0xFF000000u;
    const auto it = m_colorIndex.constFind(rgb);
    if (it != m_colorIndex.cend())
        return *it;
    m_colors.append(rgb);
    m_colorIndex.insert(rgb, int(m_colors.size()));
    return int(m_colors.size());
}

void Writer::writeHeader() {
    // Text is written as \uN, which needs no code page; kept RTF's bytes keep theirs.
    appendNumber(m_out, "{\\rtf1\\ansi\\ansicpg", m_kept.codePage());
    m_out.append("\\deff0\\uc1\r\n{\\fonttbl");
    for (qsizetype i = 0; i < m_fonts.size(); ++i) {
        appendNumber(m_out, "{\\f", i);
        const Font& font = m_fonts.at(i);
        const int charset = font.charset >= 0 ? font.charset : m_kept.defaultCharset();
        m_glyphFonts.push_back(fontCodePage(codePageForCharset(charset), font.family) < 0);
        appendNumber(m_out, "\\fnil\\fcharset", charset);
        m_out.append(' ');
        // A ";" ends the name, so one inside it is written as \u59.
        for (const QString& part = font.family; const QStringView piece : QStringView(part).split(u';')) {
            if (piece.data() != part.constData())
                m_out.append("\\u59?");
            appendRtfText(m_out, piece);
        }
        m_out.append(";}");
    }
    m_out.append("}\r\n{\\colortbl ;");
    for (const QRgb rgb : std::as_const(m_colors)) {
        appendNumber(m_out, "\\red", qRed(rgb));
        appendNumber(m_out, "\\green", qGreen(rgb));
        appendNumber(m_out, "\\blue", qBlue(rgb));
        m_out.append(';');
    }
    m_out.append("}\r\n");
    m_lists.writeTables(m_out);
    // Text without formatting of its own has the document's default font, which readers take from the
    // default character formatting, the default style and the state the body starts in; other readers would
    // take 12 pt. Only the text that has a size of its own says so.
    const QFont font = m_doc.defaultFont();
    const qreal points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    m_defaultHalfPoints = points > 0 ? int(wholeHalfPoints(points)) : 0;
    QByteArray defaults = "\\f0";
    if (m_defaultHalfPoints > 0)
        defaults += "\\fs" + QByteArray::number(m_defaultHalfPoints);
    m_out.append("{\\*\\defchp" + defaults + "}\r\n{\\stylesheet{" + defaults + " Normal;}}\r\n");
    const QString title = m_doc.metaInformation(QTextDocument::DocumentTitle);
    if (!title.isEmpty()) {
        m_out.append("{\\info{\\title ");
        writeText(title);
        m_out.append("}}\r\n");
    }
    m_out.append("\\viewkind4" + defaults + "\r\n");
}

void Writer::writeFrame(const QTextFrame* frame) {
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        const QTextFrame* child = it.currentFrame();
        if (!child) {
            // The empty block a table needs beside it where nothing else is, is not the note's.
            if (!holdsTableOnly(it.currentBlock()))
                writeBlock(it.currentBlock());
        } else if (const auto* table = qobject_cast<const QTextTable*>(child)) {
            // Columns without a fixed width share the width the editor gives the text, or a page's.
            const qreal shown = m_doc.textWidth() - 2 * m_doc.documentMargin();
            TableWriter tables(
                m_out, shown > 0 ? wholeTwips(shown) : 8640,
                [this](const QColor& c) { return colorIndex(c); },
                [this](const QTextBlock& block, int depth, const char* ending) {
                    writeBlock(block, depth, ending);
                });
            tables.write(table);
        } else {
            writeFrame(child);
        }
    }
}

// The words that begin a paragraph of `block`, in `list`, at table depth `depth`, ending with a space.
void Writer::writeParagraphWords(const QTextBlock& block, const QTextList* list, int depth) {
    const QTextBlockFormat format = block.blockFormat();
    m_out.append("\\pard");
    TableWriter::appendParagraphWords(m_out, depth);
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignHCenter)
        m_out.append("\\qc");
    else if (align & Qt::AlignJustify)
        m_out.append("\\qj");
    else if (align & (Qt::AlignRight | Qt::AlignTrailing))
        m_out.append("\\qr");
    if (list)
        m_lists.writeParagraphWords(m_out, list);
    const int indentLevels = format.indent() + (list ? list->format().indent() : 0);
    const int left = wholeTwips(format.leftMargin() + indentLevels * m_doc.indentWidth());
    if (left != 0)
        appendNumber(m_out, "\\li", left);
    if (const int right = wholeTwips(format.rightMargin()); right != 0)
        appendNumber(m_out, "\\ri", right);
    // A list's marker hangs in the paragraph's indent, as the editor shows it.
    if (const int first = wholeTwips(format.textIndent()) - (list ? kListMarkerHang : 0); first != 0)
        appendNumber(m_out, "\\fi", first);
    if (const int before = wholeTwips(format.topMargin()); before != 0)
        appendNumber(m_out, "\\sb", before);
    if (const int after = wholeTwips(format.bottomMargin()); after != 0)
        appendNumber(m_out, "\\sa", after);
    m_out.append(' ');
}

void Writer::writeBlock(const QTextBlock& block, int depth, const char* ending) {
    // Blocks share their formats, and a block's format also says which list it is in: the paragraph words
    // of each format at each depth are made once.
    const quint64 key = quint64(uint(block.blockFormatIndex())) << 32 | uint(depth);
    auto paragraph = m_paragraphs.constFind(key);
    if (paragraph == m_paragraphs.cend()) {
        const qsizetype start = m_out.size();
        QTextList* list = block.textList();
        writeParagraphWords(block, list, depth);
        paragraph = m_paragraphs.insert(key, {m_out.sliced(start), list});
    } else {
        m_out.append(paragraph->words);
    }
    QTextList* list = paragraph->list;

    if (list) {
        // Readers that know lists make their own marker from the list table and skip this one.
        m_out.append("{\\listtext ");
        writeCharFormat(withoutKept(block.charFormat()));
        writeText(ListWriter::marker(list, block), familyOf(block.charFormat()));
        m_out.append("\\tab}");
    }

    auto it = block.begin();
    while (!it.atEnd()) {
        const FormatFacts facts = factsOf(it.fragment());
        // A field whose result holds links (a table of contents, say) is written around them.
        if (facts.href.isEmpty() || (facts.field && !facts.kept && fieldOutlastsLink(it))) {
            writeNext(it);
            continue;
        }
        // Neighbouring fragments with the same address form one hyperlink field.
        writeLinkStart(facts.href);
        while (!it.atEnd() && factsOf(it.fragment()).href == facts.href)
            writeNext(it, true);
        m_out.append("}}}");
    }
    m_out.append(ending);
}

// Writes a hyperlink field up to its result's text; "}}}" ends it.
void Writer::writeLinkStart(const QString& href) {
    m_out.append("{\\field{\\*\\fldinst{HYPERLINK ");
    QString target = href;
    if (target.size() > 1 && target.startsWith(u'#')) {
        m_out.append("\\\\l ");
        target.remove(0, 1);
    }
    target.replace(u"\\"_s, u"\\\\"_s).replace(u"\""_s, u"\\\""_s);
    m_out.append('"');
    writeText(target);
    m_out.append("\"}}{\\fldrslt{");
}

// Writes the fragment at `it` and moves past it, or past the whole kept group or field it begins; within a
// link, a field ends where the link does.
void Writer::writeNext(QTextBlock::iterator& it, bool withinLink) {
    const FormatFacts facts = factsOf(it.fragment());
    if (facts.kept) {
        writeKept(it);
    } else if (facts.field) {
        writeField(it, withinLink);
    } else {
        writeFragment(it.fragment());
        ++it;
    }
}

// Whether the field that begins at `it` goes on past the end of the link there.
bool Writer::fieldOutlastsLink(QTextBlock::iterator it) {
    const QTextCharFormat first = it.fragment().charFormat();
    const int id = first.intProperty(kKeptId);
    const QByteArray instruction = first.property(kKeptFieldInstruction).toByteArray();
    const QString href = factsOf(it.fragment()).href;
    for (; !it.atEnd() && sameField(it.fragment().charFormat(), id, instruction); ++it) {
        if (factsOf(it.fragment()).href != href)
            return true;
    }
    return false;
}

// A kept group shown by a picture is written in place of each of its object replacement characters.
// Neighbouring fragments of another kept group stand for it together: its bytes are written once, after the
// formatting its mark or anchor had, which it takes again when read. No group is added around them, so that
// they stay as deep as they were; \plain undoes the formatting for what follows.
void Writer::writeKept(QTextBlock::iterator& it) {
    const QTextCharFormat first = it.fragment().charFormat();
    const QByteArray kept = first.property(kKeptRtf).toByteArray();
    if (first.hasProperty(QTextFormat::ImageName)) {
        writeFragment(it.fragment(), m_kept.renumbered(kept));
        ++it;
        return;
    }
    const int id = first.intProperty(kKeptId);
    while (!it.atEnd() && isKept(it.fragment().charFormat()) &&
           it.fragment().charFormat().intProperty(kKeptId) == id &&
           it.fragment().charFormat().anchorHref() == first.anchorHref() &&
           it.fragment().charFormat().property(kKeptRtf).toByteArray() == kept)
        ++it;
    writeCharFormat(withoutKept(first));
    // Its bytes begin in the font, and so the code page, they began in.
    appendNumber(m_out, "\\f", m_kept.outerFont(first));
    // and with the count of fallback characters after \uN they began with.
    const bool unicodeSkip = first.hasProperty(kKeptUnicodeSkip);
    if (unicodeSkip)
        appendNumber(m_out, "\\uc", first.intProperty(kKeptUnicodeSkip));
    m_out.append(' ');
    m_out.append(m_kept.renumbered(kept));
    m_out.append(unicodeSkip ? "\\plain\\uc1 " : "\\plain ");
}

// A field the editor shows by its result: the result is written as it now is, the instruction as it came.
// Links in the result are written inside it, unless the field is itself inside a link.
void Writer::writeField(QTextBlock::iterator& it, bool withinLink) {
    const QTextCharFormat first = it.fragment().charFormat();
    const QByteArray instruction = first.property(kKeptFieldInstruction).toByteArray();
    const int id = first.intProperty(kKeptId);
    const QString outerHref = factsOf(it.fragment()).href;
    m_out.append("{\\field");
    m_out.append(m_kept.renumbered(instruction));
    m_out.append("{\\fldrslt ");
    while (!it.atEnd() && sameField(it.fragment().charFormat(), id, instruction)) {
        const QString href = factsOf(it.fragment()).href;
        if (withinLink && href != outerHref)
            break;
        if (withinLink || href.isEmpty()) {
            writeFragment(it.fragment());
            ++it;
            continue;
        }
        writeLinkStart(href);
        for (; !it.atEnd() && sameField(it.fragment().charFormat(), id, instruction) &&
               factsOf(it.fragment()).href == href;
             ++it)
            writeFragment(it.fragment());
        m_out.append("}}}");
    }
    m_out.append("}}");
}

// `kept`: the RTF of the kept group the fragment's pictures show, as it is written.
void Writer::writeFragment(const QTextFragment& fragment, const QByteArray& kept) {
    const QTextCharFormat format = fragment.charFormat();
    const QString text = fragment.text();
    if (format.isImageFormat() || !kept.isEmpty()) {
        // Each object replacement character is one picture or kept group. Text typed next to a picture can
        // take on its format; it is written as text.
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) != QChar(kObjectReplacement)) {
                qsizetype end = i;
                while (end < text.size() && text.at(end) != QChar(kObjectReplacement))
                    ++end;
                m_out.append('{');
                writeCharFormat(format);
                writeText(QStringView(text).sliced(i, end - i), familyOf(format));
                m_out.append('}');
                i = end - 1;
                continue;
            }
            m_out.append('{');
            writeCharFormat(format);
            if (!kept.isEmpty())
                m_out.append(kept);
            else
                writeImage(format.toImageFormat());
            m_out.append('}');
        }
        return;
    }
    m_out.append('{');
    // Fragments share their formats: each format's words are made once.
    const int index = fragment.charFormatIndex();
    auto words = m_charWords.constFind(index);
    if (words == m_charWords.cend()) {
        const qsizetype start = m_out.size();
        writeCharFormat(format);
        words = m_charWords.insert(index, {m_out.sliced(start), isGlyphFont(familyOf(format))});
    } else {
        m_out.append(words->words);
    }
    appendRtfText(m_out, text, words->glyphFont);
    m_out.append('}');
}

// Ends what it writes with the space that ends the last control word.
void Writer::writeCharFormat(const QTextCharFormat& format) {
    const qsizetype start = m_out.size();
    // Text without a font or size of its own takes the document's defaults, which the body starts with.
    if (const QString family = familyOf(format); !family.isEmpty())
        appendNumber(m_out, "\\f", fontIndex(family));
    if (format.hasProperty(QTextFormat::FontPointSize) && format.fontPointSize() > 0)
        appendNumber(m_out, "\\fs", wholeHalfPoints(format.fontPointSize()));
    if (format.fontWeight() >= QFont::DemiBold)
        m_out.append("\\b");
    if (format.fontItalic())
        m_out.append("\\i");
    switch (format.underlineStyle()) {
    case QTextCharFormat::NoUnderline:
        break;
    case QTextCharFormat::DashUnderline:
        m_out.append("\\uldash");
        break;
    case QTextCharFormat::DotLine:
        m_out.append("\\uld");
        break;
    case QTextCharFormat::DashDotLine:
        m_out.append("\\uldashd");
        break;
    case QTextCharFormat::DashDotDotLine:
        m_out.append("\\uldashdd");
        break;
    case QTextCharFormat::WaveUnderline:
    case QTextCharFormat::SpellCheckUnderline:
        m_out.append("\\ulwave");
        break;
    default:
        m_out.append("\\ul");
        break;
    }
    if (format.fontStrikeOut())
        m_out.append("\\strike");
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        m_out.append("\\super");
    else if (format.verticalAlignment() == QTextCharFormat::AlignSubScript)
        m_out.append("\\sub");
    if (format.fontCapitalization() == QFont::AllUppercase)
        m_out.append("\\caps");
    else if (format.fontCapitalization() == QFont::SmallCaps)
        m_out.append("\\scaps");
    if (const QColor c = brushColor(format, QTextFormat::ForegroundBrush); c.isValid())
        appendNumber(m_out, "\\cf", colorIndex(c));
    if (const QColor c = brushColor(format, QTextFormat::BackgroundBrush); c.isValid()) {
        // Word reads the shading, WordPad the highlight.
        const int index = colorIndex(c);
        appendNumber(m_out, "\\chcbpat", index);
        appendNumber(m_out, "\\highlight", index);
    }
    if (m_out.size() > start)
        m_out.append(' ');
}

// `family`: the font the text is in; empty for the body's own, font 0.
void Writer::writeText(QStringView text, const QString& family) {
    appendRtfText(m_out, text, isGlyphFont(family));
}

// Whether the reader takes the bytes of text in `family` as symbol glyphs; empty for the body's own, font 0.
bool Writer::isGlyphFont(const QString& family) {
    const size_t font = size_t(family.isEmpty() ? 0 : fontIndex(family));
    return font < m_glyphFonts.size() && m_glyphFonts[font];
}

// A picture without kept RTF: one pasted or made in the editor. Image bytes RTF can carry are written as they
// are, never decoded and encoded again; anything else is written as PNG.
void Writer::writeImage(const QTextImageFormat& format) {
    const QVariant resource = m_doc.resource(QTextDocument::ImageResource, QUrl(format.name()));
    QByteArray data;
    const char* blip = "\\pngblip";
    QSize natural;
    QImage image;
    if (resource.userType() == QMetaType::QByteArray) {
        data = resource.toByteArray();
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        natural = reader.size(); // from the header: no decoding, whatever the picture's size
        if (const char* word = blipWord(data)) {
            blip = word;
        } else {
            image = reader.read();
            data.clear();
        }
    } else if (resource.userType() == QMetaType::QImage) {
        image = resource.value<QImage>();
    } else if (resource.userType() == QMetaType::QPixmap) {
        image = resource.value<QPixmap>().toImage();
    }
    if (data.isEmpty() && !image.isNull()) {
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        natural = image.size();
    }
    if (data.isEmpty())
        return; // nothing that can be shown; an empty picture would only confuse readers

    qreal width = format.width();
    qreal height = format.height();
    if (natural.isEmpty()) {
        // Bytes whose header says no size: the size they are shown at stands for it.
        natural = QSize(int(std::lround(width)), int(std::lround(height)));
    } else if (width <= 0 && height <= 0) {
        width = natural.width();
        height = natural.height();
    } else if (width <= 0) {
        width = height * natural.width() / natural.height();
    } else if (height <= 0) {
        height = width * natural.height() / natural.width();
    }
    m_out.append("{\\pict");
    m_out.append(blip);
    if (!natural.isEmpty()) {
        appendNumber(m_out, "\\picw", natural.width());
        appendNumber(m_out, "\\pich", natural.height());
    }
    if (width > 0 && height > 0) {
        appendNumber(m_out, "\\picwgoal", wholeTwips(width));
        appendNumber(m_out, "\\pichgoal", wholeTwips(height));
    }
    m_out.append("\r\n");
    writeHex(data);
    m_out.append('}');
}

void Writer::writeHex(const QByteArray& data) {
    const qsizetype start = m_out.size();
    m_out.resize(start + data.size() * 2 + data.size() / 64 * 2);
    char* out = m_out.data() + start;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const uchar b = uchar(data.at(i));
        *out++ = kHexDigits[b >> 4];
        *out++ = kHexDigits[b & 15];
        if (i % 64 == 63) {
            *out++ = '\r';
            *out++ = '\n';
        }
    }
    m_out.resize(out - m_out.data());
}

void appendRtfText(QByteArray& out, QStringView text, bool glyphFont) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0x7F && !glyphFont) {
            if (c == '\\' || c == '{' || c == '}')
                out.append('\\');
            out.append(char(c));
            continue;
        }
        switch (c) {
        case '\t':
            out.append("\\tab ");
            continue;
        case kLineSeparator:
            out.append("\\line ");
            continue;
        case 0x00A0:
            out.append("\\~");
            continue;
        case 0x00AD:
            out.append("\\-");
            continue;
        case 0x2011:
            out.append("\\_");
            continue;
        case kObjectReplacement:
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7F)
            continue;
        char16_t unit = c;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
                appendNumber(out, "\\u", qint16(c));
                out.append('?');
                unit = text[++i].unicode();
            } else {
                unit = 0xFFFD;
            }
        } else if (QChar::isLowSurrogate(c)) {
            unit = 0xFFFD;
        }
        // \uN takes a signed 16-bit value; "?" is the one-byte fallback that \uc1 skips.
        appendNumber(out, "\\u", qint16(unit));
        out.append('?');
    }
}

} // namespace rtf::detail
