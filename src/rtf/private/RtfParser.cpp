#include "RtfParser.h"

#include "CodePages.h"

#include <QBuffer>
#include <QImageReader>
#include <QTextCharFormat>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <utility>

using namespace Qt::StringLiterals;

namespace rtf::detail {

size_t qHash(const CharProps& p, size_t seed) {
    return qHashMulti(seed, p.font, p.size, p.foreground, p.background, p.link, p.bold, p.italic, p.underline,
                      p.strike, p.vertical, p.caps);
}

namespace {

// Groups deeper than this share the deepest state: their text is still read, their formatting is not undone.
constexpr qsizetype kMaxDepth = 200;
// Numeric parameters are clamped to +-kMaxParam so that no later arithmetic overflows.
constexpr qint64 kMaxParam = 1'000'000'000;
constexpr qsizetype kMaxFields = 64;
constexpr qsizetype kMaxInstructionLength = 8192;
constexpr qsizetype kMaxTitleLength = 4096;
constexpr int kMaxLength = 31680; // 22 inches in twips
constexpr double kMaxPicturePixels = 4000;

// Where the text of a group goes.
enum class Target : quint8 {
    Main,       // the document body
    Side,       // headers, footers, footnotes, comments and text boxes: kept after the body
    None,       // read but not shown (document information, shape properties)
    FontName,   // \fonttbl
    ColorTable, // \colortbl
    FieldInst,  // \fldinst: a field's instruction
    Title,      // \info\title
    Picture,    // \pict: hex picture data
};

// What has to happen when the group that started a destination ends.
enum class OnClose : quint8 { Nothing, EndSide, EndPicture, EndField, EndFontTable };

struct State {
    CharProps chr;
    ParaProps para;
    int uc = 1;
    int field = -1;     // innermost \field, index into Parser::m_fields
    int instField = -1; // the field whose instruction this group holds
    Target target = Target::Main;
    Target outerTarget = Target::Main; // the target around an \upr group, for its \ud part
    OnClose onClose = OnClose::Nothing;
    bool fontTable = false;
};

enum class Cmd : quint8 {
    // destinations
    Skip,     // a destination without text for us: skipped with everything it nests
    Pass,     // a destination whose text is shown as it is (\fldrslt aside)
    Hidden,   // a destination whose own text is dropped but whose nested destinations are read
    SideText, // header, footer, footnote, comment, text box
    FontTable,
    ColorTable,
    Field,
    FieldInst,
    FieldResult,
    Picture,
    Title,
    Upr,
    Ud,
    // characters and breaks
    Char, // arg: UTF-16 unit
    Par,
    SoftPar, // \sect, \page: a paragraph break unless the paragraph is empty
    Cell,
    Row,
    Footnote, // \chftn
    // character formatting
    Bold,
    Italic,
    Underline, // arg: QTextCharFormat::UnderlineStyle
    UnderlineNone,
    Strike,
    Super,
    Sub,
    NoSuperSub,
    Up,
    Down,
    Caps,
    SmallCaps,
    Font,
    FontSize,
    Foreground,
    Background,
    Plain,
    // paragraph formatting
    Pard,
    Align, // arg: ParaProps::align
    LeftIndent,
    RightIndent,
    FirstIndent,
    SpaceBefore,
    SpaceAfter,
    // text encoding
    Unicode,
    UnicodeSkip,
    CharsetCodePage, // arg: code page (\ansi, \mac, \pc, \pca)
    AnsiCodePage,
    DefaultFont,
    FontCharset,
    FontCodePage,
    // colour table
    Red,
    Green,
    Blue,
    // pictures
    PictureType, // arg: 1 png, 2 jpeg, 0 other
    PicWidthGoal,
    PicHeightGoal,
    PicScaleX,
    PicScaleY,
};

bool isDestination(Cmd cmd) {
    return cmd <= Cmd::Ud;
}

struct CmdInfo {
    Cmd cmd;
    int arg;
};

const std::unordered_map<std::string_view, CmdInfo>& commands() {
    static const std::unordered_map<std::string_view, CmdInfo> table = [] {
        std::unordered_map<std::string_view, CmdInfo> t;
        const auto add = [&t](std::initializer_list<std::string_view> names, Cmd cmd, int arg = 0) {
            for (std::string_view name : names)
                t.emplace(name, CmdInfo{cmd, arg});
        };
        // clang-format off
        add({"stylesheet", "listtable", "listoverridetable", "revtbl", "rsidtbl", "xmlnstbl", "filetbl",
            "pgdsctbl", "latentstyles", "themedata", "colorschememapping", "datastore", "generator",
            "nonshppict", "shprslt", "sp", "pn", "pntxta", "pntxtb", "nonesttables", "nesttableprops",
            "objdata", "objclass", "objname", "objalias", "objsect", "objtime", "xe", "tc", "txe", "rxe",
            "bkmkstart", "bkmkend", "atnid", "atnauthor", "atntime", "atnicn", "atnref", "atndate",
            "atnparent", "ftnsep", "ftnsepc", "aftnsep", "aftnsepc", "ftncn", "aftncn", "template", "docvar",
            "userprops", "do", "falt", "fname", "panose", "listpicture", "mmathPr", "private", "author",
            "operator", "subject", "keywords", "comment", "doccomm", "company", "manager", "category",
            "hlinkbase", "creatim", "revtim", "printim", "buptim", "datafield", "picprop", "blipuid",
            "bkmkpub", "formfield", "fldtype", "background", "wgrffmtfilter", "protusertbl", "htmltag",
            "mhtmltag", "defchp", "defpap", "fchars", "lchars"},
            Cmd::Skip);
        // clang-format on
        add({"shppict", "shp", "object", "result", "listtext", "pntext", "rtf"}, Cmd::Pass);
        add({"info", "shpinst"}, Cmd::Hidden);
        add({"header", "headerl", "headerr", "headerf", "footer", "footerl", "footerr", "footerf", "footnote",
             "annotation", "shptxt"},
            Cmd::SideText);
        add({"fonttbl"}, Cmd::FontTable);
        add({"colortbl"}, Cmd::ColorTable);
        add({"field"}, Cmd::Field);
        add({"fldinst"}, Cmd::FieldInst);
        add({"fldrslt"}, Cmd::FieldResult);
        add({"pict"}, Cmd::Picture);
        add({"title"}, Cmd::Title);
        add({"upr"}, Cmd::Upr);
        add({"ud"}, Cmd::Ud);

        add({"tab"}, Cmd::Char, '\t');
        add({"line"}, Cmd::Char, 0x2028);
        add({"emdash"}, Cmd::Char, 0x2014);
        add({"endash"}, Cmd::Char, 0x2013);
        add({"emspace"}, Cmd::Char, 0x2003);
        add({"enspace"}, Cmd::Char, 0x2002);
        add({"qmspace"}, Cmd::Char, 0x2005);
        add({"bullet"}, Cmd::Char, 0x2022);
        add({"lquote"}, Cmd::Char, 0x2018);
        add({"rquote"}, Cmd::Char, 0x2019);
        add({"ldblquote"}, Cmd::Char, 0x201C);
        add({"rdblquote"}, Cmd::Char, 0x201D);
        add({"zwj"}, Cmd::Char, 0x200D);
        add({"zwnj"}, Cmd::Char, 0x200C);
        add({"zwbo"}, Cmd::Char, 0x200B);
        add({"ltrmark"}, Cmd::Char, 0x200E);
        add({"rtlmark"}, Cmd::Char, 0x200F);
        add({"par"}, Cmd::Par);
        add({"sect", "page"}, Cmd::SoftPar);
        add({"cell", "nestcell"}, Cmd::Cell);
        add({"row", "nestrow"}, Cmd::Row);
        add({"chftn"}, Cmd::Footnote);

        add({"b"}, Cmd::Bold);
        add({"i"}, Cmd::Italic);
        add({"ul", "uldb", "ulth", "ulw", "ulhair"}, Cmd::Underline, QTextCharFormat::SingleUnderline);
        add({"uld", "ulthd"}, Cmd::Underline, QTextCharFormat::DotLine);
        add({"uldash", "ulldash", "ulthdash", "ulthldash"}, Cmd::Underline, QTextCharFormat::DashUnderline);
        add({"uldashd", "ulthdashd"}, Cmd::Underline, QTextCharFormat::DashDotLine);
        add({"uldashdd", "ulthdashdd"}, Cmd::Underline, QTextCharFormat::DashDotDotLine);
        add({"ulwave", "ulhwave", "ululdbwave"}, Cmd::Underline, QTextCharFormat::WaveUnderline);
        add({"ulnone"}, Cmd::UnderlineNone);
        add({"strike", "striked"}, Cmd::Strike);
        add({"super"}, Cmd::Super);
        add({"sub"}, Cmd::Sub);
        add({"nosupersub"}, Cmd::NoSuperSub);
        add({"up"}, Cmd::Up);
        add({"dn"}, Cmd::Down);
        add({"caps"}, Cmd::Caps);
        add({"scaps"}, Cmd::SmallCaps);
        add({"f"}, Cmd::Font);
        add({"fs"}, Cmd::FontSize);
        add({"cf"}, Cmd::Foreground);
        add({"cb", "chcbpat", "highlight"}, Cmd::Background);
        add({"plain"}, Cmd::Plain);

        add({"pard"}, Cmd::Pard);
        add({"ql"}, Cmd::Align, 0);
        add({"qr"}, Cmd::Align, 1);
        add({"qc"}, Cmd::Align, 2);
        add({"qj", "qd"}, Cmd::Align, 3);
        add({"li", "lin"}, Cmd::LeftIndent);
        add({"ri", "rin"}, Cmd::RightIndent);
        add({"fi"}, Cmd::FirstIndent);
        add({"sb"}, Cmd::SpaceBefore);
        add({"sa"}, Cmd::SpaceAfter);

        add({"u"}, Cmd::Unicode);
        add({"uc"}, Cmd::UnicodeSkip);
        add({"ansi"}, Cmd::CharsetCodePage, 1252);
        add({"mac"}, Cmd::CharsetCodePage, 10000);
        add({"pc"}, Cmd::CharsetCodePage, 437);
        add({"pca"}, Cmd::CharsetCodePage, 850);
        add({"ansicpg"}, Cmd::AnsiCodePage);
        add({"deff"}, Cmd::DefaultFont);
        add({"fcharset"}, Cmd::FontCharset);
        add({"cpg"}, Cmd::FontCodePage);

        add({"red"}, Cmd::Red);
        add({"green"}, Cmd::Green);
        add({"blue"}, Cmd::Blue);

        add({"pngblip"}, Cmd::PictureType, 1);
        add({"jpegblip"}, Cmd::PictureType, 2);
        add({"emfblip", "wmetafile", "macpict", "dibitmap", "wbitmap", "pmmetafile"}, Cmd::PictureType, 0);
        add({"picwgoal"}, Cmd::PicWidthGoal);
        add({"pichgoal"}, Cmd::PicHeightGoal);
        add({"picscalex"}, Cmd::PicScaleX);
        add({"picscaley"}, Cmd::PicScaleY);
        return t;
    }();
    return table;
}

// Bytes that end a run of plain ASCII text.
constexpr auto kStopTable = [] {
    std::array<bool, 256> t{};
    for (int c = 0; c < 0x20; ++c)
        t[c] = true;
    for (int c = 0x7F; c < 0x100; ++c)
        t[c] = true;
    t['\\'] = t['{'] = t['}'] = true;
    return t;
}();

bool isLetter(uchar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(uchar c) {
    return c >= '0' && c <= '9';
}

int hexValue(uchar c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int clampLength(int twips) {
    return std::clamp(twips, -kMaxLength, kMaxLength);
}

bool isSymbolFontName(const QString& name) {
    return name.compare(u"Symbol", Qt::CaseInsensitive) == 0;
}

bool isDingbatFontName(const QString& name) {
    return name.startsWith(u"Wingdings", Qt::CaseInsensitive) ||
           name.startsWith(u"Webdings", Qt::CaseInsensitive) ||
           name.compare(u"Zapf Dingbats", Qt::CaseInsensitive) == 0;
}

// The text with each surrogate that has no partner replaced by U+FFFD, as the body text gets it.
QString withValidSurrogates(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            text[i] = QChar(0xFFFD);
    }
    return text;
}

// The address of a HYPERLINK field instruction: HYPERLINK "url" [\l "anchor"] [other switches]; empty when
// the field is not a link.
QString hyperlinkTarget(const QString& instruction) {
    QStringList tokens;
    const qsizetype n = instruction.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = instruction.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        QString token;
        if (c == u'"') {
            ++i;
            while (i < n && instruction.at(i) != u'"') {
                if (instruction.at(i) == u'\\' && i + 1 < n)
                    ++i;
                token.append(instruction.at(i++));
            }
            ++i;
            tokens.append(token.isEmpty() ? u"\"\""_s : token);
            continue;
        }
        while (i < n && !instruction.at(i).isSpace() && instruction.at(i) != u'"')
            token.append(instruction.at(i++));
        tokens.append(token);
    }
    if (tokens.isEmpty() || tokens.first().compare(u"HYPERLINK", Qt::CaseInsensitive) != 0)
        return {};
    QString url;
    QString anchor;
    for (qsizetype t = 1; t < tokens.size(); ++t) {
        const QString& token = tokens.at(t);
        if (token.size() == 2 && token.at(0) == u'\\') {
            const QChar option = token.at(1).toLower();
            if (option == u'l' && t + 1 < tokens.size())
                anchor = tokens.at(++t);
            else if ((option == u'o' || option == u't') && t + 1 < tokens.size())
                ++t; // tool tip and target frame take an argument
            continue;
        }
        if (url.isEmpty())
            url = token;
    }
    if (url == u"\"\"")
        url.clear();
    if (anchor == u"\"\"")
        anchor.clear();
    if (!anchor.isEmpty())
        return url + u'#' + anchor;
    return url;
}

// Keeps the events of side text (headers, footers, footnotes, text boxes) to be added after the body.
class Recorder final : public Sink {
public:
    bool isEmpty() const { return m_events.empty(); }

