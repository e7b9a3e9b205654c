// The destinations: what a group that starts with a destination word holds, what happens when it ends, and
// the state of the font table, colour table and fields. Pictures have Pictures.cpp.

#include "Interpreter.h"
#include "Units.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace rtf::detail {

namespace {

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

} // namespace

bool Interpreter::insideKeptBytes() const {
    return std::any_of(m_states.begin(), m_states.end(), [](const GroupState& g) {
        return g.kept.group || g.onClose == OnClose::EndSide || g.onClose == OnClose::EndFieldInstruction;
    });
}

void Interpreter::destination(Op op) {
    GroupState& s = top();
    // Inside a shape's property only a picture is read; inside kept bytes (a picture, shape or object, a
    // header, note or comment, a field's instruction) no table of the document's is redefined: those bytes
    // are written back as they are, in a file with tables of its own, which they would otherwise redefine
    // again where they are read back. A font table's word in the middle of a group with another end of its
    // own (a field, a note) does not make that group a font table.
    const bool table = op == Op::FontTable || op == Op::ColorTable || op == Op::ListTable ||
                       op == Op::ListOverrideTable || op == Op::ParagraphNumbering || op == Op::Title;
    if ((s.shapeProperty && op != Op::Picture) || (table && insideKeptBytes()) ||
        (op == Op::FontTable && s.onClose != OnClose::Nothing && s.onClose != OnClose::EndFontTable)) {
        skipGroup();
        return;
    }
    switch (op) {
    case Op::ShapeProperty:
        s.target = Target::None;
        s.shapeProperty = true;
        break;
    case Op::HiddenText:
        s.target = Target::None;
        break;
    case Op::SideText:
    case Op::Footnote:
        // A text box's text is kept with its shape; other side text inside a picture or an object is kept
        // with it, not shown; inside a kept group a nested one is kept with it; elsewhere (in a font table,
        // say) it is dropped.
        if (s.target != Target::Side) {
            const bool inBody = s.target == Target::Main;
            s.target = startKept(s) ? Target::Side : Target::None;
            if (op == Op::Footnote && inBody && s.target == Target::Side)
                m_notes.noteStarted();
        }
        break;
    case Op::ListTable:
    case Op::ListOverrideTable:
    case Op::ParagraphNumbering:
        readListGroup(op);
        break;
    case Op::ListText:
        if (s.target == Target::Main) {
            // A marker not yet shown (a paragraph of a list with no text) is dropped with the paragraph.
            m_listText.clear();
            m_listTextProps = s.chr;
            s.target = Target::ListText;
        }
        break;
    case Op::FontTable:
        s.target = Target::FontName;
        s.fontTable = true;
        s.onClose = OnClose::EndFontTable;
        m_text.commitFontName();
        break;
    case Op::ColorTable:
        s.target = Target::ColorTable;
        m_tables.colors.clear();
        m_color.reset();
        break;
    case Op::Field:
        // In the middle of a group with an end of its own (a note, a field's instruction) the word starts no
        // field: the group keeps its end.
        if (m_fields.size() < size_t(kMaxFields) && s.onClose == OnClose::Nothing) {
            m_fields.emplace_back();
            s.field = int(m_fields.size() - 1);
            s.onClose = OnClose::EndField;
        }
        break;
    case Op::FieldInstruction:
        // A lead byte waiting for its trail byte is the text's around the field: the instruction, kept as it
        // came, begins without it.
        m_text.flushPending();
        // A field has one instruction: a second \fldinst group in it is ignored, as it is not written back.
        if (s.field >= 0) {
            m_fieldInstructed.resize(m_fields.size());
            if (m_fieldInstructed[size_t(s.field)]) {
                s.target = Target::None;
                break;
            }
            m_fieldInstructed[size_t(s.field)] = true;
        }
        s.instField = s.field;
        s.target = s.field >= 0 ? Target::FieldInst : Target::None;
        // Kept whole, unless its group has shown text before the instruction, which would then show twice.
        if (s.field >= 0 && s.mainEvents == m_text.bodyEvents() && s.onClose == OnClose::Nothing)
            s.onClose = OnClose::EndFieldInstruction;
        break;
    case Op::FieldResult:
        fieldResult(s);
        break;
    case Op::Picture:
        startKeptGroup(s, OnClose::EndPicture, false, "pict");
        s.target = Target::Picture;
        m_picture = PictureState{};
        break;
    case Op::ShapePicture:
        startKeptGroup(s, OnClose::EndShapePicture, true, "shppict");
        break;
    case Op::NonShapePicture:
        // One that follows its \shppict is kept with it (finishPictureSet()); this one stands alone.
        startKeptGroup(s, OnClose::EndPictureSet, true, "nonshppict");
        break;
    case Op::Object:
        startKeptGroup(s, OnClose::EndPictureSet, true, "object"); // shown by its result's picture
        break;
    case Op::Shape:
    case Op::ShapeGroup:
        // Shown by its picture; one that turns out to hold a text box is kept with its text (startKept()). A
        // shape word starts its group: in the middle of one it keeps nothing but a text box's text.
        if (m_destinationStartsGroup)
            startKeptGroup(s, OnClose::EndPictureSet, true, op == Op::Shape ? "shp" : "shpgrp");
        break;
    case Op::AnnotationPart:
        annotationPart();
        break;
    case Op::AnnotationRange:
        keepAnchor(s);
        break;
    case Op::Title:
        s.target = Target::Title;
        m_tables.title.clear();
        break;
    case Op::UnicodeAlternatives:
        s.outerTarget = s.target;
        s.target = Target::None;
        s.unicodeAlternatives = true;
        break;
    case Op::UnicodeText:
        // Outside an \upr group the text goes where the text around it goes.
        if (s.unicodeAlternatives)
            s.target = s.outerTarget;
        break;
    default: // PassGroup: the group's text goes where the text around it goes
        break;
    }
}

