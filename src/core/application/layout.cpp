// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/application/layout.h"

namespace {

// Twips the Connect button keeps from the window's right edge.
constexpr int kConnectButtonRightMargin = 750;
// Reference picture the base sizes were laid out for.
constexpr int kBaseInnerHeight = 3010;
constexpr int kBaseOuterWidthForWindow = 2900;
constexpr int kBaseOuterWidthForTab = 3000;
// Switch panel: room below the map, and its distance from the tab's bottom edge.
constexpr int kPanelWindowExtra = 3000;
constexpr int kPanelTabExtra = 1950;
constexpr int kPanelFromTabBottom = 840;

} // namespace

int WindowLayout::headingLineWidthFor(int innerHeight) {
    if (innerHeight <= 3000)
        return 3;
    if (innerHeight < 5000)
        return 4;
    return 5;
}

WindowLayout WindowLayout::forPicture(int innerHeight, int outerWidth) {
    // The window passes through the base size and grows by the picture's difference
    // from the reference picture.
    WindowLayout l;
    l.windowHeight = baseWindowHeight + (innerHeight - kBaseInnerHeight);
    l.windowWidth = baseWindowWidth + (outerWidth - kBaseOuterWidthForWindow);
    l.tabHeight = baseTabHeight + (innerHeight - kBaseInnerHeight);
    l.tabWidth = baseTabWidth + (outerWidth - kBaseOuterWidthForTab);
    l.connectButtonLeft = l.windowWidth - kConnectButtonRightMargin;
    l.headingLineWidth = headingLineWidthFor(innerHeight);
    return l;
}

WindowLayout WindowLayout::withPanel(int pictureOuterHeight) const {
    WindowLayout l = *this;
    l.windowHeight = pictureOuterHeight + kPanelWindowExtra;
    l.tabHeight = pictureOuterHeight + kPanelTabExtra;
    l.panelTop = l.tabHeight - kPanelFromTabBottom;
    l.panelVisible = true;
    return l;
}
