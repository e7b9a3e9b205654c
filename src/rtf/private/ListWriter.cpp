#include "ListWriter.h"
#include "Syntax.h"

#include "Lists.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>

using namespace Qt::StringLiterals;

namespace rtf::detail {

namespace {

constexpr int kLevels = kListLevels;
constexpr int kLevelIndent = kListLevelIndent;

// \levelnfc: the numbering format of a level.
int numberFormat(QTextListFormat::Style style) {
    switch (style) {
    case QTextListFormat::ListDecimal:
        return 0;
    case QTextListFormat::ListUpperRoman:
        return 1;
    case QTextListFormat::ListLowerRoman:
        return 2;
    case QTextListFormat::ListUpperAlpha:
        return 3;
    case QTextListFormat::ListLowerAlpha:
        return 4;
    default:
        return 23; // a bullet
    }
}

QString bulletOf(QTextListFormat::Style style) {
    switch (style) {
    case QTextListFormat::ListCircle:
        return u"\u25E6"_s;
    case QTextListFormat::ListSquare:
        return u"\u25AA"_s;
    default:
        return u"\u2022"_s;
    }
}

void writeLevel(QByteArray& out, const QTextListFormat& format, int level) {
    const QTextListFormat::Style style = format.style();
    const int nfc = numberFormat(style);
    out.append("{\\listlevel");
    appendNumber(out, "\\levelnfc", nfc);
    appendNumber(out, "\\levelnfcn", nfc);
    out.append("\\leveljc0\\leveljcn0\\levelfollow0\\levelstartat1\\levelspace0\\levelindent0{\\leveltext");
    if (nfc == 23) {
        appendHexEscape(out, 1);
        appendRtfText(out, bulletOf(style));
        out.append(";}{\\levelnumbers;}");
    } else {
        // Qt's markers have a prefix and a suffix ("." by default) around the number; RTF's level text is the
        // same with a placeholder byte for the level's number.
        const QString prefix = format.numberPrefix().left(100);
        // Without a suffix of its own a list shows "." after the number.
        const QString suffix =
            (format.hasProperty(QTextFormat::ListNumberSuffix) ? format.numberSuffix() : u"."_s).left(100);
        appendHexEscape(out, uchar(prefix.size() + 1 + suffix.size()));
        appendRtfText(out, prefix);
        appendHexEscape(out, uchar(level));
        appendRtfText(out, suffix);
        out.append(";}{\\levelnumbers");
        appendHexEscape(out, uchar(prefix.size() + 1));
        out.append(";}");
    }
    appendNumber(out, "\\fi", -kListMarkerHang);
    appendNumber(out, "\\li", (level + 1) * kLevelIndent);
    out.append('}');
}

} // namespace

ListWriter::ListWriter(const QTextDocument& doc) {
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QTextList* list = block.textList();
        if (list && !m_number.contains(list)) {
            m_lists.append(list);
            m_number.insert(list, int(m_lists.size()));
        }
    }
}

int ListWriter::level(const QTextList* list) {
    return std::clamp(list->format().indent() - 1, 0, kLevels - 1);
}

void ListWriter::writeTables(QByteArray& out) const {
    if (m_lists.isEmpty())
        return;
    out.append("{\\*\\listtable");
    for (const QTextList* list : m_lists) {
        const int n = m_number.value(list);
        out.append("\r\n{\\list\\listtemplateid");
        out.append(QByteArray::number(n));
        out.append("\\listsimple0");
        for (int level = 0; level < kLevels; ++level)
            writeLevel(out, list->format(), level);
        appendNumber(out, "\\listid", n);
        out.append('}');
    }
    out.append("}\r\n{\\*\\listoverridetable");
    for (const QTextList* list : m_lists) {
        const int n = m_number.value(list);
        appendNumber(out, "{\\listoverride\\listid", n);
        appendNumber(out, "\\listoverridecount0\\ls", n);
        out.append('}');
    }
    out.append("}\r\n");
}

void ListWriter::writeParagraphWords(QByteArray& out, const QTextList* list) const {
    appendNumber(out, "\\ls", m_number.value(list));
    appendNumber(out, "\\ilvl", level(list));
}

QString ListWriter::marker(const QTextList* list, const QTextBlock& block) {
    const QTextListFormat::Style style = list->format().style();
    if (numberFormat(style) == 23)
        return bulletOf(style);
    return list->itemText(block);
}

} // namespace rtf::detail
