#pragma once

#include <QString>

// The rules for the name a user types for a new note.
namespace notes {

// The file name of the note for a typed name: the name exactly as typed, followed by ".rtf", even when it
// already ends in ".rtf".
QString fileNameFor(const QString& typed);

// True when the typed name gives a file directly inside the notes folder: it names no other folder (no "/"
// or "\", not "." or ".."), holds no control character, and its file name fits the file system
// (`maxFileNameBytes` bytes in the file system's encoding). Everything else is used as typed, spaces and all.
// The empty name is refused elsewhere, with its own message.
bool isUsableName(const QString& typed, qsizetype maxFileNameBytes);

// The longest file name, in bytes, that the file system holding `folder` takes; 255 where it cannot say.
qsizetype maxFileNameBytes(const QString& folder);

} // namespace notes
