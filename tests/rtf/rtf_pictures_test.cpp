// Pictures through a read and a write: every kind keeps its bytes and its size and scaling words, a
// \shppict keeps the \nonshppict after it, an \object and a shape are kept whole, and what the document shows
// for each.
// Also the three notes that lost or grew their pictures on save.

#include "rtf/Rtf.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextImageFormat>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

QByteArray encoded(const QImage& image, const char* format, int quality = -1) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

QImage solid(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QList<QTextImageFormat> images(const QTextDocument& doc) {
    QList<QTextImageFormat> found;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                found.append(it.fragment().charFormat().toImageFormat());
    return found;
}

QImage shown(const QTextDocument& doc, const QTextImageFormat& format) {
    const QVariant resource = doc.resource(QTextDocument::ImageResource, QUrl(format.name()));
    if (resource.userType() == QMetaType::QImage)
        return resource.value<QImage>();
    return QImage::fromData(resource.toByteArray());
}

struct WrittenPicture {
    QString words; // the control words of the \pict group, in their order
    QByteArray data;
};

// Every \pict group of RTF as our writer writes it (hexadecimal data), with its words and decoded data.
QList<WrittenPicture> pictures(const QByteArray& rtfBytes) {
    QList<WrittenPicture> found;
    static const QRegularExpression pict(u"\\{\\\\pict((?:\\s*\\\\[a-z]+-?\\d*)*)\\s*([0-9a-fA-F\\s]*)\\}"_s);
    for (const auto& match : pict.globalMatch(QString::fromLatin1(rtfBytes))) {
        QString words = match.captured(1);
        words.remove(QRegularExpression(u"\\s"_s));
        QByteArray hex = match.captured(2).toLatin1();
        hex.replace("\r", "").replace("\n", "").replace(" ", "");
        found.append({words, QByteArray::fromHex(hex)});
    }
    return found;
}

QByteArray readWrite(const QByteArray& input, QTextDocument& doc) {
    if (!rtf::read(input, doc))
        return {};
    return rtf::write(doc);
}

} // namespace

class RtfPicturesTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyKindKeepsItsBytesAndWords_data();
    void everyKindKeepsItsBytesAndWords();
    void binaryDataIsWrittenAsHex();
    void shapePictureKeepsItsAlternative();
    void objectKeptWholeAndShownByItsResult();
    void shapeKeptWholeAndShownByItsPicture();
    void loneNonShapePictureIsShownAndKept();
    void wordInsideAKeptGroupIsPartOfIt();
    void tablesInsideAPictureAreNotTheDocuments();
    void deletedPictureIsGone();
    void copiedPictureAndTextTypedBesideIt();
    void largePhotoIsShownAndKept();
    void photoIsNotEncodedAgain();
    void jpegAfterBareBin();
};

void RtfPicturesTest::everyKindKeepsItsBytesAndWords_data() {
    QTest::addColumn<QString>("words");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QSize>("shownSize"); // pixels
    QTest::addColumn<bool>("decoded");    // shown as the picture itself, else as a stand-in box
    const QImage image = solid(QSize(6, 4), Qt::blue);
    QTest::newRow("PNG, scaled")
        << u"\\pngblip\\picw6\\pich4\\picwgoal180\\pichgoal120\\picscalex50\\picscaley200"_s
        << encoded(image, "PNG") << QSize(6, 16) << true;
    QTest::newRow("JPEG, cropped") << u"\\jpegblip\\picw6\\pich4\\piccropl15\\piccropb30"_s
                                   << encoded(image, "JPEG") << QSize(6, 4) << true;
    // A BMP file without its 14-byte file header is a device-independent bitmap.
    QTest::newRow("DIB") << u"\\dibitmap0\\picw6\\pich4\\picwgoal90\\pichgoal60"_s
                         << encoded(image, "BMP").mid(14) << QSize(6, 4) << true;
    const QByteArray metafile = QByteArray::fromHex("010009000003220000000000") + QByteArray(20, '\x01');
    QTest::newRow("WMF") << u"\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720"_s << metafile
                         << QSize(96, 48) << false;
    QTest::newRow("WMF without goal")
        << u"\\wmetafile8\\picw2540\\pich1270"_s << metafile << QSize(96, 48) << false;
    QTest::newRow("EMF") << u"\\emfblip\\picw5080\\pich2540\\picwgoal2880\\pichgoal1440"_s << metafile
                         << QSize(192, 96) << false;
    QTest::newRow("device bitmap")
        << u"\\wbitmap0\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes2\\picw16\\pich8"_s << QByteArray(16, '\xff')
        << QSize(16, 8) << false;
    QTest::newRow("damaged PNG") << u"\\pngblip\\picwgoal300\\pichgoal150"_s
                                 << QByteArray::fromHex("89504e47") << QSize(20, 10) << false;
}