    void text(const QString& text, const CharProps& props) override {
        m_events.push_back({Kind::Text, text, props, {}, -1});
    }
    void endParagraph(const ParaProps& props) override {
        m_events.push_back({Kind::Paragraph, {}, {}, props, -1});
    }
    void image(const Picture& picture, const CharProps& props) override {
        m_pictures.push_back(picture);
        m_events.push_back({Kind::Image, {}, props, {}, int(m_pictures.size() - 1)});
    }
    void finish(const ParaProps*) override {}

    void replay(Sink& sink) const {
        for (const Event& e : m_events) {
            switch (e.kind) {
            case Kind::Text:
                sink.text(e.text, e.chr);
                break;
            case Kind::Paragraph:
                sink.endParagraph(e.para);
                break;
            case Kind::Image:
                sink.image(m_pictures[size_t(e.picture)], e.chr);
                break;
            }
        }
    }

private:
    enum class Kind : quint8 { Text, Paragraph, Image };
    struct Event {
        Kind kind;
        QString text;
        CharProps chr;
        ParaProps para;
        int picture;
    };
    std::vector<Event> m_events;
    std::vector<Picture> m_pictures;
};

class Parser {
public:
    Parser(const QByteArray& bytes, Sink& sink, Tables& tables)
        : m_p(reinterpret_cast<const uchar*>(bytes.constData()))
        , m_end(m_p + bytes.size())
        , m_sink(sink)
        , m_tables(tables) {
        m_states.reserve(kMaxDepth + 2);
        m_states.emplace_back();
        m_tables.colors.clear();
    }

