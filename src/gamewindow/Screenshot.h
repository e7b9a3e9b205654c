#pragma once

class QLabel;
struct Host;

namespace screenshot {

// Takes a picture of the whole screen into the screenshots folder, by way of the clipboard and picSC, and
// beeps when the file is written. A failure leaves no file and no beep, and the user is told what failed.
void take(const Host& host, QLabel* picSC);

} // namespace screenshot
