#pragma once

#include <optional>

namespace browser {

// The web view's size for a client area, in twips. A dimension that would come out negative has no value:
// the view keeps its last length there, while the other dimension still follows.
struct ViewSize {
    std::optional<double> width;
    std::optional<double> height;
};

// The view fills the client area but for 260 twips across (its margins and the window's border) and
// 620 twips down (the address box above it and the margins).
ViewSize resizeRule(double clientWidth, double clientHeight);

} // namespace browser
