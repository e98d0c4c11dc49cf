// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
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
constexpr int fromPixels(int pixels) {
    return pixels * perPixel;
}
inline QRect rect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}
} // namespace Twips

// Window, tab control and Connect-button geometry for a map picture, in twips.
// Window sizes are outer sizes.
struct WindowLayout {
    int windowHeight = 0;
    int windowWidth = 0;
    int tabHeight = 0;
    int tabWidth = 0;
    int connectButtonLeft = 0;
    int headingLineWidth = 3;
    bool panelVisible = false;
    int panelTop = 3360;

    // Base size every picture selection passes through.
    static constexpr int baseWindowHeight = 5205;
    static constexpr int baseWindowWidth = 3300;
    static constexpr int baseTabHeight = 4245;
    static constexpr int baseTabWidth = 3160;

    // Sizes for a picture whose inner height is innerHeight and outer width is
    // outerWidth (twips), without the switch panel.
    static WindowLayout forPicture(int innerHeight, int outerWidth);
    // Pen width for a picture's inner height: 3 up to 3000, 4 below 5000, else 5.
    static int headingLineWidthFor(int innerHeight);
    // The same layout with the switch panel shown below a map of outer height
    // pictureOuterHeight.
    WindowLayout withPanel(int pictureOuterHeight) const;
};
