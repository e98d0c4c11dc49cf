// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// The azimuths a controller can reach, in its own degrees: 0-360 for most, 0-450 or
// 0-540 for rotators with an overlap, -180-180 for south-stop ones, 0-340 for one
// with a dead zone. A bearing then has no, one or two positions.
class RotationRange {
  public:
    RotationRange() = default;
    RotationRange(double min, double max) : m_min(min), m_max(max) {}

    // "0-450", "-180-180", "-180--90"; nothing for an empty, reversed or wider
    // than two turns range.
    static std::optional<RotationRange> parse(const QString& text);
    QString text() const; // "0-450"

    double min() const { return m_min; }
    double max() const { return m_max; }
    // The plain 0-360 that needs no planning.
    bool isFullCircle() const { return m_min == 0 && m_max == 360; }
    // Over 360°: some bearings have two positions.
    bool hasOverlap() const { return m_max - m_min > 360; }
    // Under 360°: some bearings have none.
    bool hasDeadZone() const { return m_max - m_min < 360; }

    // The position to send for bearing (0 to 360 as a go-to gives it, or beyond with
    // the offset): the one nearest `from` when given, else the bearing itself if in
    // range, else the nearest to it. Nothing when the bearing is in the dead zone.
    // On the plain 0-360 the bearing always stands as it is.
    std::optional<double> position(double bearing, std::optional<double> from = {}) const;
    // The bearing (0 <= b < 360) of a position.
    static double bearingOf(double position);
    // Whether a position is one of two for its bearing, the one beyond the first turn.
    bool inOverlap(double position) const;

    bool operator==(const RotationRange&) const = default;

  private:
    double m_min = 0;
    double m_max = 360;
};
