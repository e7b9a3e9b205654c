#pragma once

#include <QtGlobal>

#include <climits>
#include <string_view>

namespace rtf::detail {

// The kinds of control word. The interpreter has one dispatcher per kind.
enum class WordKind : quint8 {
    Destination, // starts a group whose text goes somewhere of its own (a table, a field, a picture...)
    Symbol,      // stands for a character or a break
    Flag,        // sets a property to the entry's value; takes no parameter
    Toggle,      // sets a property to the entry's value, or turns it off with a parameter of 0
    Value,       // sets a property to its parameter
};

// What a control word does. Each of the destinations and symbols has its own handler in the interpreter;
// the properties are set by the flags, toggles and values that name them.
enum class Op : quint8 {
    // Destinations
    SkipGroup,          // a destination without text for us: skipped with everything it nests
    PassGroup,          // a destination whose text is shown as it is
    HiddenText,         // a destination whose own text is dropped but whose nested destinations are read
    SideText,           // header, footer, comment, text box: kept after the body
    Footnote,           // a footnote or endnote: kept after the body like side text, and counted
    ListTable,          // \listtable, read whole by Lists.cpp
    ListOverrideTable,  // \listoverridetable
    ParagraphNumbering, // \pn
    ListText,           // \listtext, \pntext: a list item's marker, shown only where the list is not
    FontTable,
    ColorTable,
    Field,
    FieldInstruction,
    FieldResult,
    Picture,
    ShapePicture,    // \shppict: a picture for readers that know shapes; a \nonshppict may follow
    NonShapePicture, // \nonshppict: the same picture for other readers, or the only one
    Shape,           // \shp: a drawing, shown by its picture
    ShapeGroup,      // \shpgrp: shapes drawn as one
    ShapeProperty,   // \sp: a shape's property; only a picture in it is read
    AnnotationPart,  // \atnid, \atnauthor...: a comment's author and date, kept with the comment
    AnnotationRange, // \atrfstart, \atrfend: where the text a comment is about starts and ends
    Object,          // \object: an embedded object, shown by its result
    Title,
    UnicodeAlternatives, // \upr: an ANSI text and, in its \ud part, the Unicode one
    UnicodeText,         // \ud
    // Symbols
    Character, // the entry's value is a UTF-16 unit
    ParagraphEnd,
    SoftParagraphEnd, // \sect, \page: a paragraph end unless the paragraph is empty
    CellEnd,          // the entry's value: 1 for \cell, 2 for \nestcell
    RowEnd,           // likewise \row and \nestrow
    FootnoteMark,
    // Character properties
    Bold,
    Italic,
    Underline, // value: a QTextCharFormat::UnderlineStyle
    Strike,
    Vertical, // value: a VerticalPosition
    Caps,     // value: Capitals
    Font,
    FontSize,
    Foreground,
    Background,
    PlainCharacter, // \plain: every character property back to its default
    // Paragraph properties
    PlainParagraph, // \pard
    Align,          // value: an Alignment
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    ListOverride, // \ls
    ListLevel,    // \ilvl
    // Text encoding
    UnicodeCharacter, // \uN
    UnicodeSkip,      // \ucN
    CharsetCodePage,  // value: the code page of \ansi, \mac, \pc, \pca
    AnsiCodePage,
    DefaultFont,
    FontCharset,
    FontCodePage,
    // Colour table
    Red,
    Green,
    Blue,
    // Pictures
    PictureType, // value: a PictureKind
    PictureWidthGoal,
    PictureHeightGoal,
    PictureScaleX,
    PictureScaleY,
    PictureWidth,
    PictureHeight,
    ObjectWidth,
    ObjectHeight,
    ShapeLeft, // \shpleft...: a shape's place in twips
    ShapeTop,
    ShapeRight,
    ShapeBottom,
    // Tables (Tables.cpp)
    InTable,
    TableDepth,
    RowDefaults,
    RowGap,
    RowLeft,
    RowAlign, // value: 0 left, 1 centre, 2 right
    RowHeader,
    CellEdge,
    CellMergeHorizontal, // value: a CellMerge
    CellMergeVertical,
    CellAlign, // value: a CellVertical
    CellShading,
    CellBorderSide,
    BorderWidth,
    BorderColor,
    BorderNone,
};

struct ControlWord {
    // A Value word without its parameter is ignored when its `value` is this.
    static constexpr int kNeedsParam = INT_MIN;

    WordKind kind;
    Op op;
    // Symbol: the character. Flag, Toggle: the value the property takes. Value: the value taken when the word
    // has no parameter, or kNeedsParam.
    int value;
};

// The entry of a control word; null for a word the reader does not know.
const ControlWord* findControlWord(std::string_view name);

// The words of the list groups, which are read whole (\listtable, \listoverridetable, \pn): they mean
// something only there, and the interpreter does not know those of them that are not in the table above.
enum class ListWord : quint8 {
    None,
    List,            // \list: one list of the list table
    Level,           // \listlevel
    NumberFormat,    // \levelnfc
    LevelText,       // \leveltext
    LevelNumbers,    // \levelnumbers
    ListName,        // \listname
    ListId,          // \listid
    Override,        // \listoverride
    OverrideNumber,  // \ls
    NumberingBullet, // \pnlvlblt
    NumberingLevel,  // \pnlvl
    UpperRoman,      // \pnucrm
    LowerRoman,      // \pnlcrm
    UpperLetter,     // \pnucltr
    LowerLetter,     // \pnlcltr
    NumberingBefore, // \pntxtb: the text before the number
    NumberingAfter,  // \pntxta: the text after it
};

ListWord findListWord(std::string_view name);

} // namespace rtf::detail
