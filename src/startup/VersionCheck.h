#pragma once

#include <QString>

class Program;

namespace versioncheck {

// The running copy's version text: major, minor and revision in decimal, joined by dots ("1.0.2").
QString runningVersion();

// Asks the maker's site for the newest version and keeps its text in the program's strNewVersion.
// True when that version is newer than the running one, so the update should be offered.
bool fetchAndCompare(Program& program);

} // namespace versioncheck
