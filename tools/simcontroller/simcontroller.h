// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rotator.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <vector>

struct SimOptions {
    // native: reports "AZ=ddd" unasked; gs232a, gs232b: answers only when asked.
    enum class Protocol { Native, Gs232a, Gs232b };
    Protocol protocol = Protocol::Native;
    double start = 0;
    double rate = 6;
    int movingIntervalMs = 100;
    int stillIntervalMs = 1000;
    double min = 0;
    double max = 450;
    int slowMs = 0; // answers and reports leave this late
};

// The controller box: takes command lines from the lines to the program (a
// pseudo-terminal, a TCP client), turns the rotator, keeps the eight remote outputs,
// and answers as the chosen controller does. The native one sends "AZ=ddd" reports,
// often while turning and now and then while still; a GS-232 answers only what it is
// asked, on the line that asked. Every command and every change is logged to stdout.
class SimController : public QObject {
    Q_OBJECT
  public:
    // Hands bytes to the program on one line.
    using Writer = std::function<void(const QByteArray&)>;

    explicit SimController(const SimOptions& options, QObject* parent = nullptr);

    // A line to the program; its number is what feed() takes.
    int addLine(Writer write);
    // Bytes the program sent on a line.
    void feed(int line, const QByteArray& bytes);
    // A new peer on the line: a command cut short by the last one is dropped.
    void resetLine(int line);
    // While silent the controller reads nothing and says nothing, as a hung one.
    void setSilent(bool silent);
    bool isSilent() const { return m_silent; }

    // Writes one line to stdout at once, so a watcher sees it as it happens.
    static void log(const QString& line);

  private:
    struct Line {
        Writer write;
        QByteArray pending;
        bool discarding = false;
    };
    bool isGs232() const { return m_options.protocol != SimOptions::Protocol::Native; }
    void handleLine(int line, const QByteArray& command);
    bool handleNative(const QByteArray& command);
    bool handleGs232(int line, const QByteArray& command);
    void turn(bool cw);
    void stopTurning(const char* command);
    // Starts a go-to; false (and logged) when asked beyond an end stop and refuse is set.
    bool goTo(const QByteArray& command, int asked, bool refuseBeyond);
    void handleSwitch(int output, bool on);
    // Brings the rotator up to the present moment.
    void advance();
    // Sends bytes on one line, or on every line when line is -1, after --slow.
    void send(int line, const QByteArray& bytes);
    void sendReport();
    void onReportTimer();
    // Reports at the pace that suits the rotator's motion from now on.
    void pace();

    SimOptions m_options;
    Rotator m_rotator;
    QTimer m_reportTimer;
    QElapsedTimer m_clock;
    qint64 m_lastAdvanceNs = 0;
    std::vector<Line> m_lines;
    bool m_silent = false;
    std::array<bool, 8> m_outputs{};
};
