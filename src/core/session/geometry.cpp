// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/session/geometry.h"

#include "core/text/textnumber.h"

#include <cmath>
#include <limits>

namespace {

// A difference or sum of pixel quantities taken as a signed 16-bit integer; nothing
// when it does not fit.
std::optional<qint16> asInt16(qint64 value) {
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(value);
}

} // namespace

namespace MapGeometry {

double piValue() {
    return 4.0 * std::atan(1.0);
}

double vectorAngle(const double& x, const double& y) {
    const double p = piValue();
    if (x == 0 && y == 0)
        return 0;
    if (y == 0)
        return x > 0 ? 0 : p;
    if (x == 0)
        return y > 0 ? p / 2 : 3 * p / 2;
    const double t = std::atan(std::fabs(y) / std::fabs(x));
    if (x > 0)
        return y > 0 ? t : 2 * p - t;
    return y > 0 ? p - t : p + t;
}

QPointF lineEndPoint(float centerX, float centerY, double azimuth, float lengthTwips) {
    double theta = (90.0 - azimuth) * piValue() / 180.0;
    // An azimuth so large that the angle overflows is still a direction; fold it into
    // one turn rather than hand NaN coordinates to the painter.
    if (!std::isfinite(theta))
        theta = (90.0 - std::fmod(azimuth, 360.0)) * piValue() / 180.0;
    // volatile: GCC 12 at -O2 vectorises the pair of narrowing casts away and would
    // hand back the unrounded doubles.
    const volatile float x = static_cast<float>(centerX + lengthTwips * std::cos(theta));
    const volatile float y = static_cast<float>(centerY - lengthTwips * std::sin(theta));
    return QPointF(x, y);
}

std::optional<double> clickDegrees(int px, int py, int left, int top, int right, int bottom) {
    const auto x = asInt16(qint64(px) - left);
    const auto y = asInt16(qint64(py) - top);
    if (!x || !y)
        return std::nullopt;

    const auto hw = roundToInt16(static_cast<double>(qint64(right) - left) / 2);
    const auto hh = roundToInt16(static_cast<double>(qint64(bottom) - top) / 2);
    if (!hw || !hh)
        return std::nullopt;

    // From the click towards the centre: dx > 0 left of the centre, dy > 0 above it.
    const auto dx = asInt16(qint64(*hw) - *x);
    const auto dy = asInt16(qint64(*hh) - *y);
    if (!dx || !dy)
        return std::nullopt;

    const double a = vectorAngle(double(*dx), double(*dy));
    // 3.14 rather than pi: the targets the controller has always been sent were
    // formed so, and operators' offsets are tuned to them.
    return a * 360 / (2 * 3.14) - 90;
}

std::optional<qint16> aimTarget(double degrees, const QString& offsetText) {
    const auto wholeD = roundToInt16(degrees);
    if (!wholeD)
        return std::nullopt;
    // A sum beyond 16 bits is no target at all: nothing may be sent for it.
    const auto t = roundToInt16(double(*wholeD) + numericValue(offsetText));
    if (!t)
        return std::nullopt;
    if (*t < 0)
        return asInt16(qint64(*t) + 360);
    return t;
}

} // namespace MapGeometry
