#pragma once

#include <QString>

// The two folders beside the program. The program never creates them: the build and the install do.
namespace folders {

// The program folder followed by "/screenshots/".
QString screenshots(const QString& programFolder);
// The program folder followed by "/notes/", in the platform's separators.
QString notes(const QString& programFolder);

} // namespace folders
