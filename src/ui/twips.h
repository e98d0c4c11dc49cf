#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// The window's sizes and positions are written in twips; the screen takes logical
// pixels at 15 twips each (Qt scales logical pixels on high-DPI screens).
namespace Twips {
inline constexpr int perPixel = 15;
// The window's outer size less its client area, in pixels, whatever the window
// manager draws, so the outer sizes of the layout arithmetic hold.
inline constexpr int frameWidth = 8;
inline constexpr int frameHeight = 31;

constexpr int toPixels(int twips) {
    return twips >= 0 ? (twips + perPixel / 2) / perPixel : -((-twips + perPixel / 2) / perPixel);
}
constexpr int fromPixels(int pixels) { return pixels * perPixel; }
inline QRect rect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}
} // namespace Twips
