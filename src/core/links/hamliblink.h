// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/controllerlink.h"
#include "core/links/rotationrange.h"

#include <QThread>
#include <QTimer>
#include <optional>

class HamlibWorker;

// Any controller the Hamlib library drives, by Hamlib's model number: on a serial
// device (COMn's, or the set device) with the settings tab's line, or across the
// network in Hamlib's own HOST:PORT form (model 2, a remote rotctld).
//
// Hamlib's calls block until the controller answers or its time-out passes, and a
// Hamlib handle is not to be shared between threads, so every call runs on one
// thread of the link's own, one at a time, and the event loop never waits on a
// controller. The position is asked for every poll interval; a poll is never asked
// for while one is on its way. A go-to or turn not yet started gives way to a newer
// one, and a stop goes before anything waiting.
class HamlibLink : public ControllerLink {
    Q_OBJECT
  public:
    explicit HamlibLink(int model, QObject* parent = nullptr);
    ~HamlibLink() override;

    int model() const { return m_model; }
    // The range the operator set for the controller, told to Hamlib at opening so it
    // takes positions beyond its own limits; none: Hamlib's own.
    void setConfiguredRange(std::optional<RotationRange> range) { m_configuredRange = range; }

    bool isOpen() const override { return m_open; }
    // Opens on the link's thread and waits for it at most timeout(): Hamlib opens a
    // serial device at once, a remote rotctld within a round trip or two.
    bool open() override;
    void close() override;
    GoTo goTo(const QString& position) override;
    bool turn(Direction direction) override;
    bool stop() override;
    bool setSwitch(int, bool) override { return false; }
    bool sendText(const QString&) override { return false; }
    qsizetype queuedCommands() const override;
    RotationRange ownRange() const override { return m_range; }

    // Loads Hamlib's backends and quiets its debug output; done once, before any
    // other Hamlib call.
    static void loadBackends();
    // A Hamlib error code as the operator reads it.
    static QString errorText(int status);

  private:
    enum class Job { Position, GoTo, Turn, Stop };
    struct Command {
        Job job = Job::Position;
        double azimuth = 0;
        Direction direction = Direction::Cw;
    };
    struct Outcome {
        int status = 0;
        double azimuth = 0;
        double elevation = 0;
    };

    void poll();
    void dispatch();
    void finished(quint64 generation, const Command& command, const Outcome& outcome);
    QString failure(const Command& command, int status) const;
    void shutDown();

    const int m_model;
    std::optional<RotationRange> m_configuredRange;
    RotationRange m_range;
    double m_minElevation = 0, m_maxElevation = 90;
    double m_elevation = 0;
    QThread m_thread;
    HamlibWorker* m_worker;
    QTimer m_poll;
    bool m_open = false;
    // Counts opens and closes, so what the thread reports of a closed handle is let go.
    quint64 m_generation = 0;
    std::optional<Command> m_running;
    bool m_stopWaiting = false;
    std::optional<Command> m_movementWaiting;
    bool m_pollWaiting = false;
    // A failing poll is told once, not at every poll, until a poll succeeds.
    bool m_pollFailing = false;
};
