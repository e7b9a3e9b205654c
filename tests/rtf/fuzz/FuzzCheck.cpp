#include "FuzzCheck.h"

#include "DocSnapshot.h"
#include "rtf/Kept.h"
#include "rtf/Rtf.h"
#include "rtf/private/Tokenizer.h"

#include <QImage>
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

// The data of each \pict group in kept RTF, in order: its hexadecimal digits and \bin bytes as bytes. Groups
// nested in a picture (its properties) are not its data.
void appendPictureData(const QByteArray& rtfBytes, QList<QByteArray>& out) {
    using rtf::detail::Token;
    rtf::detail::Tokenizer tokens(rtfBytes.constData(), rtfBytes.constData() + rtfBytes.size());
    int depth = 0;
    int pictDepth = -1; // the depth of the \pict group being read, -1 outside one
    QByteArray data;
    int nibble = -1;
    for (Token t = tokens.next(); t.kind != Token::Kind::End; t = tokens.next()) {
        const bool inPicture = depth == pictDepth;
        switch (t.kind) {
        case Token::Kind::GroupOpen:
            ++depth;
            break;
        case Token::Kind::GroupClose:
            if (inPicture) {
                out.append(data);
                pictDepth = -1;
            }
            --depth;
            break;
        case Token::Kind::ControlWord:
            if (t.text == "pict" && pictDepth < 0) {
                pictDepth = depth;
                data.clear();
                nibble = -1;
            }
            break;
        case Token::Kind::Text:
            for (const char c : t.text) {
                const int v = rtf::detail::hexValue(uchar(c));
                if (!inPicture || v < 0)
                    continue;
                if (nibble < 0) {
                    nibble = v;
                } else {
                    data.append(char(nibble * 16 + v));
                    nibble = -1;
                }
            }
            break;
        case Token::Kind::Binary:
            if (inPicture)
                data.append(t.text.data(), qsizetype(t.text.size()));
            break;
        default:
            break;
        }
    }
    if (pictDepth >= 0)
        out.append(data);
}

// The bytes of every picture the document holds, in order: what the editor shows (the image data it decodes,
// or the size of the image it draws) and the data of the pictures in the picture's kept RTF.
QList<QByteArray> pictureBytes(const QTextDocument& doc) {
    QList<QByteArray> bytes;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QVariant shown =
                doc.resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()));
            for (qsizetype i = 0; i < it.fragment().length(); ++i) {
                if (shown.userType() == QMetaType::QImage) {
                    const QSize size = shown.value<QImage>().size();
                    bytes.append("image " + QByteArray::number(size.width()) + "x" +
                                 QByteArray::number(size.height()));
                } else {
                    bytes.append("data " + shown.toByteArray());
                }
                appendPictureData(format.property(rtf::kKeptRtf).toByteArray(), bytes);
            }
        }
    }
    return bytes;
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
    const QList<QByteArray> pictures = pictureBytes(doc);
    const QList<QByteArray> picturesBack = pictureBytes(back);
    for (qsizetype i = 0; i < std::max(pictures.size(), picturesBack.size()); ++i) {
        if (pictures.value(i) != picturesBack.value(i))
            return u"picture bytes %1 of %2 changed in a write/read round trip (%3 of them now)"_s.arg(i)
                .arg(pictures.size())
                .arg(picturesBack.size());
    }
    if (back.metaInformation(QTextDocument::DocumentTitle) !=
        doc.metaInformation(QTextDocument::DocumentTitle))
        return u"the title changed in a write/read round trip"_s;
    return {};
}

} // namespace rtffuzz
