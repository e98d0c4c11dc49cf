#pragma once

#include <QPointF>
#include <QString>
#include <QtGlobal>
#include <optional>

// Twips per logical pixel: every length of the map and the window is kept in twips
// in the code and converted here.
inline constexpr int kTwipsPerPixel = 15;

namespace Module1 {
// 4 * atan(1).
double piValue();
// Direction of (x, y) in radians counter-clockwise from +x, 0 <= angle < 2*pi, 0 for
// the zero vector, by the quadrant rules of the click arithmetic.
double vectorAngle(const double& x, const double& y);
} // namespace Module1

// End point of a map line in twips (single precision): theta = (90 - a) * pi / 180,
// x = cx + L cos theta, y = cy - L sin theta (y grows downwards).
QPointF lineEndPoint(float centerX, float centerY, double azimuth, float lengthTwips);

// Click-to-aim: the pointer (px, py) and the outer rectangle of the map in pixels,
// frame included, right and bottom one past the last pixel as the window system
// reports them (a 204-pixel-wide map at left 10 has right 214).
// Returns the target azimuth T, or nothing when it cannot be formed (the conversions
// to 16 bits overflow); offsetText is the text of the offset box.
// The unrounded direction D of the click, in degrees, before the offset is added;
// nothing when the pixel arithmetic leaves 16 bits. Same rectangle convention.
std::optional<double> clickDegrees(int px, int py, int left, int top, int right, int bottom);

std::optional<qint16> clickTarget(int px, int py, int left, int top, int right, int bottom,
                                  const QString& offsetText);
