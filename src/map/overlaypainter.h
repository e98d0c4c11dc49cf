#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

class QPainter;

// What the map shows on top of the bitmap, from the window's current state.
struct OverlayState {
    QString currentAzimuth;       // text of Label4
    QString lastCommandedAzimuth; // text of Label5
    QString offset;               // text of Text5
    int headingLineWidth = 3;     // base pen width in pixels
    // The centre mark and heading line, off until the first azimuth has been drawn.
    bool showHeading = true;
};

// Paints the overlay onto a copy of the map bitmap: command line (when Label5 has
// text), offset line (when the offset is a non-zero number), centre mark and heading
// line, in that order; the last two only with showHeading. Lengths are fractions of
// the half width in twips; pen widths are pixels.
class OverlayPainter {
public:
    static inline const QColor commandColor{0, 192, 0};
    static inline const QColor offsetColor{255, 192, 128};
    static inline const QColor headingColor{0, 0, 255};

    static QImage paint(const QImage& bitmap, const OverlayState& state);
    // The marks alone, for a bitmap of bitmapSize drawn at the painter's origin.
    static void paintMarks(QPainter& p, QSize bitmapSize, const OverlayState& state);

    static bool drawsCommandLine(const OverlayState& state);
    static bool drawsOffsetLine(const OverlayState& state);
    // Light orange with the offset line, green with the command line alone, else blue.
    static QColor centreMarkColor(const OverlayState& state);
};
