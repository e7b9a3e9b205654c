#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
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
// A label as designed: plain text (never rich text from outside), transparent, in the given colour and font.
void styleLabel(QLabel* label, const QColor& colour = Qt::white, const QFont& font = tahoma());

// A window title that shows exactly the given text: Qt hides "[*]" as the modified-marker placeholder.
QString literalTitle(const QString& title);

} // namespace look
