#include "notepad/NoteName.h"

#include <QFile>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace notes {

QString fileNameFor(const QString& typed) {
    return typed + u".rtf"_s;
}

bool isUsableName(const QString& typed, qsizetype maxFileNameBytes) {
    if (typed.isEmpty() || typed == u"." || typed == u"..")
        return false;
    for (const QChar c : typed) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            return false;
    }
    // A name the file system cannot hold exactly (a lone surrogate, say) would be written under another name.
    const QByteArray encoded = QFile::encodeName(fileNameFor(typed));
    if (QFile::decodeName(encoded) != fileNameFor(typed))
        return false;
    return encoded.size() <= maxFileNameBytes;
}

qsizetype maxFileNameBytes(const QString& folder) {
    constexpr qsizetype fallback = 255;
    const long limit = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return limit > 0 ? qsizetype(limit) : fallback;
}

} // namespace notes
