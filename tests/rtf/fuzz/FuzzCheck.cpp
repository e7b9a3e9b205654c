#include "FuzzCheck.h"

#include "DocSnapshot.h"
#include "rtf/Rtf.h"

#include <QTextDocument>

using namespace Qt::StringLiterals;

namespace rtffuzz {

namespace {

// Beyond this many characters only text and paragraphs are compared: a full snapshot costs more memory than
// the document.
constexpr int kSnapshotLimit = 200'000;

QString withoutObjects(QString text) {
    return text.remove(QChar(0xFFFC));
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
    if (back.metaInformation(QTextDocument::DocumentTitle) !=
        doc.metaInformation(QTextDocument::DocumentTitle))
        return u"the title changed in a write/read round trip"_s;
    return {};
}

} // namespace rtffuzz
