#pragma once

// The writer: a QTextDocument as RTF that word processors read back with the same text and formatting. Lists,
// tables and kept RTF have writers of their own, which this one calls.

#include "KeptWriter.h"
#include "ListWriter.h"

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>
#include <QTextBlock>
#include <QTextCharFormat>

#include <utility>
#include <vector>

class QTextDocument;
class QTextFragment;
class QTextFrame;
class QTextImageFormat;
class QTextList;

namespace rtf::detail {

class Writer {
public:
    explicit Writer(const QTextDocument& doc)
        : m_doc(doc)
        , m_lists(doc)
        , m_kept(
              doc, [this](const QString& family, int charset) { return fontIndex(family, charset); },
              [this](const QColor& color) { return colorIndex(color); }) {}

    QByteArray run();

private:
    void collectTables();
    void writeHeader();
    void writeFrame(const QTextFrame* frame);
    // `depth` is the block's table nesting depth (0 outside tables); `ending` ends the paragraph.
    void writeBlock(const QTextBlock& block, int depth = 0, const char* ending = "\\par\r\n");
    void writeParagraphWords(const QTextBlock& block, const QTextList* list, int depth);
    void writeFragment(const QTextFragment& fragment, const QByteArray& kept = {});
    void writeNext(QTextBlock::iterator& it, bool withinLink = false);
    void writeKept(QTextBlock::iterator& it);
    void writeField(QTextBlock::iterator& it, bool withinLink);
    bool fieldOutlastsLink(QTextBlock::iterator it);
    void writeLinkStart(const QString& href);
    void writeImage(const QTextImageFormat& format);
    void writeHex(const QByteArray& data);
    void writeCharFormat(const QTextCharFormat& format);
    void writeText(QStringView text, const QString& family = {});
    bool isGlyphFont(const QString& family);
    // The font table's entry for `family`; with a character set (for kept bytes), for it in that one.
    int fontIndex(const QString& family, int charset = -1);
    int colorIndex(const QColor& color);

    const QTextDocument& m_doc;
    ListWriter m_lists;
    KeptWriter m_kept;
    QByteArray m_out;
    struct Font {
        QString family;
        int charset = -1; // none asked for
    };
    QList<Font> m_fonts;
    QHash<QString, int> m_fontIndex;                    // the entry text in a family is written in
    QHash<std::pair<QString, int>, int> m_charsetFonts; // the other entries, by family and character set
    std::vector<bool> m_glyphFonts; // by font number: the reader takes the font's bytes as symbol glyphs
    QList<QRgb> m_colors;
    QHash<QRgb, int> m_colorIndex;
    // writeCharFormat's words for the document's formats, by index, and whether the font's bytes are glyphs.
    struct CharWords {
        QByteArray words;
        bool glyphFont = false;
    };
    QHash<int, CharWords> m_charWords;

    // What the writer asks of a character format, for each of the document's formats (by index).
    struct FormatFacts {
        bool kept = false;  // a kept group's mark or anchor
        bool field = false; // the result of a field
        QString href;
    };
    FormatFacts factsOf(const QTextFragment& fragment);
    QHash<int, FormatFacts> m_facts;
    // A paragraph's words and its list, by block format index and table depth.
    struct Paragraph {
        QByteArray words;
        QTextList* list = nullptr;
    };
    QHash<quint64, Paragraph> m_paragraphs;
    int m_defaultHalfPoints = 0; // the document's default font size, 0 when it has none in points
};

} // namespace rtf::detail
