#include "app/Look.h"

#include "base/Twips.h"

#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QPalette>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace look {

QColor background() {
    return QColor(64, 64, 64);
}

QFont tahoma(double pointSize, bool bold) {
    QFont font(u"Tahoma"_s);
    font.setPointSizeF(pointSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

void registerTahoma() {
    // Debian's fonts-wine ships a metric-compatible Tahoma where fontconfig does not look.
    for (const QString& file :
         {u"/usr/share/wine/fonts/tahoma.ttf"_s, u"/usr/share/wine/fonts/tahomabd.ttf"_s}) {
        if (QFile::exists(file))
            QFontDatabase::addApplicationFont(file);
    }
}

void paintBackground(QWidget* window) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, background());
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void styleLabel(QLabel* label, const QColor& colour, const QFont& font) {
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setFont(font);
}

void setFixedClientArea(QMainWindow* window, QWidget* client, const QSize& size) {
    client->setObjectName(u"client"_s);
    client->setFixedSize(size);
    paintBackground(client);
    window->setCentralWidget(client);
    window->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void placeAutoSizedLabels(std::initializer_list<AutoSizedLabel> labels) {
    for (const AutoSizedLabel& design : labels) {
        design.label->setObjectName(QString::fromLatin1(design.name));
        styleLabel(design.label, Qt::white, tahoma(8.25, design.bold));
        design.label->setText(design.text);
        design.label->move(twips::toPixels(design.topLeftTwips.x()),
                           twips::toPixels(design.topLeftTwips.y()));
        design.label->adjustSize();
    }
}

QString literalTitle(const QString& title) {
    // Qt shows "[*][*]" as a literal "[*]".
    QString escaped = title;
    return escaped.replace(u"[*]"_s, u"[*][*]"_s);
}

} // namespace look