void RtfPicturesTest::everyKindKeepsItsBytesAndWords() {
    QFETCH(QString, words);
    QFETCH(QByteArray, data);
    QFETCH(QSize, shownSize);
    QFETCH(bool, decoded);
    const QByteArray input =
        "{\\rtf1\\ansi before{\\pict" + words.toLatin1() + "\r\n" + data.toHex() + "}after\\par}";
    QTextDocument doc;
    const QByteArray written = readWrite(input, doc);
    QCOMPARE(rtf::plainText(doc), u"beforeafter"_s);
    const QList<QTextImageFormat> found = images(doc);
    QCOMPARE(found.size(), 1);
    QCOMPARE(QSizeF(found[0].width(), found[0].height()), QSizeF(shownSize));
    const QImage image = shown(doc, found[0]);
    QVERIFY(!image.isNull());
    if (decoded) {
        const QColor colour = image.pixelColor(0, 0);
        QVERIFY2(colour.blue() > 240 && colour.red() < 16 && colour.green() < 16, qPrintable(colour.name()));
    } else {
        // A framed box: a grey frame around a light inside.
        QCOMPARE(image.pixelColor(0, 0), QColor(128, 128, 128));
        QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(240, 240, 240));
    }

    const QList<WrittenPicture> out = pictures(written);
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].words, words);
    QCOMPARE(out[0].data, data);
    // Read and written again, nothing changes.
    QTextDocument again;
    QCOMPARE(readWrite(written, again), written);
}

void RtfPicturesTest::binaryDataIsWrittenAsHex() {
    const QByteArray png = encoded(solid(QSize(3, 3), Qt::red), "PNG");
    const QByteArray braces = "}{\\" + png; // data that would end the group if it were read as RTF
    const QByteArray input = "{\\rtf1 a{\\pict\\pngblip\\picw3\\pich3\\bin" +
                             QByteArray::number(braces.size()) + " " + braces + "}b}";
    QTextDocument doc;
    const QByteArray written = readWrite(input, doc);
    QCOMPARE(rtf::plainText(doc), u"ab"_s);
    QVERIFY(!written.contains("\\bin"));
    for (const char c : written)
        QVERIFY2(uchar(c) < 0x80, "the output must be 7-bit");
    const QList<WrittenPicture> out = pictures(written);
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].words, u"\\pngblip\\picw3\\pich3"_s);
    QCOMPARE(out[0].data, braces);
}

void RtfPicturesTest::shapePictureKeepsItsAlternative() {
    const QByteArray png = encoded(solid(QSize(5, 5), Qt::green), "PNG");
    const QByteArray wmf = QByteArray::fromHex("0100090000030a0000000000");
    const QByteArray input =
        "{\\rtf1 x{\\*\\shppict{\\pict{\\*\\picprop{\\sp{\\sn fLine}{\\sv 0}}}\\pngblip\\picw5\\pich5 " +
        png.toHex() + "}}{\\nonshppict{\\pict\\wmetafile8\\picw132\\pich132 " + wmf.toHex() +
        "}}y{\\*\\shppict{\\pict\\emfblip\\picw2540\\pich2540 " + wmf.toHex() +
        "}}{\\nonshppict{\\pict\\pngblip " + png.toHex() + "}}z}";
    QTextDocument doc;
    const QByteArray written = readWrite(input, doc);
    QCOMPARE(rtf::plainText(doc), u"xyz"_s);
    const QList<QTextImageFormat> found = images(doc);
    QCOMPARE(found.size(), 2); // one for each pair
    QCOMPARE(shown(doc, found[0]).pixelColor(2, 2), QColor(Qt::green));
    QCOMPARE(QSizeF(found[1].width(), found[1].height()), QSizeF(96, 96)); // the metafile's box
    const QList<WrittenPicture> out = pictures(written);
    QCOMPARE(out.size(), 3); // the \pict nested in \picprop's group is not matched by the pattern
    QVERIFY(written.contains(
        "{\\*\\shppict {\\pict {\\*\\picprop {\\sp {\\sn fLine}{\\sv 0}}}\\pngblip \\picw5 "));
    QVERIFY(written.contains("}}{\\nonshppict {\\pict \\wmetafile8 \\picw132 \\pich132 "));
    QCOMPARE(out[0].data, wmf);
    QCOMPARE(out[1].words, u"\\emfblip\\picw2540\\pich2540"_s);
    QCOMPARE(out[2].data, png);
    QCOMPARE(written.count("\\nonshppict"), 2);
}

