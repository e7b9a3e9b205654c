#pragma once

// The interpreter's text output: decodes the bytes of the current group in the code page of its font, pairs
// surrogates, gathers the characters of the body and of side text into runs of one format, and gives them,
// paragraph ends, pictures and kept groups to the sink. It reads the current group from the interpreter's
// stack; characters for the other destinations (a field's instruction, the colour table...) go back to the
// interpreter through Owner. The font table's names and character sets live here, as they choose the code
// pages.

#include "CodePages.h"
#include "ControlWords.h"
#include "GroupState.h"
#include "Model.h"
#include "SideText.h"

#include <QHash>
#include <QString>

#include <climits>
#include <vector>

namespace rtf::detail {

inline constexpr qsizetype kMaxTitleLength = 4096;

class TextOutput {
public:
    class Owner {
    public:
        // A character for a destination other than the body, side text or a font's name.
        virtual void destinationUnit(char16_t c) = 0;
        // Body text is about to be added (or the body's paragraph to end, `paragraphEnd`): what waits to be
        // shown before it (a list item's marker) goes first.
        virtual void bodyTextComes(bool paragraphEnd) = 0;
        // The sink is about to be given something of the body: it learns the table depth first.
        virtual void bodyOutput() = 0;

    protected:
        ~Owner() = default;
    };

    TextOutput(Owner& owner, Sink& sink, Tables& tables, const std::vector<GroupState>& states)
        : m_owner(owner)
        , m_sink(sink)
        , m_tables(tables)
        , m_states(states) {}

    Sink& sink() { return m_sink; }

    // Characters and bytes of the current group.
    void putAscii(const uchar* s, qsizetype n);
    void putByte(uchar byte);
    void putUnit(char16_t c);
    // \uN: a character, or a symbol font's glyph given as U+F000 plus its byte.
    void putUnicode(int unit);
    void endParagraph(bool cellEnd = false);
    // Whether the current paragraph of the body or side text has text or a picture.
    bool hasContent(Target target) const;

    // A lead byte waiting for its trail byte is dropped as U+FFFD where its group ends, or where kept bytes
    // begin without it.
    void flushPending();
    // Whether a lead byte of a double-byte code page waits for its trail byte.
    bool awaitsTrailByte() const { return m_decoder.awaitsTrailByte(); }
    // Gives the run of text so far to the sink.
    void flushRun();
    // Kept bytes of `target` begin: a high surrogate without its partner is given up as U+FFFD, and the run
    // so far goes to the sink when it is `target`'s.
    void flushRun(Target target);

    // A picture shown in the body or side text (`outer` is the group around it).
    void image(const Picture& picture, const GroupState& outer);
    // A kept group given to the body in place of its group; `outer` is the group around it.
    void kept(const KeptGroup& group, const CharProps& props, const GroupState& outer);
    // Ends the side text read since the last call, with `para` for its last paragraph, and takes its text.
    QString takeSideText(const ParaProps& para);
    // Text, paragraph ends, pictures and kept groups given to the body so far.
    qint64 bodyEvents() const { return m_mainEvents; }
    // A list item's marker, shown before the paragraph's text.
    void listMarker(const QString& marker, const CharProps& props);

    // The font table and the words of the header and font table that choose code pages.
    void codePageProperty(Op op, int value, bool inFontTable);
    // \fN inside the font table: a font's definition begins.
    void defineFont(int font);
    // The end of a font's name (";", or its group's end); the end of the table.
    void commitFontName();
    void endFontTable();
    // The code page of a font's bytes; 0 when the font follows the document's code page.
    int fontCodePage(int font) const;
    // The document's code page; its default font's, if that has one; else \ansicpg's.
    int documentCodePage() const;

    // Ends the body, then gives the side text after it.
    void finish();

private:
    // \fonttbl: the font being defined, and what the table says of each font's encoding.
    struct FontTable {
        int font = -1; // the number of the font being defined, -1 outside one
        QString name;
        bool nameDone = false;
        QHash<int, int> charset;  // \fcharset by font number
        QHash<int, int> codePage; // \cpg by font number
    };

    const GroupState& top() const { return m_states.back(); }
    void selectCodePage();
    void putRunUnit(char16_t c);
    void appendToRun(char16_t c);
    void prepareRun(Target target);
    void resolveSurrogate();
    void bodyShown(const ParaProps& para);
    Sink& sinkFor(Target target) { return target == Target::Side ? static_cast<Sink&>(m_side) : m_sink; }
    auto unitOut() {
        return [this](char16_t u) {
            putUnit(u);
        };
    }

    Owner& m_owner;
    Sink& m_sink;
    Tables& m_tables;
    const std::vector<GroupState>& m_states;
    SideText m_side;

    FontTable m_fontTable;
    ByteDecoder m_decoder;
    int m_decoderFont = INT_MIN;    // the font m_decoder's code page was chosen for
    bool m_decoderOrdinary = false; // and whether it was chosen for ordinary text (a font's name, a field's)
    int m_fontsVersion = 0;
    int m_decoderFontsVersion = -1;
    bool m_asciiDirect = true; // ASCII bytes stand for themselves in the current code page
    int m_ansiCodePage = 0;
    int m_charsetCodePage = 1252;
    bool m_charsetCodePageSet = false;
    // Text of the body, a kept group or a field has been read: the code page stays.
    bool m_textDecoded = false;

    QString m_run;
    CharProps m_runProps;
    Target m_runTarget = Target::Main;
    char16_t m_highSurrogate = 0;
    bool m_mainHasContent = false; // the current body paragraph has text or a picture
    bool m_sideHasContent = false;
    bool m_mainEnded = false; // the body has had a paragraph mark
    ParaProps m_lastMainPara;
    qint64 m_mainEvents = 0;
};

} // namespace rtf::detail
