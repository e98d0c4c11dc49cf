// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "simcontroller.h"

#include "pseudoterminal.h"

#include <cstdio>

namespace {

// A command is a few characters; anything this long without a line end is noise.
constexpr qsizetype kMaxLineLength = 256;

QString threeDigits(int azimuth) {
    return QStringLiteral("%1").arg(azimuth, 3, 10, QLatin1Char('0'));
}

// Received text as a human can read it in the log: control and non-ASCII bytes
// are shown as \xNN.
QString printable(const QByteArray& bytes) {
    QString out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f && u != '\\')
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return out;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

SimController::SimController(const SimOptions& options, PseudoTerminal& port, QObject* parent)
    : QObject(parent), m_options(options), m_port(port),
      m_rotator(options.start, options.rate, {options.min, options.max}) {
    m_clock.start();
    connect(&m_port, &PseudoTerminal::dataReceived, this, &SimController::onData);
    connect(&m_reportTimer, &QTimer::timeout, this, &SimController::onReportTimer);
    m_reportTimer.start(m_options.stillIntervalMs);
}

void SimController::log(const QString& line) {
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void SimController::onData(const QByteArray& bytes) {
    // Commands are taken as they come; keeping them all would only grow.
    m_port.clearReceived();
    feed(bytes.constData(), bytes.size());
}

void SimController::feed(const char* data, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            // CR LF, a bare CR and a bare LF all end a line; the empty "line"
            // between CR and LF is no command.
            if (!m_discardingLine && !m_line.isEmpty())
                handleLine(m_line);
            m_line.clear();
            m_discardingLine = false;
            continue;
        }
        if (m_discardingLine)
            continue;
        m_line += c;
        if (m_line.size() > kMaxLineLength) {
            log(QStringLiteral("ignored %1... (over %2 characters without a line end)")
                    .arg(printable(m_line.left(32)))
                    .arg(kMaxLineLength));
            m_line.clear();
            m_discardingLine = true;
        }
    }
}

void SimController::handleLine(const QByteArray& line) {
    if (line == "L" || line == "R") {
        log(QStringLiteral("cmd ") + QString::fromLatin1(line));
        advance();
        const bool cw = line == "R";
        m_rotator.turn(cw ? Rotator::Motion::Cw : Rotator::Motion::Ccw);
        const QString at = threeDigits(m_rotator.reportedAzimuth());
        if (m_rotator.isMoving())
            log(QStringLiteral("turning %1 from %2")
                    .arg(cw ? "clockwise" : "counter-clockwise", at));
        else
            log(QStringLiteral("at the end stop %1, not turning").arg(at));
        pace();
        return;
    }
    if (line == "A") {
        log(QStringLiteral("cmd A"));
        advance();
        const bool wasMoving = m_rotator.isMoving();
        m_rotator.stop();
        const QString at = threeDigits(m_rotator.reportedAzimuth());
        log(wasMoving ? QStringLiteral("stopped at %1").arg(at)
                      : QStringLiteral("still at %1").arg(at));
        // Tell the other side where it stopped without waiting for the slow pace.
        sendReport();
        pace();
        return;
    }
    if (line.size() == 4 && line[0] == 'M' && isDigit(line[1]) && isDigit(line[2]) &&
        isDigit(line[3])) {
        log(QStringLiteral("cmd ") + QString::fromLatin1(line));
        advance();
        const int asked = line.mid(1).toInt();
        const double target = m_rotator.goTo(asked);
        const int shownTarget = static_cast<int>(target + 0.5);
        const QString clamped =
            shownTarget != asked
                ? QStringLiteral(" (%1 is beyond the end stop)").arg(threeDigits(asked))
                : QString();
        if (m_rotator.isMoving())
            log(QStringLiteral("turning %1 from %2 to %3%4")
                    .arg(m_rotator.motion() == Rotator::Motion::Cw ? "clockwise"
                                                                   : "counter-clockwise",
                         threeDigits(m_rotator.reportedAzimuth()), threeDigits(shownTarget),
                         clamped));
        else
            log(QStringLiteral("already at %1%2").arg(threeDigits(shownTarget), clamped));
        pace();
        return;
    }
    if (line.size() == 3 && line[0] == 'Y' && line[1] >= '1' && line[1] <= '8' &&
        (line[2] == '1' || line[2] == '0')) {
        log(QStringLiteral("cmd ") + QString::fromLatin1(line));
        handleSwitch(line[1] - '0', line[2] == '1');
        return;
    }
    log(QStringLiteral("ignored ") + printable(line));
}

void SimController::handleSwitch(int output, bool on) {
    bool& state = m_outputs[static_cast<size_t>(output - 1)];
    const char* word = on ? "on" : "off";
    if (state == on) {
        log(QStringLiteral("output %1 already %2").arg(output).arg(word));
        return;
    }
    state = on;
    log(QStringLiteral("output %1 %2").arg(output).arg(word));
}

void SimController::advance() {
    const qint64 now = m_clock.nsecsElapsed();
    const double seconds = static_cast<double>(now - m_lastAdvanceNs) / 1e9;
    m_lastAdvanceNs = now;
    switch (m_rotator.advance(seconds)) {
    case Rotator::Event::None:
        break;
    case Rotator::Event::ReachedTarget:
        log(QStringLiteral("arrived at %1").arg(threeDigits(m_rotator.reportedAzimuth())));
        break;
    case Rotator::Event::ReachedEndStop:
        log(QStringLiteral("stopped at the end stop %1")
                .arg(threeDigits(m_rotator.reportedAzimuth())));
        break;
    }
}

void SimController::sendReport() {
    const QByteArray report = "AZ=" + threeDigits(m_rotator.reportedAzimuth()).toLatin1() + "\r\n";
    m_port.write(report);
}

void SimController::onReportTimer() {
    advance();
    sendReport();
    pace();
}

void SimController::pace() {
    const int interval =
        m_rotator.isMoving() ? m_options.movingIntervalMs : m_options.stillIntervalMs;
    // Restarting on every command would let a stream of commands hold reports back;
    // only a change of pace restarts the timer.
    if (interval != m_reportTimer.interval() || !m_reportTimer.isActive())
        m_reportTimer.start(interval);
}
