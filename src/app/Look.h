#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QString>
#include <initializer_list>

class QLabel;
class QMainWindow;
class QSize;
class QWidget;

// The look every window shares: a dark grey background and white Tahoma 8.25 pt labels on a transparent
// background, unless a window says otherwise.
namespace look {

QColor background();
QFont tahoma(double pointSize = 8.25, bool bold = false);
// Makes Tahoma available where the system has the file outside fontconfig's folders; quiet where not.
void registerTahoma();

// Fills the window's background with the dark grey.
void paintBackground(QWidget* window);
// Makes `client` the window's dark grey client area below its menu bar, of a fixed size: the window follows
// the client area's size and the user cannot resize it.
void setFixedClientArea(QMainWindow* window, QWidget* client, const QSize& size);
// A label as designed: plain text (never rich text from outside), transparent, in the given colour and font.
void styleLabel(QLabel* label, const QColor& colour = Qt::white, const QFont& font = tahoma());

// A white Tahoma 8.25 pt label that sizes itself to its text from its designed top-left corner (in twips).
struct AutoSizedLabel {
    QLabel* label;
    const char* name;
    QString text;
    QPoint topLeftTwips;
    bool bold = false;
};
void placeAutoSizedLabels(std::initializer_list<AutoSizedLabel> labels);

// A window title that shows exactly the given text: Qt hides "[*]" as the modified-marker placeholder.
QString literalTitle(const QString& title);

} // namespace look