void RtfPicturesTest::objectKeptWholeAndShownByItsResult() {
    const QByteArray png = encoded(solid(QSize(4, 2), Qt::yellow), "PNG");
    const QByteArray object = "{\\object\\objemb\\objw600\\objh300{\\*\\objclass Paint.Picture}{\\*\\objdata "
                              "01050000020000000b000000}{\\result{\\pict\\pngblip\\picw4\\pich2\\picwgoal600"
                              "\\pichgoal300 " +
                              png.toHex() + "}result text}}";
    const QByteArray noResult = "{\\object\\objemb\\objw1500\\objh750{\\*\\objdata 0105}}";
    QTextDocument doc;
    const QByteArray written = readWrite("{\\rtf1 a" + object + "b" + noResult + "c\\par}", doc);
    // The result's text is part of the object, written with it; only its picture is shown.
    QCOMPARE(rtf::plainText(doc), u"abc"_s);
    const QList<QTextImageFormat> found = images(doc);
    QCOMPARE(found.size(), 2);
    QCOMPARE(shown(doc, found[0]).pixelColor(1, 1), QColor(Qt::yellow));
    QCOMPARE(QSizeF(found[0].width(), found[0].height()), QSizeF(40, 20));
    QCOMPARE(QSizeF(found[1].width(), found[1].height()), QSizeF(100, 50)); // the object's own size
    QVERIFY(
        written.contains("{\\object \\objemb \\objw600 \\objh300 {\\*\\objclass Paint.Picture}{\\*\\objdata "
                         "01050000020000000b000000}{\\result {\\pict "));
    QVERIFY(written.contains("}result text}}"));
    QVERIFY(written.contains("{\\object \\objemb \\objw1500 \\objh750 {\\*\\objdata 0105}}"));
    QCOMPARE(written.count("result text"), 1);
    QCOMPARE(pictures(written).value(0).data, png);
}

void RtfPicturesTest::shapeKeptWholeAndShownByItsPicture() {
    const QByteArray png = encoded(solid(QSize(4, 3), Qt::green), "PNG");
    // A picture shape (its picture a property of the shape, a metafile for other readers in its result), a
    // line without a picture, and a group of shapes.
    const QByteArray pictureShape =
        "{\\shp {\\*\\shpinst \\shpleft0 \\shptop0 \\shpright600 \\shpbottom450 {\\sp {\\sn shapeType}{\\sv "
        "75}}{\\sp {\\sn pib}{\\sv {\\pict \\pngblip \\picw4 \\pich3 \\picwgoal600 \\pichgoal450 " +
        png.toHex() + "}}}}{\\shprslt {\\pict \\wmetafile8 \\picw10 \\pich10 0102}}}";
    const QByteArray line = "{\\shp {\\*\\shpinst \\shpleft100 \\shptop0 \\shpright1540 \\shpbottom720 {\\sp "
                            "{\\sn shapeType}{\\sv 20}}}}";
    const QByteArray group =
        "{\\shpgrp {\\*\\shpinst \\shpleft0 \\shptop0 \\shpright2880 \\shpbottom1440 {\\shp "
        "{\\*\\shpinst \\shpleft0 \\shptop0 \\shpright10 \\shpbottom10 }}}}";
    QTextDocument doc;
    const QByteArray written =
        readWrite("{\\rtf1 a" + pictureShape + "b" + line + "c" + group + "d\\par}", doc);
    QCOMPARE(rtf::plainText(doc), u"abcd"_s);
    const QList<QTextImageFormat> found = images(doc);
    QCOMPARE(found.size(), 3);
    QCOMPARE(shown(doc, found[0]).pixelColor(2, 1), QColor(Qt::green));
    QCOMPARE(QSizeF(found[0].width(), found[0].height()), QSizeF(40, 30));
    QCOMPARE(QSizeF(found[1].width(), found[1].height()), QSizeF(96, 48));  // the line's place
    QCOMPARE(QSizeF(found[2].width(), found[2].height()), QSizeF(192, 96)); // the group's, not its shape's
    // As it came, but for the line ends put in where lines grow long.
    QVERIFY2(QByteArray(written)
                 .replace("\r\n", "")
                 .contains("{a}{" + pictureShape + "}{b}{" + line + "}{c}{" + group + "}{d}"),
             written.constData());
    QTextDocument again;
    QCOMPARE(readWrite(written, again), written);

    // Deleting what the editor shows for it deletes the shape.
    QTextCursor cursor = doc.find(u"b"_s);
    cursor.clearSelection();
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    const QByteArray edited = rtf::write(doc);
    QVERIFY(!edited.contains("{\\sv 20}"));
    QCOMPARE(edited.count("\\shp "), 2);
}

