#pragma once

#include <QRect>
#include <QtMath>

// Window and control lengths are designed in twips (1/1440 inch); Qt lays out in device-independent pixels,
// 96 to the inch, so 15 twips make one pixel. Every conversion goes through here.
namespace twips {

inline constexpr int perPixel = 15;

constexpr int toPixels(double twips) {
    return qRound(twips / perPixel);
}
constexpr double fromPixels(int pixels) {
    return double(pixels) * perPixel;
}
// A rectangle given as Left, Top, Width, Height in twips.
constexpr QRect rect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}
constexpr QSize size(int width, int height) {
    return QSize(toPixels(width), toPixels(height));
}

} // namespace twips
