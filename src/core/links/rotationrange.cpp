// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/rotationrange.h"

#include "core/geography/geodesy.h"
#include "core/text/textnumber.h"

#include <QRegularExpression>
#include <cmath>

std::optional<RotationRange> RotationRange::parse(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral(R"(^\s*(-?\d{1,3}(?:\.\d+)?)\s*-\s*(-?\d{1,3}(?:\.\d+)?)\s*$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const double min = m.captured(1).toDouble();
    const double max = m.captured(2).toDouble();
    // Two turns is more than any rotator gives; beyond that a bearing would have three
    // positions and a typing error would pass for a range.
    if (!(max > min) || max - min > 720 || min < -360 || max > 720)
        return std::nullopt;
    return RotationRange(min, max);
}

QString RotationRange::text() const {
    return QStringLiteral("%1-%2").arg(m_min, 0, 'g', 15).arg(m_max, 0, 'g', 15);
}

std::optional<double> RotationRange::position(double bearing, std::optional<double> from) const {
    if (isFullCircle())
        return bearing;
    // Every position of the bearing within the range, from the lowest turn up.
    double p = bearing - 360 * std::ceil((bearing - m_min) / 360);
    std::optional<double> best;
    const double reference = from.value_or(bearing);
    for (; p <= m_max; p += 360) {
        if (p < m_min)
            continue;
        if (!from && p == bearing)
            return p;
        if (!best || std::abs(p - reference) < std::abs(*best - reference))
            best = p;
    }
    return best;
}

double RotationRange::bearingOf(double position) {
    return Geodesy::normalizedDegrees(position);
}

bool RotationRange::inOverlap(double position) const {
    return hasOverlap() && (position < 0 || position >= 360);
}