// A \nonshppict without the \shppict before it holds the only picture; one after its \shppict, even inside an
// object's result, is kept but not shown a second time.
void RtfPicturesTest::loneNonShapePictureIsShownAndKept() {
    const QByteArray png = encoded(solid(QSize(2, 2), Qt::red), "PNG");
    const QByteArray input = "{\\rtf1 x{\\nonshppict{\\pict\\wmetafile8\\picw2540\\pich1270 0102}}y"
                             "{\\object\\objw300\\objh300{\\result{\\*\\shppict{\\pict\\pngblip " +
                             png.toHex() + "}}{\\nonshppict{\\pict\\wmetafile8 0304}}}}z}";
    QTextDocument doc;
    const QByteArray written = readWrite(input, doc);
    QCOMPARE(rtf::plainText(doc), u"xyz"_s);
    const QList<QTextImageFormat> found = images(doc);
    QCOMPARE(found.size(), 2);
    QCOMPARE(QSizeF(found[0].width(), found[0].height()), QSizeF(96, 48)); // the metafile's box
    QCOMPARE(shown(doc, found[1]).pixelColor(1, 1), QColor(Qt::red));
    QVERIFY(written.contains("{\\nonshppict {\\pict \\wmetafile8 \\picw2540 \\pich1270 0102}}"));
    const QList<WrittenPicture> out = pictures(written);
    QCOMPARE(out.size(), 3);
    QCOMPARE(out[0].data, QByteArray::fromHex("0102"));
    QCOMPARE(out[2].data, QByteArray::fromHex("0304"));
}

// A shape word in the middle of a shape's group: the group is one shape, kept from its start.
void RtfPicturesTest::wordInsideAKeptGroupIsPartOfIt() {
    const QByteArray png = encoded(solid(QSize(2, 2), Qt::blue), "PNG");
    const QByteArray input = "{\\rtf1 a{\\shp{\\*\\shpinst{\\sp{\\sn pib}{\\sv{\\pict\\pngblip " +
                             png.toHex() +
                             "}}}} y\\shpgrp{\\*\\shpinst\\shpleft0\\shptop0\\shpright9\\shpbottom9}}b}";
    QTextDocument doc;
    const QByteArray written = readWrite(input, doc);
    QCOMPARE(images(doc).size(), 1);
    QCOMPARE(pictures(written).value(0).data, png);
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(images(back).size(), 1);
    QCOMPARE(shown(back, images(back)[0]).pixelColor(1, 1), QColor(Qt::blue));
}

// A colour table or title inside a picture or a shape's property does not replace the document's.
void RtfPicturesTest::tablesInsideAPictureAreNotTheDocuments() {
    const QByteArray input = "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}{\\info{\\title Mine}}"
                             "{\\pict\\wmetafile8{\\colortbl;\\red0\\green0\\blue255;}0102}"
                             "{\\shp{\\*\\shpinst{\\sp{\\sn x}{\\sv{\\info{\\title Other}}}}}}{\\cf1 red}}";
    QTextDocument doc;
    const QByteArray written = readWrite(input, doc);
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    for (const QTextDocument* d : {&doc, &back}) {
        const QTextCursor red = d->find(u"red"_s);
        QCOMPARE(red.charFormat().foreground().color(), QColor(255, 0, 0));
        QCOMPARE(d->metaInformation(QTextDocument::DocumentTitle), u"Mine"_s);
    }
}

void RtfPicturesTest::deletedPictureIsGone() {
    const QByteArray wmf = "{\\pict\\wmetafile8\\picw100\\pich100 0102}";
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1 one" + wmf + "two" + wmf + "three}", doc));
    QTextCursor cursor = doc.find(u"two"_s);
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor); // the picture after "two"
    cursor.removeSelectedText();
    cursor.insertText(u"[edited]"_s);
    const QByteArray written = rtf::write(doc);
    QCOMPARE(written.count("\\wmetafile8"), 1);
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(rtf::plainText(back), u"one[edited]three"_s);
    QCOMPARE(images(back).size(), 1);
}

