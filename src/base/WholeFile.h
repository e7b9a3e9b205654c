#pragma once

#include <QByteArrayView>
#include <QString>

namespace files {

// Writes `bytes` as the whole content of the file at `path`, replacing any file of that name, or fails and
// leaves the earlier file (or no file) as it was. On failure returns false and sets `reason` to the system's
// words for what went wrong ("File too large", "No space left on device", ...).
bool writeWhole(const QString& path, QByteArrayView bytes, QString& reason);

} // namespace files
