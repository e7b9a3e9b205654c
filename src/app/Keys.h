#pragma once

#include <QKeyEvent>

namespace keys {

// The character a key press types, as its character code (Enter is 13); -1 for a key that types nothing.
inline int characterCode(const QKeyEvent* key) {
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        return 13;
    const QString text = key->text();
    return text.isEmpty() ? -1 : text.at(0).unicode();
}

} // namespace keys
