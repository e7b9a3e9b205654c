#pragma once

#include <QString>

class Http;

namespace versioncheck {

// The running copy's version text: major, minor and revision in decimal, joined by dots ("1.0.2").
QString runningVersion();

// Asks the maker's site for the newest version: the text it names, trimmed, or the empty text when the fetch
// fails. Whether that is a newer version is isNewer's to say.
QString fetchNewestVersion(Http& http);

} // namespace versioncheck
