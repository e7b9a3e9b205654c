#pragma once

#include <QFileInfo>
#include <QString>

namespace confirmation {

// A typed confirmation counts only when the answer is exactly "yes": whole string, case-sensitive.
inline bool isYes(const QString& answer) {
    return answer == QLatin1StringView("yes");
}

// Whether saving under this path would replace a file; a dangling link counts as a file too.
inline bool wouldReplace(const QString& path) {
    const QFileInfo existing(path);
    return existing.exists() ? existing.isFile() : existing.isSymLink();
}

// The Yes/No question asked before a save replaces a file: "A note named x.rtf already exists. Replace it?"
inline QString replaceQuestion(const QString& kind, const QString& fileName) {
    return QStringLiteral("A %1 named %2 already exists. Replace it?").arg(kind, fileName);
}

} // namespace confirmation
