// Pictures: \pict, \shppict with the \nonshppict after it, \object, and shapes (\shp, \shpgrp). Each keeps
// its RTF as it came (Kept.h), so that it is written back unchanged, and is shown decoded where Qt can
// decode it, else by a framed box of its size.

#include "Pictures.h"
#include "Interpreter.h"
#include "Units.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <png.h>

#include <QPainter>
#include <climits>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

namespace rtf::detail {

namespace {

// A device-independent bitmap as the BMP file Qt reads: the 14-byte file header in front of it.
QByteArray bmpFromDib(const QByteArray& dib) {
    if (dib.size() < 40)
        return {};
    const auto u32 = [&dib](int at) {
        return quint32(uchar(dib[at])) | quint32(uchar(dib[at + 1])) << 8 |
               quint32(uchar(dib[at + 2])) << 16 | quint32(uchar(dib[at + 3])) << 24;
    };
    const quint32 headerSize = u32(0);
    const quint32 bitCount = quint32(uchar(dib[14])) | quint32(uchar(dib[15])) << 8;
    quint32 colors = headerSize >= 36 ? u32(32) : 0;
    if (colors == 0 && bitCount <= 8)
        colors = 1u << bitCount;
    const quint32 compression = headerSize >= 20 ? u32(16) : 0;
    const quint32 masks = (compression == 3 && headerSize == 40) ? 12 : 0; // BI_BITFIELDS
    const quint64 offset = 14ull + headerSize + masks + quint64(colors) * 4;
    if (offset > quint64(dib.size()) + 14)
        return {};
    QByteArray bmp("BM");
    const quint32 fileSize = quint32(dib.size() + 14);
    for (const quint32 v : {fileSize, 0u, quint32(offset)})
        for (int i = 0; i < 4; ++i)
            bmp.append(char((v >> (8 * i)) & 0xFF));
    bmp.append(dib);
    return bmp;
}

QImage standIn(QSize size) {
    // Drawn at no more than this and scaled to the picture's size by the document.
    constexpr int kMaxSide = 600;
    const QSize drawn = size.width() > kMaxSide || size.height() > kMaxSide
                            ? size.scaled(kMaxSide, kMaxSide, Qt::KeepAspectRatio)
                            : size;
    QImage image(drawn.expandedTo(QSize(2, 2)), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(240, 240, 240));
    QPainter painter(&image);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}

} // namespace

QVariant shownPicture(const Picture& picture) {
    const QSize shown(std::max(1, int(std::lround(picture.width))),
                      std::max(1, int(std::lround(picture.height))));
    if (!picture.displayable())
        return standIn(shown);
    const QSize natural = picture.natural;
    const qint64 fullBytes = qint64(natural.width()) * natural.height() * 4;
    const int limit = QImageReader::allocationLimit();
    if (limit <= 0 || fullBytes <= qint64(limit) * 1024 * 1024)
        return picture.data; // decoded by the document when it is first shown
    // Too large for the reader at full size: decoded at twice the size it is shown at, enough for a screen of
    // high density, and never larger than the picture itself.
    QByteArray data = picture.data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, picture.format());
    reader.setScaledSize(natural.scaled(natural.boundedTo(shown * 2), Qt::KeepAspectRatio));
    const QImage image = reader.read();
    if (image.isNull())
        return standIn(shown);
    return image;
}

void Interpreter::pictureHex(char16_t c) {
    if (!m_picture.wanted || c > 0x7F)
        return;
    const int v = hexValue(uchar(c));
    if (v < 0)
        return;
    if (m_picture.nibble < 0) {
        m_picture.nibble = v;
    } else {
        m_picture.picture.data.append(char(m_picture.nibble * 16 + v));
        m_picture.nibble = -1;
    }
}

void Interpreter::startKeptGroup(GroupState& s, OnClose onClose, bool pictureSet, const char* word) {
    // A word in the middle of a group that already has its own end (a picture, a note) is part of that group.
    if (s.onClose != OnClose::Nothing)
        return;
    s.onClose = onClose;
    // Text before the word in its group has been shown already; then the group is kept from the word on.
    s.kept.group = m_destinationStartsGroup ? m_groupStart : m_tokens.position();
    s.kept.word = m_destinationStartsGroup ? nullptr : word;
    s.kept.uc = s.uc;
    // Nothing inside a kept group is shown but the picture that stands for it: the group is written back
    // whole, and text shown from inside it would be written a second time.
    s.target = Target::None;
    s.outerTarget = Target::None;
    if (pictureSet && !s.pictureSet) {
        m_pictureSet = PictureSetState{};
        s.pictureSet = true;
    }
}

namespace {

// The size a picture's header gives; empty when the header cannot be read. Qt's PNG reader lets libpng print
// its complaints about a damaged file on the terminal, past Qt's message handling, so a PNG header is read
// with libpng's own reader, which keeps them to itself. Other kinds go to Qt only when their bytes are of the
// kind the file says (by their signature, which Qt tells without decoding).
QSize naturalSize(Picture& picture) {
    if (picture.kind == PictureKind::Png) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, picture.data.constData(), size_t(picture.data.size())))
            return {};
        const auto clamp = [](png_uint_32 v) {
            return int(std::min<png_uint_32>(v, INT_MAX));
        };
        const QSize size(clamp(image.width), clamp(image.height));
        png_image_free(&image);
        return size;
    }
    QBuffer buffer(&picture.data);
    buffer.open(QIODevice::ReadOnly);
    if (QImageReader::imageFormat(&buffer) != picture.format())
        return {};
    return QImageReader(&buffer, picture.format()).size();
}

} // namespace

