#pragma once

// Window, tab control and Connect-button geometry for a map picture, in twips.
// Window sizes are outer sizes.
struct WindowLayout {
    int windowHeight = 0;
    int windowWidth = 0;
    int tabHeight = 0;
    int tabWidth = 0;
    int command6Left = 0;
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
