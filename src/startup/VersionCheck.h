#pragma once

#include <QString>

class Program;

namespace versioncheck {

// The running copy's version text: major, minor and revision in decimal, joined by dots ("1.0.2").
QString runningVersion();

// Asks the maker's site for the newest version and keeps its text, trimmed, in the program's strNewVersion; a
// failed fetch keeps the empty text. True when that text is a version newer than strVersion (set before), so
// the update should be offered.
bool fetchAndCompare(Program& program);

} // namespace versioncheck
