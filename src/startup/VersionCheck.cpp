#include "startup/VersionCheck.h"

#include "app/Sites.h"
#include "host/Http.h"
#include "startup/Version.h"
#include "startup/VersionCompare.h"

using namespace Qt::StringLiterals;

namespace versioncheck {

QString runningVersion() {
    return QString::number(version::major) + u'.' + QString::number(version::minor) + u'.' +
           QString::number(version::revision);
}

QString fetchNewestVersion(Http& http) {
    const std::optional<QByteArray> body = http.get(sites::versionFile());
    // A failed fetch counts as an empty answer: the start-up goes on with the splash and no update offer.
    return body ? versionText(*body) : QString();
}

} // namespace versioncheck