    void run();

private:
    State& top() { return m_states.back(); }

    void openGroup();
    bool closeGroup();
    void popGroup(bool atEnd);
    void skipGroup();
    void controlWord();
    void controlSymbol();
    void command(const CmdInfo& info, bool hasParam, int param);
    void destination(Cmd cmd, int arg);
    void plainText();
    void binary(qint64 length);
    void finish();

    // Output of characters to the current target.
    void putAscii(const uchar* s, qsizetype n);
    void putByte(uchar byte);
    void putUnit(char16_t c);
    void putRunUnit(char16_t c);
    void appendToRun(char16_t c);
    void prepareRun(Target target);
    void flushRun();
    void resolveSurrogate();
    void endParagraph();
    void endSideText(const ParaProps& para);
    void finishPicture(const State& outer);
    Sink& sinkFor(Target target) { return target == Target::Side ? static_cast<Sink&>(m_side) : m_sink; }

    // Code pages.
    void selectCodePage();
    int fontCodePage(int font) const;
    int documentCodePage() const;
    void commitFontName();

    const uchar* m_p;
    const uchar* m_end;
    Sink& m_sink;
    Tables& m_tables;
    Recorder m_side;

    std::vector<State> m_states;
    qsizetype m_overflow = 0; // groups opened beyond kMaxDepth and not yet closed
    bool m_groupJustOpened = false;
    bool m_star = false; // "\*" opened the current group: unknown destinations are skipped
    int m_skip = 0;      // fallback characters still to skip after \uN

