#include "highscores/Lookup.h"

#include "app/Sites.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace highscores {

QString lookupAddress(const QString& name) {
    return sites::maker() + u"/highscores/lookup.php?personal="_s +
           QString::fromLatin1(QUrl::toPercentEncoding(name));
}

QString title() {
    return u"Runescape Highscores"_s;
}

QString caption(const QString& name) {
    return title() + u" ["_s + name + u']';
}

} // namespace highscores
