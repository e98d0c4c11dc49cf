// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

// The mechanics of the simulated rotator: an azimuth between two end stops that
// turns at a fixed rate, either until an end stop or until a go-to target.
// Pure arithmetic, no I/O, so the controller around it decides what to log and send.
class Rotator {
  public:
    enum class Motion { Still, Ccw, Cw };

    struct Limits {
        double min = 0;
        double max = 450;
    };

    Rotator(double start, double degreesPerSecond, Limits limits);

    double position() const { return m_position; }
    // The position as the controller reports it: whole degrees within the end stops.
    int reportedAzimuth() const;
    Motion motion() const { return m_motion; }
    bool isMoving() const { return m_motion != Motion::Still; }
    std::optional<double> target() const { return m_target; }
    Limits limits() const { return m_limits; }

    // Starts turning towards an end stop; stays still when already there.
    void turn(Motion direction);
    // Starts turning towards azimuth, clamped to the end stops; returns the clamped
    // target. Stays still when already there.
    double goTo(double azimuth);
    void stop();

    enum class Event { None, ReachedTarget, ReachedEndStop };
    // Moves on by the given time; reports whether the turn ended on the way.
    Event advance(double seconds);

  private:
    double m_position;
    double m_rate;
    Limits m_limits;
    Motion m_motion = Motion::Still;
    std::optional<double> m_target;
};
