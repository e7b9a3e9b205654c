#pragma once

// The reader's inner parts: a tokenizer and interpreter over the RTF bytes that reports text, paragraphs and
// pictures to a Sink. The document sink builds a QTextDocument; the plain-text sink only collects text.

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QString>

#include <vector>

namespace rtf::detail {

// Character formatting as the reader tracks it; the sinks turn it into a QTextCharFormat.
struct CharProps {
    int font = -1;      // RTF font number, -1 for the document's default font
    int size = 0;       // half-points, 0 when not given
    int foreground = 0; // colour table index, 0 for automatic
    int background = 0; // colour table index, 0 for none
    int link = -1;      // index into Tables::links, -1 for none
    quint8 bold = 0;
    quint8 italic = 0;
    quint8 underline = 0; // a QTextCharFormat::UnderlineStyle
    quint8 strike = 0;
    quint8 vertical = 0; // 0 normal, 1 superscript, 2 subscript
    quint8 caps = 0;     // 0 normal, 1 all capitals, 2 small capitals

    friend bool operator==(const CharProps&, const CharProps&) = default;
};

size_t qHash(const CharProps& props, size_t seed = 0);

// Paragraph formatting; lengths in twips.
struct ParaProps {
    int align = 0; // 0 left, 1 right, 2 centre, 3 justified
    int left = 0;
    int right = 0;
    int firstLine = 0;
    int before = 0;
    int after = 0;

    friend bool operator==(const ParaProps&, const ParaProps&) = default;
};

struct Picture {
    QByteArray data;
    const char* format = nullptr; // "png" or "jpeg"
    double width = 0;             // display size in pixels (1/96 inch); 0 when not given
    double height = 0;
};

// What the document's tables define; filled while reading, used by the sinks to resolve CharProps.
struct Tables {
    QHash<int, QString> fontNames; // by RTF font number
    int defaultFont = -1;
    std::vector<QColor> colors; // invalid = automatic
    std::vector<QString> links;
    QString title;
};

class Sink {
public:
    virtual ~Sink() = default;
    virtual void text(const QString& text, const CharProps& props) = 0;
    // Ends the current paragraph, which has the formatting `props`.
    virtual void endParagraph(const ParaProps& props) = 0;
    virtual void image(const Picture& picture, const CharProps& props) = 0;
    // The end of the document. `lastParagraph` is the formatting of the paragraph after the last
    // endParagraph(), or null when there is none (the document ended with a paragraph mark).
    virtual void finish(const ParaProps* lastParagraph) = 0;
};

// Reads the whole RTF document (isRtf() already checked) into the sink. `tables` receives the font and colour
// tables, links and title, and must outlive every call into the sink.
void parse(const QByteArray& bytes, Sink& sink, Tables& tables);

} // namespace rtf::detail