    ByteDecoder m_decoder;
    int m_decoderFont = INT_MIN; // the font m_decoder's code page was chosen for
    int m_fontsVersion = 0;
    int m_decoderFontsVersion = -1;
    bool m_asciiDirect = true; // ASCII bytes stand for themselves in the current code page
    int m_ansiCodePage = 0;
    int m_charsetCodePage = 1252;

    QString m_run;
    CharProps m_runProps;
    Target m_runTarget = Target::Main;
    char16_t m_highSurrogate = 0;
    bool m_mainHasContent = false; // the current body paragraph has text or a picture
    bool m_sideHasContent = false;
    bool m_mainEnded = false; // the body has had a paragraph mark
    ParaProps m_lastMainPara;

    // \fonttbl
    int m_fontDef = -1;
    QString m_fontName;
    bool m_fontNameDone = false;
    QHash<int, int> m_fontCharset;
    QHash<int, int> m_fontCpg;
    // \colortbl
    int m_rgb[3] = {-1, -1, -1};
    // \field
    std::vector<QString> m_fields;
    // \pict
    Picture m_picture;
    bool m_pictureWanted = false;
    int m_pictureNibble = -1;
    int m_picWidthGoal = 0;
    int m_picHeightGoal = 0;
    int m_picScaleX = 100;
    int m_picScaleY = 100;

    int m_footnotes = 0;
};

void Parser::run() {
    // Skip the byte order mark and white space before "{\rtf".
    while (m_p < m_end && *m_p != '{')
        ++m_p;
    while (m_p < m_end) {
        const uchar c = *m_p;
        if (c == '{') {
            ++m_p;
            openGroup();
        } else if (c == '}') {
            ++m_p;
            m_groupJustOpened = false;
            if (!closeGroup())
                break;
        } else if (c == '\\') {
            ++m_p;
            if (m_p < m_end && isLetter(*m_p))
                controlWord();
            else
                controlSymbol();
        } else if (c == '\r' || c == '\n') {
            ++m_p;
        } else {
            m_groupJustOpened = false;
            plainText();
        }
    }
    finish();
}

void Parser::openGroup() {
    m_skip = 0;
    m_groupJustOpened = true;
    m_star = false;
    if (m_states.size() > kMaxDepth || m_overflow > 0) {
        ++m_overflow;
        return;
    }
    State next = m_states.back();
    next.onClose = OnClose::Nothing;
    m_states.push_back(next);
}

// Returns false when the group that closed was the document's outermost one.
bool Parser::closeGroup() {
    m_skip = 0;
    if (m_overflow > 0) {
        --m_overflow;
        return true;
    }
    if (m_states.size() <= 1)
        return false;
    popGroup(false);
    return m_states.size() > 1;
}

void Parser::popGroup(bool atEnd) {
    const State closing = m_states.back();
    m_states.pop_back();
    switch (closing.onClose) {
    case OnClose::Nothing:
        break;
    case OnClose::EndSide:
        endSideText(closing.para);
        break;
    case OnClose::EndPicture:
        if (!atEnd)
            finishPicture(m_states.back());
        break;
    case OnClose::EndField:
        if (closing.field >= 0 && size_t(closing.field) < m_fields.size())
            m_fields.resize(size_t(closing.field));
        break;
    case OnClose::EndFontTable:
        commitFontName();
        m_fontDef = -1;
        ++m_fontsVersion;
        break;
    }
    if (closing.target == Target::FontName && closing.onClose != OnClose::EndFontTable)
        commitFontName(); // the end of one font's group
}

// Skips the rest of the current group, nested groups and \binN data included, without interpreting it.
void Parser::skipGroup() {
    int depth = 1;
    while (m_p < m_end) {
        const uchar c = *m_p++;
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0)
                break;
        } else if (c == '\\' && m_p < m_end) {
            if (m_end - m_p > 3 && m_p[0] == 'b' && m_p[1] == 'i' && m_p[2] == 'n' && !isLetter(m_p[3])) {
                m_p += 3;
                bool negative = false;
                if (m_p < m_end && *m_p == '-') {
                    negative = true;
                    ++m_p;
                }
                qint64 length = 0;
                while (m_p < m_end && isDigit(*m_p)) {
                    length = std::min<qint64>(length * 10 + (*m_p - '0'), kMaxParam);
                    ++m_p;
                }
                if (m_p < m_end && *m_p == ' ')
                    ++m_p;
                if (!negative)
                    m_p += std::min<qint64>(length, m_end - m_p);
            } else {
                ++m_p; // an escaped brace or backslash, or the first letter of a control word
            }
        }
    }
    m_skip = 0;
    if (m_overflow > 0)
        --m_overflow;
    else if (m_states.size() > 2)
        m_states.pop_back();
}