// A copy of a picture is a picture of its own; text typed after it takes on its format but is text.
void RtfPicturesTest::copiedPictureAndTextTypedBesideIt() {
    QTextDocument doc;
    QVERIFY(rtf::read("{\\rtf1 a{\\pict\\wmetafile8\\picw100\\pich100 0102}b}", doc));
    QTextCursor cursor(&doc);
    cursor.setPosition(1);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    const QTextDocumentFragment picture = cursor.selection();
    cursor.clearSelection();
    cursor.insertFragment(picture);
    cursor.insertText(u"typed"_s);
    const QByteArray written = rtf::write(doc);
    QCOMPARE(written.count("\\wmetafile8"), 2);
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(rtf::plainText(back), u"atypedb"_s);
    QCOMPARE(images(back).size(), 2);
}

// A note holding an 8000 x 6000 photo, more than Qt's image reader allocates by default, lost it on save.
void RtfPicturesTest::largePhotoIsShownAndKept() {
    const QSize size(8000, 6000);
    QVERIFY2(qint64(size.width()) * size.height() * 4 > qint64(QImageReader::allocationLimit()) * 1024 * 1024,
             "the photo must be larger than the reader allocates");
    QByteArray jpeg;
    {
        QImage photo(size, QImage::Format_RGB32);
        photo.fill(QColor(200, 30, 60));
        jpeg = encoded(photo, "JPEG", 20);
    }
    const QByteArray input =
        "{\\rtf1 photo:{\\pict\\jpegblip\\picw8000\\pich6000\\picwgoal6000\\pichgoal4500 " + jpeg.toHex() +
        "}\\par}";
    QTextDocument doc;
    const QByteArray written = readWrite(input, doc);
    const QList<QTextImageFormat> found = images(doc);
    QCOMPARE(found.size(), 1);
    const QImage image = shown(doc, found[0]);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() <= 800 && image.height() <= 600); // twice its 400 x 300 pixels on the page
    QVERIFY(qAbs(image.pixelColor(image.width() / 2, image.height() / 2).red() - 200) < 20);
    const QList<WrittenPicture> out = pictures(written);
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].data, jpeg);
    QVERIFY(written.size() > 2 * jpeg.size());
}

// A 2.5 MB photo came back as a 28.6 MB note: it was written as PNG.
void RtfPicturesTest::photoIsNotEncodedAgain() {
    QImage noise(1800, 1200, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < noise.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            line[x] = rng.generate() | 0xFF000000u;
    }
    const QByteArray jpeg = encoded(noise, "JPEG", 95);
    QVERIFY2(jpeg.size() > 2'000'000, qPrintable(QString::number(jpeg.size())));
    const QByteArray input = "{\\rtf1{\\pict\\jpegblip\\picw1800\\pich1200 " + jpeg.toHex() + "}}";
    QTextDocument doc;
    const QByteArray written = readWrite(input, doc);
    // The hexadecimal text of the bytes, its line ends and the header: no larger than what was read.
    QVERIFY2(written.size() < input.size() + input.size() / 50,
             qPrintable(u"%1 -> %2"_s.arg(input.size()).arg(written.size())));
    QCOMPARE(pictures(written).value(0).data, jpeg);
}

// Fuzzing found a JPEG given as hexadecimal after a bare \bin: shown when read, lost when written.
void RtfPicturesTest::jpegAfterBareBin() {
    const QByteArray jpeg = encoded(solid(QSize(8, 8), Qt::red), "JPEG");
    const QByteArray input =
        "{\\rtf1 {\\pict\\jpegblip\\picw8\\pich8\\picwgoal120\\pichgoal120 \\bin " + jpeg.toHex() + "}\\par}";
    QTextDocument doc;
    const QByteArray written = readWrite(input, doc);
    const QList<QTextImageFormat> found = images(doc);
    QCOMPARE(found.size(), 1);
    QCOMPARE(shown(doc, found[0]).size(), QSize(8, 8));
    const QList<WrittenPicture> out = pictures(written);
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].words, u"\\jpegblip\\picw8\\pich8\\picwgoal120\\pichgoal120"_s);
    QCOMPARE(out[0].data, jpeg);
    QTextDocument back;
    QVERIFY(rtf::read(written, back));
    QCOMPARE(images(back).size(), 1);
}

QTEST_MAIN(RtfPicturesTest)
#include "rtf_pictures_test.moc"
