#pragma once

// What the interpreter reports while it reads: formatted text, paragraph ends and pictures, to a Sink. The
// document sink builds a QTextDocument from them; the plain-text sink only collects text.

#include "TableModel.h"

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QSize>
#include <QString>
#include <QTextCharFormat>

#include "Lists.h"

#include <vector>

namespace rtf::detail {

enum class VerticalPosition : quint8 { Normal, Superscript, Subscript };
enum class Capitals : quint8 { Normal, All, Small };
enum class Alignment : quint8 { Left, Right, Centre, Justified };
// The kinds of picture data. Png, Jpeg and Dib (a device-independent bitmap) are shown decoded; a metafile
// (measured in hundredths of a millimetre) and Other pictures (bitmaps of a device) are shown as a stand-in.
enum class PictureKind : quint8 { Other, Png, Jpeg, Dib, Metafile };

// Character formatting as the reader tracks it; the sinks turn it into a QTextCharFormat.
struct CharProps {
    int font = -1;      // RTF font number, -1 for the document's default font
    int size = 0;       // half-points, 0 when not given
    int foreground = 0; // colour table index, 0 for automatic
    int background = 0; // colour table index, 0 for none
    int link = -1;      // index into Tables::links, -1 for none
    int field = -1;     // a field shown by its result: index into Tables::fieldInstructions, -1 for none
    bool bold = false;
    bool italic = false;
    bool strike = false;
    QTextCharFormat::UnderlineStyle underline = QTextCharFormat::NoUnderline;
    VerticalPosition vertical = VerticalPosition::Normal;
    Capitals caps = Capitals::Normal;

    friend bool operator==(const CharProps&, const CharProps&) = default;
};

size_t qHash(const CharProps& props, size_t seed = 0);

// Paragraph formatting; lengths in twips.
struct ParaProps {
    Alignment align = Alignment::Left;
    int left = 0;
    int right = 0;
    int firstLine = 0;
    int before = 0;
    int after = 0;
    int tableDepth =
        0;             // \intbl and \itapN: 0 outside tables, 1 in a table of the body, 2 in one nested in it
    int list = 0;      // \ls + 1: the list override the paragraph is an item of, 0 for none
    int level = 0;     // \ilvl
    int numbering = 0; // an older \pn numbering: ListDefinitions::numberings -1, -2, ...; 0 for none

    friend bool operator==(const ParaProps&, const ParaProps&) = default;
};

struct Picture {
    QByteArray data; // image bytes Qt reads with format(); a DIB is given the file header of a BMP
    PictureKind kind = PictureKind::Other;
    double width = 0; // display size in pixels (1/96 inch); 0 when not given
    double height = 0;
    QSize natural;   // the size the data's header gives; invalid when the data cannot be shown
    QByteArray kept; // the picture's RTF as it came, written back in its place (Kept.h)

    bool displayable() const { return format() && natural.isValid() && !natural.isEmpty(); }

    // The image format name Qt reads the data with: "png" or "jpeg"; null for other pictures.
    const char* format() const {
        switch (kind) {
        case PictureKind::Png:
            return "png";
        case PictureKind::Jpeg:
            return "jpeg";
        case PictureKind::Dib:
            return "bmp";
        case PictureKind::Metafile:
        case PictureKind::Other:
            break;
        }
        return nullptr;
    }
};

// What the document's tables define; filled while reading, used by the sinks to resolve CharProps.
struct Tables {
    QHash<int, QString> fontNames; // by RTF font number
    int defaultFont = -1;
    std::vector<QColor> colors; // invalid = automatic
    std::vector<QString> links;
    QHash<int, int> fontCharsets; // \fcharset by font number, for the kept RTF's bytes
    int ansiCodePage = 0;         // the code page of text without a font: \ansicpg, or the default font's
    std::vector<QByteArray> fieldInstructions; // the \fldinst groups of fields other than links, as they came
    ListDefinitions lists;
    QString title;
};

// A group the editor does not show (header, footer, note, comment, text box), kept as the RTF it came as.
struct KeptGroup {
    QByteArray rtf;
    QString text;        // its text, paragraphs separated by "\n"
    int markLength = 0;  // the last characters of the body before it are its mark (a footnote's number)
    int unicodeSkip = 1; // the \uc its bytes begin with
};

class Sink {
public:
    virtual ~Sink() = default;
    virtual void text(const QString& text, const CharProps& props) = 0;
    // Ends the current paragraph, which has the formatting `props`.
    virtual void endParagraph(const ParaProps& props) = 0;
    virtual void image(const Picture& picture, const CharProps& props) = 0;
    // Tables: the depth of the table what comes next is in (0 for none); the end of a cell's last paragraph,
    // which has the formatting `props`; the end of a row at `depth` with the words that describe it.
    virtual void tableDepth(int) {}
    virtual void endCell(const ParaProps& props) { endParagraph(props); }
    virtual void endRow(const RowDef&, int) {}
    virtual void kept(const KeptGroup& group, const CharProps& props) = 0;
    // The end of the document. `lastParagraph` is the formatting of the paragraph after the last
    // endParagraph(), or null when there is none (the document ended with a paragraph mark).
    virtual void finish(const ParaProps* lastParagraph) = 0;
};

} // namespace rtf::detail
