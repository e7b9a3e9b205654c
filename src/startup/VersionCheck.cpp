#include "startup/VersionCheck.h"

#include "app/Program.h"
#include "startup/Version.h"

using namespace Qt::StringLiterals;

namespace versioncheck {

QString runningVersion() {
    return QString::number(version::major) + u'.' + QString::number(version::minor) + u'.' +
           QString::number(version::revision);
}

bool fetchAndCompare(Program& program) {
    program.mod.strNewVersion.clear();
    return false;
}

} // namespace versioncheck