void Parser::controlWord() {
    const uchar* nameStart = m_p;
    while (m_p < m_end && isLetter(*m_p))
        ++m_p;
    const std::string_view name(reinterpret_cast<const char*>(nameStart), size_t(m_p - nameStart));
    bool hasParam = false;
    bool negative = false;
    qint64 value = 0;
    if (m_p + 1 < m_end && *m_p == '-' && isDigit(m_p[1])) {
        negative = true;
        ++m_p;
    }
    while (m_p < m_end && isDigit(*m_p)) {
        hasParam = true;
        value = std::min<qint64>(value * 10 + (*m_p - '0'), kMaxParam);
        ++m_p;
    }
    if (m_p < m_end && *m_p == ' ')
        ++m_p;
    const int param = int(negative ? -value : value);
    const bool star = std::exchange(m_star, false);
    const bool groupStart = std::exchange(m_groupJustOpened, false);

    if (name == "bin") {
        binary(hasParam && !negative ? value : 0);
        return;
    }
    // The fallback of \uN is text and \'hh; a control word ends it, so that none is lost.
    m_skip = 0;
    const auto& table = commands();
    const auto it = table.find(name);
    if (it == table.end()) {
        if (star && groupStart)
            skipGroup();
        return;
    }
    const CmdInfo info = it->second;
    if (isDestination(info.cmd)) {
        // A destination belongs to a group inside the document; past the nesting limit there is no group
        // state to give it, so it is skipped.
        if (m_states.size() <= 2)
            return;
        if (info.cmd == Cmd::Skip || m_overflow > 0)
            skipGroup();
        else
            destination(info.cmd, info.arg);
        return;
    }
    command(info, hasParam, param);
}

void Parser::controlSymbol() {
    if (m_p >= m_end)
        return;
    const uchar c = *m_p++;
    const bool groupStart = std::exchange(m_groupJustOpened, false);
    m_star = false;
    if (c == '*') {
        m_star = groupStart;
        m_groupJustOpened = groupStart;
        return;
    }
    if (c == '\'') {
        int value = -1;
        if (m_p < m_end && hexValue(*m_p) >= 0) {
            value = hexValue(*m_p++);
            if (m_p < m_end && hexValue(*m_p) >= 0)
                value = value * 16 + hexValue(*m_p++);
        }
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        if (value >= 0)
            putByte(uchar(value));
        return;
    }
    m_skip = 0;
    switch (c) {
    case '\\':
    case '{':
    case '}':
        putUnit(c);
        break;
    case '~':
        putUnit(0x00A0);
        break;
    case '-':
        putUnit(0x00AD);
        break;
    case '_':
        putUnit(0x2011);
        break;
    case '\t':
        putUnit('\t');
        break;
    case '\r':
    case '\n':
        endParagraph();
        break;
    default: // \| \: and unknown symbols
        break;
    }
}

void Parser::binary(qint64 length) {
    length = std::min<qint64>(length, m_end - m_p);
    const uchar* data = m_p;
    m_p += length;
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    if (top().target == Target::Picture && m_pictureWanted)
        m_picture.data.append(reinterpret_cast<const char*>(data), length);
}

void Parser::destination(Cmd cmd, int) {
    State& s = top();
    switch (cmd) {
    case Cmd::Skip:
        break;
    case Cmd::Pass:
        break;
    case Cmd::Hidden:
        s.target = Target::None;
        break;
    case Cmd::SideText:
        if (s.target == Target::Main || s.target == Target::Side || s.target == Target::None) {
            if (s.target != Target::Side)
                s.onClose = OnClose::EndSide;
            s.target = Target::Side;
        } else {
            s.target = Target::None;
        }
        break;
    case Cmd::FontTable:
        s.target = Target::FontName;
        s.fontTable = true;
        s.onClose = OnClose::EndFontTable;
        commitFontName();
        break;
    case Cmd::ColorTable:
        s.target = Target::ColorTable;
        m_tables.colors.clear();
        m_rgb[0] = m_rgb[1] = m_rgb[2] = -1;
        break;
    case Cmd::Field:
        if (m_fields.size() < size_t(kMaxFields)) {
            m_fields.emplace_back();
            s.field = int(m_fields.size() - 1);
            s.onClose = OnClose::EndField;
        }
        break;
    case Cmd::FieldInst:
        s.instField = s.field;
        s.target = s.field >= 0 ? Target::FieldInst : Target::None;
        break;
    case Cmd::FieldResult:
        if (s.field >= 0 && s.target != Target::FieldInst) {
            const QString href = withValidSurrogates(hyperlinkTarget(m_fields[size_t(s.field)]));
            if (!href.isEmpty()) {
                if (m_tables.links.empty() || m_tables.links.back() != href)
                    m_tables.links.push_back(href);
                s.chr.link = int(m_tables.links.size() - 1);
            }
        }
        break;
    case Cmd::Picture:
        s.target = Target::Picture;
        s.onClose = OnClose::EndPicture;
        m_picture = Picture{};
        m_pictureWanted = false;
        m_pictureNibble = -1;
        m_picWidthGoal = m_picHeightGoal = 0;
        m_picScaleX = m_picScaleY = 100;
        break;
    case Cmd::Title:
        s.target = Target::Title;
        m_tables.title.clear();
        break;
    case Cmd::Upr:
        s.outerTarget = s.target;
        s.target = Target::None;
        break;
    case Cmd::Ud:
        s.target = s.outerTarget;
        break;
    default:
        break;
    }
}

