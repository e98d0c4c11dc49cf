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

class PseudoTerminal;

struct SimOptions {
    double start = 0;
    double rate = 6;
    int movingIntervalMs = 100;
    int stillIntervalMs = 1000;
    double min = 0;
    double max = 450;
};

// The controller box: takes command lines from the port, turns the rotator, keeps
// the eight remote outputs, and sends "AZ=ddd" reports, often while turning and
// now and then while still. Every command and every change is logged to stdout.
class SimController : public QObject {
    Q_OBJECT
  public:
    SimController(const SimOptions& options, PseudoTerminal& port, QObject* parent = nullptr);

    // Writes one line to stdout at once, so a watcher sees it as it happens.
    static void log(const QString& line);

  private:
    void onData(const QByteArray& bytes);
    void feed(const char* data, qsizetype size);
    void handleLine(const QByteArray& line);
    void handleSwitch(int output, bool on);
    // Brings the rotator up to the present moment.
    void advance();
    void sendReport();
    void onReportTimer();
    // Reports at the pace that suits the rotator's motion from now on.
    void pace();

    SimOptions m_options;
    PseudoTerminal& m_port;
    Rotator m_rotator;
    QTimer m_reportTimer;
    QElapsedTimer m_clock;
    qint64 m_lastAdvanceNs = 0;
    QByteArray m_line;
    bool m_discardingLine = false;
    std::array<bool, 8> m_outputs{};
};
