#pragma once

#include <QString>

namespace confirmation {

// A typed confirmation counts only when the answer is exactly "yes": whole string, case-sensitive.
inline bool isYes(const QString& answer) {
    return answer == QLatin1StringView("yes");
}

} // namespace confirmation
