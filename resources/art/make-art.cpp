// Draws the program's pictures: the splash background (372 x 236 JPEG), the program icon (32 x 32, at most
// 256 colours), the same icon in full colour at the sizes desktops ask for (icons/NxN/mossport.png, 16 to
// 256 px) and the notification icon (32 x 32, 16 colours). Run by hand after changing a picture:
//   cmake --build build --target make-art && build/bin/make-art resources
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// A mossy stone: a dark grey blob with green tufts on its top.
void drawStone(QPainter& p, QRandomGenerator& random, QPointF centre, double radius) {
    QRadialGradient stone(centre - QPointF(radius / 3, radius / 3), radius * 1.4);
    stone.setColorAt(0, QColor(110, 110, 104));
    stone.setColorAt(1, QColor(48, 48, 46));
    p.setPen(Qt::NoPen);
    p.setBrush(stone);
    p.drawEllipse(centre, radius, radius * 0.72);
    for (int i = 0; i < int(radius * 1.5); ++i) {
        const double angle = M_PI + random.generateDouble() * M_PI;
        const QPointF at = centre + QPointF(std::cos(angle) * radius * 0.9, std::sin(angle) * radius * 0.62);
        const int green = 100 + random.bounded(90);
        p.setBrush(QColor(40 + random.bounded(30), green, 40 + random.bounded(20), 200));
        p.drawEllipse(at, 1.5 + random.generateDouble() * 3, 1.2 + random.generateDouble() * 2);
    }
}

QImage splash() {
    QImage image(372, 236, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 236);
    sky.setColorAt(0, QColor(22, 38, 30));
    sky.setColorAt(0.55, QColor(48, 64, 52));
    sky.setColorAt(1, QColor(64, 64, 64));
    p.fillRect(image.rect(), sky);
    QRandomGenerator random(20070605);
    // Faint leaves in the dark above.
    for (int i = 0; i < 140; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60 + random.bounded(40), 110 + random.bounded(60), 60, 40 + random.bounded(50)));
        p.drawEllipse(QPointF(random.bounded(372), random.bounded(110)), 2 + random.bounded(6),
                      1 + random.bounded(3));
    }
    // A row of stones along the foot, behind the version line.
    drawStone(p, random, {38, 212}, 34);
    drawStone(p, random, {330, 206}, 40);
    drawStone(p, random, {250, 224}, 22);
    drawStone(p, random, {120, 228}, 18);
    // A soft band behind the title.
    QLinearGradient band(0, 70, 0, 150);
    band.setColorAt(0, QColor(0, 0, 0, 0));
    band.setColorAt(0.5, QColor(0, 0, 0, 70));
    band.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRect(0, 70, 372, 80), band);
    return image;
}

// The sizes of the program icon that desktops ask for, in pixels.
constexpr int iconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The program icon in full colour, `size` pixels square: a mossy stone with a clock hand, on transparent
// ground, drawn on a 32-pixel grid scaled to the size.
QImage programIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    QRandomGenerator random(1002);
    drawStone(p, random, {16, 18}, 14);
    p.setPen(QPen(QColor(235, 235, 220), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 18), QPointF(16, 10));
    p.drawLine(QPointF(16, 18), QPointF(22, 18));
    p.end();
    return image;
}

// The program icon the windows show: 32 pixels, at most 256 colours.
QImage programIcon() {
    return programIcon(32).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

// The notification icon: a plain green disc with a white "M", in 16 colours.
QImage trayIcon() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(20, 60, 20), 2));
    p.setBrush(QColor(40, 140, 40));
    p.drawEllipse(QRect(2, 2, 28, 28));
    p.setPen(QPen(Qt::white, 3));
    QPainterPath m;
    m.moveTo(9, 23);
    m.lineTo(9, 10);
    m.lineTo(16, 18);
    m.lineTo(23, 10);
    m.lineTo(23, 23);
    p.setBrush(Qt::NoBrush);
    p.drawPath(m);
    p.end();
    QList<QRgb> palette = {qRgba(0, 0, 0, 0),   qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),
                           qRgb(128, 128, 0),   qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128),
                           qRgb(192, 192, 192), qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),
                           qRgb(20, 60, 20),    qRgb(40, 140, 40),   qRgb(0, 255, 255), qRgb(255, 255, 255)};
    return image.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither | Qt::AvoidDither);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-art RESOURCES_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = splash().save(folder + u"/splash.jpg"_s, "JPG", 90) &&
              programIcon().save(folder + u"/mossport.png"_s, "PNG") &&
              trayIcon().save(folder + u"/tray.png"_s, "PNG");
    for (const int size : iconSizes) {
        const QString sized = folder + u"/icons/%1x%1"_s.arg(size);
        ok = ok && QDir().mkpath(sized) && programIcon(size).save(sized + u"/mossport.png"_s, "PNG");
    }
    if (!ok) {
        std::fprintf(stderr, "make-art: could not write the pictures\n");
        return 1;
    }
    return 0;
}
