#include "FuzzCheck.h"

#include "DocSnapshot.h"
#include "rtf/Kept.h"
#include "rtf/Rtf.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextList>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace rtffuzz {

namespace {

// Beyond this many characters only text and paragraphs are compared: a full snapshot costs more memory than
// the document.
constexpr int kSnapshotLimit = 200'000;

QString withoutObjects(QString text) {
    return text.remove(QChar(0xFFFC));
}

// What must survive a save beyond text and formatting, one line per paragraph: its list (style, level,
// number), its kept groups (by their text) and fields.
QStringList shape(const QTextDocument& doc) {
    QStringList lines;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QString line;
        if (const QTextList* list = block.textList())
            line += u"list %1 %2 %3;"_s.arg(list->format().style())
                        .arg(list->format().indent())
                        .arg(list->itemNumber(block));
        int lastId = 0;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const int id = format.intProperty(rtf::kKeptId);
            if (rtf::isKept(format) && id != lastId)
                line += u"kept[%1];"_s.arg(format.toolTip());
            else if (format.hasProperty(rtf::kKeptFieldInstruction) && id != lastId)
                line += u"field;"_s;
            lastId = id;
        }
        lines.append(line);
    }
    return lines;
}

} // namespace

QString checkOneInput(const QByteArray& bytes) {
    QTextDocument doc;
    const bool isRtf = rtf::isRtf(bytes);
    if (rtf::read(bytes, doc) != isRtf)
        return u"read() and isRtf() disagree"_s;
    if (!isRtf)
        return rtf::readPlainText(bytes) ? u"plain text read from non-RTF"_s : QString();

    const QString text = rtf::plainText(doc);
    if (rtf::readPlainText(bytes).value_or(QString()) != text)
        return u"the plain-text reading differs from the document's text"_s;
    if (rtf::readPlainText(bytes, rtf::TextScope::WithKept).value_or(QString()) !=
        rtf::plainText(doc, rtf::TextScope::WithKept))
        return u"the plain-text reading differs from the document's text with its kept text"_s;

    const QByteArray written = rtf::write(doc);
    for (const char c : written) {
        if (uchar(c) >= 0x80)
            return u"the writer emitted a byte above 0x7F"_s;
    }
    QTextDocument back;
    if (!rtf::read(written, back))
        return u"the writer's output is not RTF"_s;
    if (back.blockCount() != doc.blockCount())
        return u"%1 paragraphs became %2"_s.arg(doc.blockCount()).arg(back.blockCount());
    if (withoutObjects(rtf::plainText(back)) != withoutObjects(text))
        return u"the text changed in a write/read round trip"_s;
    if (doc.characterCount() <= kSnapshotLimit) {
        const QString difference = rtftest::firstDifference(rtftest::snapshot(doc), rtftest::snapshot(back));
        if (!difference.isEmpty())
            return u"round trip: "_s + difference;
    }
    const QStringList before = shape(doc);
    const QStringList after = shape(back);
    for (qsizetype i = 0; i < std::min(before.size(), after.size()); ++i) {
        if (before.at(i) != after.at(i))
            return u"paragraph %1: %2 became %3"_s.arg(i).arg(before.at(i).left(200), after.at(i).left(200));
    }
    if (rtf::plainText(back, rtf::TextScope::WithKept) != rtf::plainText(doc, rtf::TextScope::WithKept))
        return u"the kept text changed in a write/read round trip"_s;
    if (back.metaInformation(QTextDocument::DocumentTitle) !=
        doc.metaInformation(QTextDocument::DocumentTitle))
        return u"the title changed in a write/read round trip"_s;
    return {};
}

} // namespace rtffuzz