void Interpreter::finishPicture(const GroupState& closing, const GroupState& outer) {
    Picture& picture = m_picture.picture;
    if (picture.kind == PictureKind::Dib)
        picture.data = bmpFromDib(picture.data);
    if (picture.format() && !picture.data.isEmpty()) {
        picture.natural = naturalSize(picture); // the header only
    }
    // The size it is shown at: the goal size, else its own (a metafile's in hundredths of a millimetre).
    if (picture.displayable()) {
        picture.width = picture.natural.width();
        picture.height = picture.natural.height();
    } else if (picture.kind == PictureKind::Metafile) {
        picture.width = m_picture.width * 96.0 / 2540.0;
        picture.height = m_picture.height * 96.0 / 2540.0;
    } else {
        picture.width = m_picture.width;
        picture.height = m_picture.height;
    }
    if (m_picture.widthGoal > 0 && m_picture.heightGoal > 0) {
        picture.width = pixelsFromTwips(m_picture.widthGoal);
        picture.height = pixelsFromTwips(m_picture.heightGoal);
    }
    picture.width *= m_picture.scaleX / 100.0;
    picture.height *= m_picture.scaleY / 100.0;
    if (picture.width <= 0 || picture.height <= 0)
        picture.width = picture.height = 96; // no size at all: an inch square

    if (outer.pictureSet) {
        // The first picture that can be shown stands for the group; the group is kept whole.
        if (!m_pictureSet.haveShown || (!m_pictureSet.shown.displayable() && picture.displayable())) {
            m_pictureSet.shown = std::move(picture);
            m_pictureSet.haveShown = true;
        }
    } else {
        picture.kept = m_kept.group(closing.kept, m_tokens.position());
        showPicture(picture, outer);
    }
    m_picture.picture = Picture{};
}

void Interpreter::finishPictureSet(const GroupState& closing, const GroupState& outer) {
    const char* end = m_tokens.position();
    if (closing.onClose == OnClose::EndShapePicture) {
        // The \nonshppict group right after it holds the same picture for readers that do not know shapes;
        // the two are kept together.
        Tokenizer probe = m_tokens;
        Token token = probe.next();
        if (token.kind == Token::Kind::GroupOpen) {
            token = probe.next();
            if (token.kind == Token::Kind::ControlSymbol && token.value == '*')
                token = probe.next();
            if (token.kind == Token::Kind::ControlWord && token.text == "nonshppict") {
                for (int depth = 1; depth > 0;) {
                    token = probe.next();
                    if (token.kind == Token::Kind::End)
                        break;
                    if (token.kind == Token::Kind::GroupOpen)
                        ++depth;
                    else if (token.kind == Token::Kind::GroupClose)
                        --depth;
                }
                m_tokens = probe;
                end = m_tokens.position();
            }
        }
    }
    if (outer.pictureSet)
        return; // part of the group around it, which is kept whole
    Picture picture;
    if (m_pictureSet.haveShown) {
        picture = std::move(m_pictureSet.shown);
    } else {
        // Nothing to show: a box of the object's size, or the shape's place.
        const int* place = m_pictureSet.shape;
        const bool placed = place[0] != INT_MIN && place[1] != INT_MIN && place[2] != INT_MIN &&
                            place[3] != INT_MIN && place[2] > place[0] && place[3] > place[1];
        if (m_pictureSet.objectWidth > 0 && m_pictureSet.objectHeight > 0) {
            picture.width = pixelsFromTwips(m_pictureSet.objectWidth);
            picture.height = pixelsFromTwips(m_pictureSet.objectHeight);
        } else if (placed) {
            picture.width = pixelsFromTwips(double(place[2]) - place[0]);
            picture.height = pixelsFromTwips(double(place[3]) - place[1]);
        } else {
            picture.width = picture.height = 96; // an inch square
        }
    }
    picture.kept = m_kept.group(closing.kept, end);
    m_pictureSet = PictureSetState{};
    showPicture(picture, outer);
}

void Interpreter::showPicture(Picture& picture, const GroupState& outer) {
    if (outer.target != Target::Main && outer.target != Target::Side)
        return;
    // A size no page has would only make the editor scale the picture into a huge pixmap. Sizes are kept in
    // whole twips, as they are written.
    const double scale = kMaxPicturePixels / std::max({picture.width, picture.height, kMaxPicturePixels});
    picture.width = pixelsFromTwips(std::max(1.0, std::round(twipsFromPixels(picture.width * scale))));
    picture.height = pixelsFromTwips(std::max(1.0, std::round(twipsFromPixels(picture.height * scale))));
    m_text.image(picture, outer);
}

} // namespace rtf::detail
