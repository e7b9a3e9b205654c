#pragma once

#include "base/Twips.h"

#include <cmath>

// RTF gives lengths in twips and font sizes in half-points; a QTextDocument measures lengths in pixels
// (1/96 inch) and font sizes in points. Every conversion of the RTF library goes through here.
namespace rtf::detail {

constexpr double pixelsFromTwips(double twips) {
    return twips / twips::perPixel;
}
constexpr double twipsFromPixels(double pixels) {
    return pixels * twips::perPixel;
}
// A length in pixels as the whole twips RTF writes.
inline int wholeTwips(double pixels) {
    return int(std::lround(twipsFromPixels(pixels)));
}

constexpr double pointsFromHalfPoints(int halfPoints) {
    return halfPoints / 2.0;
}
// A font size in points as the whole half-points RTF writes.
inline long wholeHalfPoints(double points) {
    return std::lround(points * 2);
}

} // namespace rtf::detail
