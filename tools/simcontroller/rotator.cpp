// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rotator.h"

#include <algorithm>
#include <cmath>

Rotator::Rotator(double start, double degreesPerSecond, Limits limits)
    : m_position(std::clamp(start, limits.min, limits.max)), m_rate(degreesPerSecond),
      m_limits(limits) {}

int Rotator::reportedAzimuth() const {
    const long whole = std::lround(m_position);
    const long lo = std::lround(std::ceil(m_limits.min));
    const long hi = std::lround(std::floor(m_limits.max));
    return static_cast<int>(std::clamp(whole, lo, std::max(lo, hi)));
}

void Rotator::turn(Motion direction) {
    m_target.reset();
    m_motion = direction;
    if ((direction == Motion::Cw && m_position >= m_limits.max) ||
        (direction == Motion::Ccw && m_position <= m_limits.min))
        m_motion = Motion::Still;
}

double Rotator::goTo(double azimuth) {
    const double target = std::clamp(azimuth, m_limits.min, m_limits.max);
    if (target == m_position) {
        stop();
        return target;
    }
    m_target = target;
    m_motion = target > m_position ? Motion::Cw : Motion::Ccw;
    return target;
}

void Rotator::stop() {
    m_motion = Motion::Still;
    m_target.reset();
}

Rotator::Event Rotator::advance(double seconds) {
    if (m_motion == Motion::Still || seconds <= 0)
        return Event::None;
    const double step = m_rate * seconds;
    if (m_motion == Motion::Cw) {
        const double limit = m_target.value_or(m_limits.max);
        m_position += step;
        if (m_position < limit)
            return Event::None;
        m_position = limit;
    } else {
        const double limit = m_target.value_or(m_limits.min);
        m_position -= step;
        if (m_position > limit)
            return Event::None;
        m_position = limit;
    }
    // A target on an end stop counts as reaching the target: that is what was asked.
    const Event event = m_target ? Event::ReachedTarget : Event::ReachedEndStop;
    stop();
    return event;
}