void Parser::command(const CmdInfo& info, bool hasParam, int param) {
    State& s = top();
    CharProps& chr = s.chr;
    ParaProps& para = s.para;
    const bool on = !hasParam || param != 0;
    switch (info.cmd) {
    case Cmd::Char:
        putUnit(char16_t(info.arg));
        break;
    case Cmd::Par:
        endParagraph();
        break;
    case Cmd::SoftPar:
        if ((s.target == Target::Main && m_mainHasContent) || (s.target == Target::Side && m_sideHasContent))
            endParagraph();
        break;
    case Cmd::Cell:
        endParagraph();
        break;
    case Cmd::Row:
        if ((s.target == Target::Main && m_mainHasContent) || (s.target == Target::Side && m_sideHasContent))
            endParagraph();
        break;
    case Cmd::Footnote:
        if (s.target == Target::Main)
            ++m_footnotes;
        if (s.target == Target::Main || s.target == Target::Side) {
            const QString number = QString::number(std::max(m_footnotes, 1));
            for (const QChar c : number)
                putUnit(c.unicode());
        }
        break;
    case Cmd::Bold:
        chr.bold = on;
        break;
    case Cmd::Italic:
        chr.italic = on;
        break;
    case Cmd::Underline:
        chr.underline = on ? quint8(info.arg) : 0;
        break;
    case Cmd::UnderlineNone:
        chr.underline = 0;
        break;
    case Cmd::Strike:
        chr.strike = on;
        break;
    case Cmd::Super:
        chr.vertical = 1;
        break;
    case Cmd::Sub:
        chr.vertical = 2;
        break;
    case Cmd::NoSuperSub:
        chr.vertical = 0;
        break;
    case Cmd::Up:
        chr.vertical = on ? 1 : 0;
        break;
    case Cmd::Down:
        chr.vertical = on ? 2 : 0;
        break;
    case Cmd::Caps:
        chr.caps = on ? 1 : 0;
        break;
    case Cmd::SmallCaps:
        chr.caps = on ? 2 : 0;
        break;
    case Cmd::Font:
        if (!hasParam)
            break;
        if (s.fontTable) {
            commitFontName();
            m_fontDef = param;
            m_fontNameDone = false;
            ++m_fontsVersion;
        } else {
            chr.font = param;
        }
        break;
    case Cmd::FontSize:
        chr.size = param > 0 ? std::min(param, 3276) : 0;
        break;
    case Cmd::Foreground:
        chr.foreground = std::clamp(param, 0, 0xFFFF);
        break;
    case Cmd::Background:
        chr.background = std::clamp(param, 0, 0xFFFF);
        break;
    case Cmd::Plain: {
        const int link = chr.link;
        chr = CharProps{};
        chr.link = link;
        break;
    }
    case Cmd::Pard:
        para = ParaProps{};
        break;
    case Cmd::Align:
        para.align = info.arg;
        break;
    case Cmd::LeftIndent:
        para.left = clampLength(param);
        break;
    case Cmd::RightIndent:
        para.right = clampLength(param);
        break;
    case Cmd::FirstIndent:
        para.firstLine = clampLength(param);
        break;
    case Cmd::SpaceBefore:
        para.before = std::clamp(param, 0, kMaxLength);
        break;
    case Cmd::SpaceAfter:
        para.after = std::clamp(param, 0, kMaxLength);
        break;
    case Cmd::Unicode: {
        if (!hasParam)
            break;
        const int uc = s.uc;
        const int value = param < 0 ? param + 65536 : param;
        selectCodePage();
        if (!m_asciiDirect && value >= 0xF020 && value <= 0xF0FF) {
            // Symbol fonts' glyphs as writers give them: U+F000 plus the font's byte.
            putByte(uchar(value - 0xF000));
        } else if (value != 0) {
            putUnit(value > 0 && value <= 0xFFFF ? char16_t(value) : char16_t(0xFFFD));
        }
        m_skip = uc;
        break;
    }
    case Cmd::UnicodeSkip:
        s.uc = std::clamp(param, 0, 16);
        break;
    case Cmd::CharsetCodePage:
        m_charsetCodePage = info.arg;
        ++m_fontsVersion;
        break;
    case Cmd::AnsiCodePage:
        if (param > 0)
            m_ansiCodePage = param;
        ++m_fontsVersion;
        break;
    case Cmd::DefaultFont:
        m_tables.defaultFont = param;
        ++m_fontsVersion;
        break;
    case Cmd::FontCharset:
        if (s.fontTable && m_fontDef >= 0) {
            m_fontCharset.insert(m_fontDef, param);
            ++m_fontsVersion;
        }
        break;
    case Cmd::FontCodePage:
        if (s.fontTable && m_fontDef >= 0) {
            m_fontCpg.insert(m_fontDef, param);
            ++m_fontsVersion;
        }
        break;
    case Cmd::Red:
    case Cmd::Green:
    case Cmd::Blue:
        if (s.target == Target::ColorTable)
            m_rgb[int(info.cmd) - int(Cmd::Red)] = std::clamp(param, 0, 255);
        break;
    case Cmd::PictureType:
        if (s.target == Target::Picture) {
            m_picture.format = info.arg == 1 ? "png" : info.arg == 2 ? "jpeg" : nullptr;
            m_pictureWanted = m_picture.format != nullptr;
        }
        break;
    case Cmd::PicWidthGoal:
        m_picWidthGoal = std::clamp(param, 0, kMaxLength * 10);
        break;
    case Cmd::PicHeightGoal:
        m_picHeightGoal = std::clamp(param, 0, kMaxLength * 10);
        break;
    case Cmd::PicScaleX:
        m_picScaleX = std::clamp(param, 1, 10000);
        break;
    case Cmd::PicScaleY:
        m_picScaleY = std::clamp(param, 1, 10000);
        break;
    default:
        break;
    }
}

