// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <optional>

class QTimer;
class RotatorSession;

// Paces the aims of programs that send them unasked (loggers, trackers, digital-mode
// programs) so that a burst of them never piles go-tos onto the line: the first
// goes at once, later ones wait, only the newest waiting target is kept, and at
// most one go-to leaves per interval. Aims go through the session's rules as a
// click's do (offset added, target shown); a stop or a park goes at once, and a
// stop also drops the waiting target.
class AimPacer : public QObject {
    Q_OBJECT
  public:
    // The controller turns a degree or a few per second and a go-to replaces the one
    // before, so a second go-to within a second moves the antenna at most a few
    // degrees differently: it only churns the line. One a second still follows a
    // satellite or a tracker updating every second.
    static constexpr std::chrono::milliseconds interval = std::chrono::seconds(1);
    using Clock = std::function<std::chrono::milliseconds()>;

    explicit AimPacer(RotatorSession& session, QObject* parent = nullptr);

    // What the interval is measured with; a steady clock unless replaced.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Aims at a direction in degrees, as a map click's direction (before the offset).
    void aimAt(double degrees);
    void stop();
    void park();

    // The target waiting for its turn, if any.
    std::optional<double> waiting() const { return m_waiting; }
    // Sends the waiting target once the interval since the last go-to has passed;
    // the pacer's timer calls it, and a test that moved its clock may.
    void release();

  private:
    void send(double degrees);

    RotatorSession& m_session;
    Clock m_clock;
    QTimer* m_timer;
    std::optional<double> m_waiting;
    std::optional<std::chrono::milliseconds> m_lastSent;
};