// Properties that only mean something inside a colour table or a picture.
void Interpreter::destinationProperty(Op op, int value) {
    const Target target = top().target;
    switch (op) {
    case Op::Red:
    case Op::Green:
    case Op::Blue:
        if (target == Target::ColorTable)
            m_color.rgb[op == Op::Red ? 0 : op == Op::Green ? 1 : 2] = std::clamp(value, 0, 255);
        break;
    case Op::PictureType:
        if (target == Target::Picture) {
            m_picture.picture.kind = PictureKind(value);
            m_picture.wanted = m_picture.picture.format() != nullptr;
            m_picture.picture.data.clear();
        }
        break;
    case Op::PictureWidthGoal:
        m_picture.widthGoal = std::clamp(value, 0, kMaxLength * 10);
        break;
    case Op::PictureHeightGoal:
        m_picture.heightGoal = std::clamp(value, 0, kMaxLength * 10);
        break;
    case Op::PictureScaleX:
        m_picture.scaleX = std::clamp(value, 1, 10000);
        break;
    case Op::PictureScaleY:
        m_picture.scaleY = std::clamp(value, 1, 10000);
        break;
    case Op::PictureWidth:
        m_picture.width = std::clamp(value, 0, kMaxLength * 10);
        break;
    case Op::PictureHeight:
        m_picture.height = std::clamp(value, 0, kMaxLength * 10);
        break;
    case Op::ObjectWidth:
        m_pictureSet.objectWidth = std::clamp(value, 0, kMaxLength * 10);
        break;
    case Op::ObjectHeight:
        m_pictureSet.objectHeight = std::clamp(value, 0, kMaxLength * 10);
        break;
    case Op::ShapeLeft:
    case Op::ShapeTop:
    case Op::ShapeRight:
    case Op::ShapeBottom:
        if (int& side = m_pictureSet.shape[int(op) - int(Op::ShapeLeft)]; side == INT_MIN)
            side = std::clamp(value, -kMaxLength * 10, kMaxLength * 10);
        break;
    default:
        m_table.property(op, value, top().para, top().target == Target::Main);
        break;
    }
}

// A ";" ends one colour of the table; one without components is the automatic colour.
void Interpreter::commitColor() {
    const int* rgb = m_color.rgb;
    m_tables.colors.push_back(
        m_color.given() ? QColor(std::max(rgb[0], 0), std::max(rgb[1], 0), std::max(rgb[2], 0)) : QColor());
    m_color.reset();
}

// The result of a HYPERLINK field is a link to its address.
void Interpreter::fieldResult(GroupState& s) {
    if (s.field < 0 || s.target == Target::FieldInst)
        return;
    const QString href = withValidSurrogates(hyperlinkTarget(m_fields[size_t(s.field)]));
    if (href.isEmpty()) {
        // Another field: its result is shown, its instruction kept. A second \fldrslt in it goes on with the
        // same field, which is written back as one.
        m_fieldShownAs.resize(m_fields.size(), -1);
        if (const int shown = m_fieldShownAs[size_t(s.field)]; shown >= 0) {
            s.chr.field = shown;
        } else if (size_t(s.field) < m_fieldGroups.size() && !m_fieldGroups[size_t(s.field)].isEmpty() &&
                   m_tables.fieldInstructions.size() < 100000) {
            m_tables.fieldInstructions.push_back(m_fieldGroups[size_t(s.field)]);
            s.chr.field = int(m_tables.fieldInstructions.size() - 1);
            m_fieldShownAs[size_t(s.field)] = s.chr.field;
        }
        return;
    }
    if (m_tables.links.empty() || m_tables.links.back() != href)
        m_tables.links.push_back(href);
    s.chr.link = int(m_tables.links.size() - 1);
}

} // namespace rtf::detail
