#include "ControlWords.h"

#include "Model.h"
#include "Syntax.h"

#include <QTextCharFormat>

#include <initializer_list>
#include <unordered_map>

namespace rtf::detail {

namespace {

using Table = std::unordered_map<std::string_view, ControlWord>;

class Builder {
public:
    explicit Builder(Table& table)
        : m_table(table) {}

    void destination(std::initializer_list<std::string_view> names, Op op) {
        add(names, {WordKind::Destination, op, 0});
    }
    void symbol(std::initializer_list<std::string_view> names, Op op, int character = 0) {
        add(names, {WordKind::Symbol, op, character});
    }
    template <typename V> void flag(std::initializer_list<std::string_view> names, Op op, V value) {
        add(names, {WordKind::Flag, op, int(value)});
    }
    template <typename V> void toggle(std::initializer_list<std::string_view> names, Op op, V on) {
        add(names, {WordKind::Toggle, op, int(on)});
    }
    void value(std::initializer_list<std::string_view> names, Op op, int withoutParam = 0) {
        add(names, {WordKind::Value, op, withoutParam});
    }

private:
    void add(std::initializer_list<std::string_view> names, ControlWord word) {
        for (std::string_view name : names)
            m_table.emplace(name, word);
    }

    Table& m_table;
};

Table makeTable() {
    Table t;
    Builder b(t);
    // clang-format off
    b.destination({"stylesheet", "revtbl", "rsidtbl", "xmlnstbl", "filetbl",
        "pgdsctbl", "latentstyles", "themedata", "colorschememapping", "datastore", "generator",
        "shprslt", "pntxta", "pntxtb", "nonesttables", "objdata", "objclass",
        "objname", "objalias", "objsect", "objtime", "xe", "tc", "txe", "rxe", "bkmkstart", "bkmkend", "ftnsep", "ftnsepc", "aftnsep",
        "aftnsepc", "ftncn", "aftncn", "template", "docvar", "userprops", "do", "falt", "fname", "panose",
        "listpicture", "mmathPr", "private", "author", "operator", "subject", "keywords", "comment",
        "doccomm", "company", "manager", "category", "hlinkbase", "creatim", "revtim", "printim", "buptim",
        "datafield", "picprop", "blipuid", "bkmkpub", "formfield", "fldtype", "background", "wgrffmtfilter",
        "protusertbl", "htmltag", "mhtmltag", "defchp", "defpap", "fchars", "lchars"},
        Op::SkipGroup);
    // clang-format on
    b.destination({"result", "rtf", "nesttableprops"}, Op::PassGroup);
    // A shape's properties: the picture of a picture shape is one of them.
    b.destination({"info", "shpinst"}, Op::HiddenText);
    b.destination({"sp"}, Op::ShapeProperty);
    b.destination({"shp"}, Op::Shape);
    b.destination({"shpgrp"}, Op::ShapeGroup);
    b.destination({"atnid", "atnauthor", "atntime", "atnicn", "atnref", "atndate", "atnparent"},
                  Op::AnnotationPart);
    b.destination({"atrfstart", "atrfend"}, Op::AnnotationRange);
    b.destination({"header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf",
                   "annotation", "shptxt"},
                  Op::SideText);
    b.destination({"footnote"}, Op::Footnote);
    b.destination({"listtable"}, Op::ListTable);
    b.destination({"listoverridetable"}, Op::ListOverrideTable);
    b.destination({"pn"}, Op::ParagraphNumbering);
    b.destination({"listtext", "pntext"}, Op::ListText);
    b.destination({"fonttbl"}, Op::FontTable);
    b.destination({"colortbl"}, Op::ColorTable);
    b.destination({"field"}, Op::Field);
    b.destination({"fldinst"}, Op::FieldInstruction);
    b.destination({"fldrslt"}, Op::FieldResult);
    b.destination({"pict"}, Op::Picture);
    b.destination({"shppict"}, Op::ShapePicture);
    b.destination({"nonshppict"}, Op::NonShapePicture);
    b.destination({"object"}, Op::Object);
    b.destination({"title"}, Op::Title);
    b.destination({"upr"}, Op::UnicodeAlternatives);
    b.destination({"ud"}, Op::UnicodeText);

    b.symbol({"tab"}, Op::Character, '\t');
    b.symbol({"line"}, Op::Character, kLineSeparator);
    b.symbol({"emdash"}, Op::Character, 0x2014);
    b.symbol({"endash"}, Op::Character, 0x2013);
    b.symbol({"emspace"}, Op::Character, 0x2003);
    b.symbol({"enspace"}, Op::Character, 0x2002);
    b.symbol({"qmspace"}, Op::Character, 0x2005);
    b.symbol({"bullet"}, Op::Character, 0x2022);
    b.symbol({"lquote"}, Op::Character, 0x2018);
    b.symbol({"rquote"}, Op::Character, 0x2019);
    b.symbol({"ldblquote"}, Op::Character, 0x201C);
    b.symbol({"rdblquote"}, Op::Character, 0x201D);
    b.symbol({"zwj"}, Op::Character, 0x200D);
    b.symbol({"zwnj"}, Op::Character, 0x200C);
    b.symbol({"zwbo"}, Op::Character, 0x200B);
    b.symbol({"ltrmark"}, Op::Character, 0x200E);
    b.symbol({"rtlmark"}, Op::Character, 0x200F);
    b.symbol({"par"}, Op::ParagraphEnd);
    b.symbol({"sect", "page"}, Op::SoftParagraphEnd);
    b.symbol({"cell"}, Op::CellEnd, 1);
    b.symbol({"nestcell"}, Op::CellEnd, 2);
    b.symbol({"row"}, Op::RowEnd, 1);
    b.symbol({"nestrow"}, Op::RowEnd, 2);
    b.symbol({"chftn"}, Op::FootnoteMark);

    b.toggle({"b"}, Op::Bold, true);
    b.toggle({"i"}, Op::Italic, true);
    b.toggle({"ul", "uldb", "ulth", "ulw", "ulhair"}, Op::Underline, QTextCharFormat::SingleUnderline);
    b.toggle({"uld", "ulthd"}, Op::Underline, QTextCharFormat::DotLine);
    b.toggle({"uldash", "ulldash", "ulthdash", "ulthldash"}, Op::Underline, QTextCharFormat::DashUnderline);
    b.toggle({"uldashd", "ulthdashd"}, Op::Underline, QTextCharFormat::DashDotLine);
    b.toggle({"uldashdd", "ulthdashdd"}, Op::Underline, QTextCharFormat::DashDotDotLine);
    b.toggle({"ulwave", "ulhwave", "ululdbwave"}, Op::Underline, QTextCharFormat::WaveUnderline);
    b.flag({"ulnone"}, Op::Underline, QTextCharFormat::NoUnderline);
    b.toggle({"strike", "striked"}, Op::Strike, true);
    b.flag({"super"}, Op::Vertical, VerticalPosition::Superscript);
    b.flag({"sub"}, Op::Vertical, VerticalPosition::Subscript);
    b.flag({"nosupersub"}, Op::Vertical, VerticalPosition::Normal);
    b.toggle({"up"}, Op::Vertical, VerticalPosition::Superscript);
    b.toggle({"dn"}, Op::Vertical, VerticalPosition::Subscript);
    b.toggle({"caps"}, Op::Caps, Capitals::All);
    b.toggle({"scaps"}, Op::Caps, Capitals::Small);
    b.value({"f"}, Op::Font, ControlWord::kNeedsParam);
    b.value({"fs"}, Op::FontSize);
    b.value({"cf"}, Op::Foreground);
    b.value({"cb", "chcbpat", "highlight"}, Op::Background);
    b.flag({"plain"}, Op::PlainCharacter, 0);

    b.flag({"pard"}, Op::PlainParagraph, 0);
    b.flag({"ql"}, Op::Align, Alignment::Left);
    b.flag({"qr"}, Op::Align, Alignment::Right);
    b.flag({"qc"}, Op::Align, Alignment::Centre);
    b.flag({"qj", "qd"}, Op::Align, Alignment::Justified);
    b.value({"li", "lin"}, Op::LeftIndent);
    b.value({"ri", "rin"}, Op::RightIndent);
    b.value({"fi"}, Op::FirstIndent);
    b.value({"sb"}, Op::SpaceBefore);
    b.value({"sa"}, Op::SpaceAfter);
    b.value({"ls"}, Op::ListOverride, ControlWord::kNeedsParam);
    b.value({"ilvl"}, Op::ListLevel, 0);

    b.value({"u"}, Op::UnicodeCharacter, ControlWord::kNeedsParam);
    b.value({"uc"}, Op::UnicodeSkip);
    b.flag({"ansi"}, Op::CharsetCodePage, 1252);
    b.flag({"mac"}, Op::CharsetCodePage, 10000);
    b.flag({"pc"}, Op::CharsetCodePage, 437);
    b.flag({"pca"}, Op::CharsetCodePage, 850);
    b.value({"ansicpg"}, Op::AnsiCodePage);
    b.value({"deff"}, Op::DefaultFont);
    b.value({"fcharset"}, Op::FontCharset);
    b.value({"cpg"}, Op::FontCodePage);

    b.value({"red"}, Op::Red);
    b.value({"green"}, Op::Green);
    b.value({"blue"}, Op::Blue);

    b.flag({"pngblip"}, Op::PictureType, PictureKind::Png);
    b.flag({"jpegblip"}, Op::PictureType, PictureKind::Jpeg);
    b.flag({"dibitmap"}, Op::PictureType, PictureKind::Dib);
    b.flag({"emfblip", "wmetafile", "pmmetafile"}, Op::PictureType, PictureKind::Metafile);
    b.flag({"macpict", "wbitmap"}, Op::PictureType, PictureKind::Other);
    b.value({"picw"}, Op::PictureWidth);
    b.value({"pich"}, Op::PictureHeight);
    b.value({"objw"}, Op::ObjectWidth);
    b.value({"objh"}, Op::ObjectHeight);
    b.value({"shpleft"}, Op::ShapeLeft);
    b.value({"shptop"}, Op::ShapeTop);
    b.value({"shpright"}, Op::ShapeRight);
    b.value({"shpbottom"}, Op::ShapeBottom);
    b.value({"picwgoal"}, Op::PictureWidthGoal);
    b.value({"pichgoal"}, Op::PictureHeightGoal);
    b.value({"picscalex"}, Op::PictureScaleX);
    b.value({"picscaley"}, Op::PictureScaleY);

    b.flag({"intbl"}, Op::InTable, 1);
    b.value({"itap"}, Op::TableDepth, 1);
    b.flag({"trowd"}, Op::RowDefaults, 0);
    b.value({"trgaph"}, Op::RowGap);
    b.value({"trleft"}, Op::RowLeft);
    b.flag({"trql"}, Op::RowAlign, 0);
    b.flag({"trqc"}, Op::RowAlign, 1);
    b.flag({"trqr"}, Op::RowAlign, 2);
    b.flag({"trhdr"}, Op::RowHeader, 1);
    b.value({"cellx"}, Op::CellEdge, ControlWord::kNeedsParam);
    b.flag({"clmgf"}, Op::CellMergeHorizontal, CellMerge::First);
    b.flag({"clmrg"}, Op::CellMergeHorizontal, CellMerge::Continued);
    b.flag({"clvmgf"}, Op::CellMergeVertical, CellMerge::First);
    b.flag({"clvmrg"}, Op::CellMergeVertical, CellMerge::Continued);
    b.flag({"clvertalt"}, Op::CellAlign, CellVertical::Top);
    b.flag({"clvertalc"}, Op::CellAlign, CellVertical::Centre);
    b.flag({"clvertalb"}, Op::CellAlign, CellVertical::Bottom);
    b.value({"clcbpat"}, Op::CellShading);
    b.flag({"clbrdrt", "clbrdrl", "clbrdrb", "clbrdrr"}, Op::CellBorderSide, 0);
    b.value({"brdrw"}, Op::BorderWidth);
    b.value({"brdrcf"}, Op::BorderColor);
    b.flag({"brdrnone", "brdrnil", "brdrtbl"}, Op::BorderNone, 0);
    return t;
}

} // namespace

const ControlWord* findControlWord(std::string_view name) {
    static const Table table = makeTable();
    const auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}

ListWord findListWord(std::string_view name) {
    static const std::unordered_map<std::string_view, ListWord> table{
        {"list", ListWord::List},
        {"listlevel", ListWord::Level},
        {"levelnfc", ListWord::NumberFormat},
        {"leveltext", ListWord::LevelText},
        {"levelnumbers", ListWord::LevelNumbers},
        {"listname", ListWord::ListName},
        {"listid", ListWord::ListId},
        {"listoverride", ListWord::Override},
        {"ls", ListWord::OverrideNumber},
        {"pnlvlblt", ListWord::NumberingBullet},
        {"pnlvl", ListWord::NumberingLevel},
        {"pnucrm", ListWord::UpperRoman},
        {"pnlcrm", ListWord::LowerRoman},
        {"pnucltr", ListWord::UpperLetter},
        {"pnlcltr", ListWord::LowerLetter},
        {"pntxtb", ListWord::NumberingBefore},
        {"pntxta", ListWord::NumberingAfter},
    };
    const auto it = table.find(name);
    return it == table.end() ? ListWord::None : it->second;
}

} // namespace rtf::detail
