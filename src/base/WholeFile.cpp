#include "base/WholeFile.h"

#include <QSaveFile>

namespace files {

bool writeWhole(const QString& path, QByteArrayView bytes, QString& reason) {
    // Written to a temporary file beside the target and renamed into place only when complete.
    QSaveFile file(path);
    // Unbuffered: a buffered file device writes its last block while committing, and a failure there goes
    // unnoticed by the commit, which would then rename a cut-off file into place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reason = file.errorString();
        return false;
    }
    // A write can stop short without an error (the disk filling up half-way); the next one then says why.
    // Without a commit the temporary file goes and any earlier file stays as it was.
    for (qsizetype written = 0; written < bytes.size();) {
        const qint64 count = file.write(bytes.data() + written, bytes.size() - written);
        if (count <= 0) {
            reason = file.errorString();
            return false;
        }
        written += count;
    }
    if (!file.commit()) {
        reason = file.errorString();
        return false;
    }
    return true;
}

} // namespace files
