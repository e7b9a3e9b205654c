#pragma once

#include <QList>
#include <QString>

// The layers of the source tree, bottom to top, and the one rule between them. A file includes headers from
// its own folder and from layers below it, never from one above or beside it:
//   base                                        helpers with no part of the program in them
//   host, rtf                                   the seams to outside components; the RTF codec
//   app                                         what every window shares
//   startup, gamewindow, browser, highscores, notepad   the windows
//   main.cpp, rtftool                           the programs
// The one exception: a window that opens another window includes that window's public header (its frm*.h,
// at the top of its folder): start-up opens the game window, the game window opens the browser, the
// highscores and the notepad, and the highscores window opens the browser. A folder in no layer is itself a
// fault, so that a new folder gets its place.
// The RTF library's inner parts, rtf/private/, are its own: only rtf/ includes them, and of the tests only
// the RTF library's tests (tests/rtf and the folders under it).
namespace layers {

struct Violation {
    // Relative to the source root.
    QString file;
    int line = 0;
    // As written between the quotes or angle brackets.
    QString included;
    QString reason;
};

// Every include under `sourceRoot` that breaks the rule. An include is found relative to the including file,
// then relative to the source root, then by its path's end anywhere under the root; one that is found
// nowhere there (Qt, the system) is outside the layers.
QList<Violation> check(const QString& sourceRoot);

// Every include of a test under `testsRoot` that reaches into `sourceRoot`'s rtf/private/ from outside the
// RTF tests. A header of the tests' own (found under `testsRoot` by its path's end) is not the library's.
QList<Violation> checkTests(const QString& testsRoot, const QString& sourceRoot);

// "file:line: includes "header": reason", for reports.
QString describe(const Violation& violation);

} // namespace layers