void Parser::plainText() {
    const uchar* start = m_p;
    while (m_p < m_end && !kStopTable[*m_p])
        ++m_p;
    qsizetype n = m_p - start;
    if (m_skip > 0) {
        const qsizetype skipped = std::min<qsizetype>(m_skip, n);
        m_skip -= int(skipped);
        start += skipped;
        n -= skipped;
    }
    if (n > 0)
        putAscii(start, n);
    if (m_p >= m_end)
        return;
    const uchar c = *m_p;
    if (c == '\\' || c == '{' || c == '}' || c == '\r' || c == '\n')
        return;
    ++m_p;
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    if (c >= 0x80)
        putByte(c);
    else if (c == '\t')
        putUnit('\t');
    // other control characters carry nothing
}

void Parser::selectCodePage() {
    const State& s = m_states.back();
    const int font = s.target == Target::FontName ? m_fontDef : s.chr.font;
    if (font == m_decoderFont && m_fontsVersion == m_decoderFontsVersion)
        return;
    m_decoderFont = font;
    m_decoderFontsVersion = m_fontsVersion;
    int codePage = font >= 0 ? fontCodePage(font) : 0;
    // A symbol font's name is ordinary text.
    if (codePage == 0 || (s.target == Target::FontName && codePage < 0))
        codePage = documentCodePage();
    m_decoder.setCodePage(codePage, [this](char16_t u) { putUnit(u); });
    m_asciiDirect = codePage != kSymbolCodePage && codePage != kWingdingsCodePage;
}

// The code page a font's bytes are in; 0 when the font follows the document's code page.
int Parser::fontCodePage(int font) const {
    const auto cpg = m_fontCpg.constFind(font);
    if (cpg != m_fontCpg.cend() && *cpg > 0 && *cpg != 1 && *cpg != 2)
        return *cpg;
    const auto charset = m_fontCharset.constFind(font);
    const int codePage = charset != m_fontCharset.cend() ? codePageForCharset(*charset) : 0;
    if (codePage == 0 || codePage == kSymbolCodePage) {
        // Symbol fonts are known by name too: older writers give them no \fcharset.
        const QString name = m_tables.fontNames.value(font);
        if (isSymbolFontName(name))
            return kSymbolCodePage;
        if (isDingbatFontName(name) || codePage == kSymbolCodePage)
            return kWingdingsCodePage;
    }
    return codePage;
}

int Parser::documentCodePage() const {
    if (m_ansiCodePage > 0 && m_ansiCodePage != 1 && m_ansiCodePage != 2)
        return m_ansiCodePage;
    if (m_tables.defaultFont >= 0) {
        const int codePage = fontCodePage(m_tables.defaultFont);
        if (codePage > 0)
            return codePage;
    }
    return m_charsetCodePage;
}

void Parser::commitFontName() {
    if (!m_fontNameDone && m_fontDef >= 0) {
        const QString name = withValidSurrogates(m_fontName.trimmed());
        if (!name.isEmpty() && !m_tables.fontNames.contains(m_fontDef))
            m_tables.fontNames.insert(m_fontDef, name);
        ++m_fontsVersion;
    }
    m_fontName.clear();
    m_fontNameDone = true;
}

void Parser::putAscii(const uchar* s, qsizetype n) {
    const Target target = top().target;
    if (target == Target::Main || target == Target::Side) {
        selectCodePage();
        if (m_decoder.pending() || !m_asciiDirect) {
            for (qsizetype i = 0; i < n; ++i)
                putByte(s[i]);
            return;
        }
        resolveSurrogate();
        prepareRun(target);
        m_run.append(QLatin1StringView(reinterpret_cast<const char*>(s), n));
        return;
    }
    if (target == Target::None)
        return;
    for (qsizetype i = 0; i < n; ++i) {
        // Only a literal ";" ends a font's name, so that a name may hold one written as \u59.
        if (target == Target::FontName && s[i] == ';')
            commitFontName();
        else
            putByte(s[i]);
    }
}

void Parser::putByte(uchar byte) {
    const Target target = top().target;
    if (target == Target::None)
        return;
    if (target == Target::Picture) {
        putUnit(byte);
        return;
    }
    selectCodePage();
    m_decoder.feed(byte, [this](char16_t u) { putUnit(u); });
}

void Parser::putUnit(char16_t c) {
    if ((c < 0x20 && c != '\t') || c == 0x7F)
        return; // control characters carry nothing
    State& s = top();
    switch (s.target) {
    case Target::Main:
    case Target::Side:
        putRunUnit(c);
        break;
    case Target::None:
        break;
    case Target::FontName:
        if (!m_fontNameDone && m_fontName.size() < kMaxTitleLength)
            m_fontName.append(QChar(c));
        break;
    case Target::ColorTable:
        if (c == u';') {
            const bool given = m_rgb[0] >= 0 || m_rgb[1] >= 0 || m_rgb[2] >= 0;
            m_tables.colors.push_back(
                given ? QColor(std::max(m_rgb[0], 0), std::max(m_rgb[1], 0), std::max(m_rgb[2], 0))
                      : QColor());
            m_rgb[0] = m_rgb[1] = m_rgb[2] = -1;
        }
        break;
    case Target::FieldInst:
        if (s.instField >= 0 && size_t(s.instField) < m_fields.size() &&
            m_fields[size_t(s.instField)].size() < kMaxInstructionLength)
            m_fields[size_t(s.instField)].append(QChar(c));
        break;
    case Target::Title:
        if (m_tables.title.size() < kMaxTitleLength)
            m_tables.title.append(QChar(c));
        break;
    case Target::Picture: {
        if (!m_pictureWanted || c > 0x7F)
            break;
        const int v = hexValue(uchar(c));
        if (v < 0)
            break;
        if (m_pictureNibble < 0) {
            m_pictureNibble = v;
        } else {
            m_picture.data.append(char(m_pictureNibble * 16 + v));
            m_pictureNibble = -1;
        }
        break;
    }
    }
}

