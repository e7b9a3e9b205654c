#pragma once

class QImage;
class QLabel;
class QString;
struct Host;

namespace screenshot {

// Takes a picture of the whole screen into the screenshots folder, by way of the clipboard and picSC, and
// beeps when the file is written. Where the screen cannot be read directly the desktop's screenshot service
// is asked, and the capture goes on when it answers. A failure leaves no file and no beep, and the user is
// told what failed.
void take(const Host& host, QLabel* picSC);

// Writes `picture` as a PNG file at `path`, whole or not at all. On failure returns false and sets `error`
// to the system's reason.
bool savePng(const QImage& picture, const QString& path, QString& error);

// The PNG compression screenshots are written with, on QImageWriter's 0 to 100 scale, which Qt maps to zlib's
// levels as value * 9 / 91: 11 is level 1, the fastest level that compresses at all.
inline constexpr int pngCompression = 11;

} // namespace screenshot
