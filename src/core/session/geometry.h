// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace MapGeometry {
// 4 * atan(1).
double piValue();
// Direction of (x, y) in radians counter-clockwise from +x, 0 <= angle < 2*pi, 0 for
// the zero vector, by the quadrant rules of the click arithmetic.
double vectorAngle(const double& x, const double& y);

// End point of a map line in twips (single precision): theta = (90 - a) * pi / 180,
// x = cx + L cos theta, y = cy - L sin theta (y grows downwards).
QPointF lineEndPoint(float centerX, float centerY, double azimuth, float lengthTwips);

// Click-to-aim, from the pointer (px, py) and the outer rectangle of the map in
// pixels, frame included, right and bottom one past the last pixel as the window
// system reports them (a 204-pixel-wide map at left 10 has right 214): the
// unrounded direction D of the click in degrees; nothing when the pixel arithmetic
// leaves 16 bits.
std::optional<double> clickDegrees(int px, int py, int left, int top, int right, int bottom);

// The target azimuth T for a direction D: D rounded, the offset text's value added,
// rounded again, negative results brought up by 360; nothing when a step leaves 16
// bits, since nothing may be sent for such a target.
std::optional<qint16> aimTarget(double degrees, const QString& offsetText);

} // namespace MapGeometry