// Text for the body or side text: pairs surrogates, so that one without its partner becomes U+FFFD.
void Parser::putRunUnit(char16_t c) {
    if (QChar::isHighSurrogate(c)) {
        resolveSurrogate();
        m_highSurrogate = c;
        return;
    }
    if (QChar::isLowSurrogate(c)) {
        if (m_highSurrogate) {
            const char16_t high = std::exchange(m_highSurrogate, char16_t(0));
            appendToRun(high);
            m_run.append(QChar(c));
        } else {
            appendToRun(0xFFFD);
        }
        return;
    }
    resolveSurrogate();
    if (c == 0x2029) {
        endParagraph();
        return;
    }
    // The object replacement character stands for pictures in a QTextDocument, and the noncharacters
    // U+FDD0-U+FDEF mark its frames: text cannot hold them.
    if (c == 0xFFFC || (c >= 0xFDD0 && c <= 0xFDEF) || c == 0xFFFE || c == 0xFFFF)
        return;
    appendToRun(c);
}

void Parser::resolveSurrogate() {
    if (m_highSurrogate) {
        m_highSurrogate = 0;
        appendToRun(0xFFFD);
    }
}

void Parser::appendToRun(char16_t c) {
    Target target = top().target;
    if (target != Target::Main && target != Target::Side)
        target = m_runTarget;
    prepareRun(target);
    m_run.append(QChar(c));
}

void Parser::prepareRun(Target target) {
    const State& s = m_states.back();
    if (target != m_runTarget || !(s.chr == m_runProps)) {
        flushRun();
        m_runTarget = target;
        m_runProps = s.chr;
    }
    if (target == Target::Main) {
        m_mainHasContent = true;
        m_lastMainPara = s.para;
    } else {
        m_sideHasContent = true;
    }
}

void Parser::flushRun() {
    if (m_run.isEmpty())
        return;
    sinkFor(m_runTarget).text(m_run, m_runProps);
    m_run.resize(0);
}

void Parser::endParagraph() {
    const State& s = m_states.back();
    if (s.target != Target::Main && s.target != Target::Side)
        return;
    m_decoder.flush([this](char16_t u) { putUnit(u); });
    resolveSurrogate();
    flushRun();
    sinkFor(s.target).endParagraph(s.para);
    if (s.target == Target::Main) {
        m_mainHasContent = false;
        m_mainEnded = true;
    } else {
        m_sideHasContent = false;
    }
}

void Parser::endSideText(const ParaProps& para) {
    if (m_runTarget == Target::Side) {
        resolveSurrogate();
        flushRun();
    }
    if (m_sideHasContent) {
        m_side.endParagraph(para);
        m_sideHasContent = false;
    }
}

void Parser::finishPicture(const State& outer) {
    if (!m_picture.format || m_picture.data.isEmpty())
        return;
    if (outer.target != Target::Main && outer.target != Target::Side)
        return;
    {
        // Only a picture whose header can be read is shown; the rest would be an empty frame.
        QBuffer buffer(&m_picture.data);
        buffer.open(QIODevice::ReadOnly);
        const QSize natural = QImageReader(&buffer, m_picture.format).size();
        if (!natural.isValid() || natural.isEmpty())
            return;
        // Without a size in the file the picture has its own, given explicitly so that it survives saving
        // even when the picture's data is damaged past its header.
        m_picture.width = natural.width();
        m_picture.height = natural.height();
    }
    resolveSurrogate();
    flushRun();
    if (m_picWidthGoal > 0 && m_picHeightGoal > 0) {
        m_picture.width = m_picWidthGoal * (m_picScaleX / 100.0) / 15.0;
        m_picture.height = m_picHeightGoal * (m_picScaleY / 100.0) / 15.0;
    }
    // A size no page has would only make the editor scale the picture into a huge pixmap. Sizes are kept in
    // whole twips, as they are written.
    const double scale = kMaxPicturePixels / std::max({m_picture.width, m_picture.height, kMaxPicturePixels});
    m_picture.width = std::max(1.0, std::round(m_picture.width * scale * 15.0)) / 15.0;
    m_picture.height = std::max(1.0, std::round(m_picture.height * scale * 15.0)) / 15.0;
    sinkFor(outer.target).image(m_picture, outer.chr);
    if (outer.target == Target::Main) {
        m_mainHasContent = true;
        m_lastMainPara = outer.para;
    } else {
        m_sideHasContent = true;
    }
    m_picture = Picture{};
}

void Parser::finish() {
    while (m_states.size() > 1)
        popGroup(true);
    m_tables.title = withValidSurrogates(m_tables.title);
    m_decoder.flush([this](char16_t u) { putUnit(u); });
    resolveSurrogate();
    flushRun();
    if (!m_side.isEmpty()) {
        if (m_mainHasContent)
            m_sink.endParagraph(m_lastMainPara);
        m_side.replay(m_sink);
        m_sink.finish(nullptr);
    } else if (m_mainHasContent || !m_mainEnded) {
        m_sink.finish(&m_lastMainPara);
    } else {
        m_sink.finish(nullptr);
    }
}

} // namespace

void parse(const QByteArray& bytes, Sink& sink, Tables& tables) {
    Parser parser(bytes, sink, tables);
    parser.run();
}

} // namespace rtf::detail
