#pragma once

// The interpreter: reads the tokens of an RTF document, keeps the state of each group on a stack, sends the
// text of each destination where it belongs and reports the document to a Sink.
//
// How it is laid out, and where to extend it:
// - run() takes tokens from the Tokenizer and hands each control word to the dispatcher of its kind
//   (controlWord() -> destination(), symbol() or setProperty()); ControlWords.cpp says which word is which.
//   pushGroup() and popGroup() keep the stack of GroupState (GroupState.h).
// - destination() (Destinations.cpp) is where a group learns what it holds: it sets the group's Target, and
//   the OnClose that popGroup() runs when the group ends. A new destination is a new Op, a case there and,
//   when its text goes somewhere new, a Target handled in destinationUnit() and an OnClose in popGroup().
// - Paragraph state lives in GroupState::para (ParaProps), character state in GroupState::chr (CharProps);
//   per-document state of a destination (colour table, picture) in the scratch structs below.
// - The parts that own their state: TextOutput (decoding, code pages, the font table, runs of text, and
//   everything that leaves through the Sink of Model.h), KeptCapture (the raw RTF kept to be written back),
//   Notes (footnote marks and comments' author groups) and TableState (row and cell words).

#include "ControlWords.h"
#include "GroupState.h"
#include "KeptCapture.h"
#include "Model.h"
#include "Notes.h"
#include "TableState.h"
#include "TextOutput.h"
#include "Tokenizer.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <climits>
#include <vector>

namespace rtf::detail {

// Groups deeper than this share the deepest state: their text is still read, their formatting is not undone.
inline constexpr qsizetype kMaxDepth = 200;
inline constexpr qsizetype kMaxFields = 64;
inline constexpr qsizetype kMaxInstructionLength = 8192;
inline constexpr int kMaxLength = 31680; // 22 inches in twips
inline constexpr double kMaxPicturePixels = 4000;

// Reads the whole RTF document (isRtf() already checked) into the sink. `tables` receives the font and colour
// tables, links and title, and must outlive every call into the sink.
void parse(const QByteArray& bytes, Sink& sink, Tables& tables);

// \colortbl: the components of the colour being defined; -1 for a component not given.
struct ColorTableState {
    int rgb[3] = {-1, -1, -1};

    void reset() { rgb[0] = rgb[1] = rgb[2] = -1; }
    bool given() const { return rgb[0] >= 0 || rgb[1] >= 0 || rgb[2] >= 0; }
};

// \pict: the picture being read.
struct PictureState {
    Picture picture;
    bool wanted = false; // a format the reader shows, so that its data is collected
    int nibble = -1;     // the first hexadecimal digit of a byte, -1 when none is waiting
    int widthGoal = 0;   // twips
    int heightGoal = 0;
    int scaleX = 100; // percent
    int scaleY = 100;
    int width = 0; // \picw, \pich: pixels, or hundredths of a millimetre for a metafile
    int height = 0;
};

// \shppict, \object: the picture shown for the group, and an object's own size.
struct PictureSetState {
    Picture shown;
    bool haveShown = false;
    int objectWidth = 0; // twips
    int objectHeight = 0;
    // \shpleft, \shptop, \shpright, \shpbottom of the outermost shape: twips, INT_MIN where not given.
    int shape[4] = {INT_MIN, INT_MIN, INT_MIN, INT_MIN};
};

class Interpreter final : private TextOutput::Owner {
public:
    Interpreter(const QByteArray& bytes, Sink& sink, Tables& tables);

    void run();

private:
    GroupState& top() { return m_states.back(); }

    // Groups.
    void pushGroup();
    bool closeGroup();
    void popGroup(bool atEnd);
    void skipGroup();

    // Dispatch of tokens and control words.
    void controlWord(const Token& token);
    void controlSymbol(uchar symbol);
    void hexByte(int value);
    void binary(std::string_view data);
    void text(std::string_view text);
    void byte(uchar byte);
    void destination(Op op);
    // Whether the current group is part of bytes that are kept as they came, to be written back.
    bool insideKeptBytes() const;
    void symbol(Op op, int character);
    void setProperty(Op op, int value);
    void finish();

    // Destinations' own handling (Destinations.cpp).
    void endSideText(const GroupState& closing, bool atEnd);
    bool startKept(GroupState& s);
    void annotationPart();
    void keepAnchor(GroupState& s);
    void beginKeeping(GroupState& s);
    bool keepShapeWithText(GroupState& text);
    void readListGroup(Op op);
    void emitListText();
    bool isListed(const ParaProps& para) const;
    void startKeptGroup(GroupState& s, OnClose onClose, bool pictureSet, const char* word);
    void finishPicture(const GroupState& closing, const GroupState& outer);
    void finishPictureSet(const GroupState& closing, const GroupState& outer);
    void showPicture(Picture& picture, const GroupState& outer);
    void commitColor();
    void fieldResult(GroupState& s);
    void pictureHex(char16_t c);
    void destinationProperty(Op op, int value);

    // Tables (Tables.cpp).
    void endCell(int level);
    void endRow(int level);

    // What the text output asks of the interpreter.
    void destinationUnit(char16_t c) override;
    void bodyTextComes(bool paragraphEnd) override;
    void bodyOutput() override { m_table.tellDepth(top().para, m_text.sink()); }
    void putUnit(char16_t c) { m_text.putUnit(c); }
    void endParagraph(bool cellEnd = false) { m_text.endParagraph(cellEnd); }

    Tokenizer m_tokens;
    Tables& m_tables;

    std::vector<GroupState> m_states;
    const char* m_groupStart = nullptr;    // the "{" of the group opened last
    bool m_destinationStartsGroup = false; // the destination word being handled came right after the "{"
    qsizetype m_overflow = 0;              // groups opened beyond the nesting limit and not yet closed
    bool m_groupJustOpened = false;
    bool m_star = false; // "\*" opened the current group: unknown destinations are skipped
    int m_skip = 0;      // fallback characters still to skip after \uN

    TextOutput m_text;
    KeptCapture m_kept;

    ColorTableState m_color;
    PictureState m_picture;
    std::vector<QString> m_fields;         // the instructions of the fields open around the current position
    std::vector<QByteArray> m_fieldGroups; // their \fldinst groups as they came
    std::vector<bool> m_fieldInstructed;   // whether their \fldinst group has begun
    std::vector<int> m_fieldShownAs;       // their index in Tables::fieldInstructions once a result began

    const char* m_wordStart = nullptr; // the control word being read

    QString m_listText; // the marker of \listtext, until its paragraph's text or end
    CharProps m_listTextProps;
    PictureSetState m_pictureSet;
    Notes m_notes;

    TableState m_table;
};

// The text with each surrogate that has no partner replaced by U+FFFD, as the body text gets it.
QString withValidSurrogates(QString text);

} // namespace rtf::detail
