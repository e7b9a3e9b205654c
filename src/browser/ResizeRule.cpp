#include "browser/ResizeRule.h"

namespace browser {

namespace {
std::optional<double> nonNegative(double length) {
    if (length < 0)
        return std::nullopt;
    return length;
}
} // namespace

ViewSize resizeRule(double clientWidth, double clientHeight) {
    return {nonNegative(clientWidth - 260), nonNegative(clientHeight - 620)};
}

} // namespace browser
