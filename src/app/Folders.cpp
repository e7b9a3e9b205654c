#include "app/Folders.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace folders {

QString screenshots(const QString& programFolder) {
    return programFolder + u"/screenshots/"_s;
}

QString notes(const QString& programFolder) {
    return QDir::toNativeSeparators(programFolder + u"/notes/"_s);
}

} // namespace folders
