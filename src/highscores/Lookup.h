#pragma once

#include <QString>

namespace highscores {

// The highscores page of a player on the maker's site. The name is one percent-encoded query value, so no
// name can change the address around it.
QString lookupAddress(const QString& name);
// The highscores window's caption before any name is shown.
QString title();
// The highscores window's caption while the name is shown: the name exactly as typed.
QString caption(const QString& name);

} // namespace highscores
