// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "simcontroller.h"

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

SimController::SimController(const SimOptions& options, QObject* parent)
    : QObject(parent), m_options(options),
      m_rotator(options.start, options.rate, {options.min, options.max}) {
    m_clock.start();
    connect(&m_reportTimer, &QTimer::timeout, this, &SimController::onReportTimer);
    // A GS-232 sends nothing unasked.
    if (!isGs232())
        m_reportTimer.start(m_options.stillIntervalMs);
}

void SimController::log(const QString& line) {
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

int SimController::addLine(Writer write) {
    m_lines.push_back({std::move(write), {}, false});
    return static_cast<int>(m_lines.size()) - 1;
}

void SimController::resetLine(int line) {
    m_lines[static_cast<size_t>(line)].pending.clear();
    m_lines[static_cast<size_t>(line)].discarding = false;
}

void SimController::setSilent(bool silent) {
    m_silent = silent;
    log(silent ? QStringLiteral("silent: obeying and answering nothing")
               : QStringLiteral("answering again"));
}

void SimController::feed(int line, const QByteArray& bytes) {
    if (m_silent) {
        log(QStringLiteral("silent, dropped ") + printable(bytes));
        return;
    }
    Line& l = m_lines[static_cast<size_t>(line)];
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            // CR LF, a bare CR and a bare LF all end a line; the empty "line"
            // between CR and LF is no command.
            const QByteArray command = l.pending;
            const bool take = !l.discarding && !command.isEmpty();
            l.pending.clear();
            l.discarding = false;
            if (take)
                handleLine(line, command);
            continue;
        }
        if (l.discarding)
            continue;
        l.pending += c;
        if (l.pending.size() > kMaxLineLength) {
            log(QStringLiteral("ignored %1... (over %2 characters without a line end)")
                    .arg(printable(l.pending.left(32)))
                    .arg(kMaxLineLength));
            l.pending.clear();
            l.discarding = true;
        }
    }
}

void SimController::handleLine(int line, const QByteArray& command) {
    if (isGs232() ? handleGs232(line, command) : handleNative(command))
        return;
    if (isGs232()) {
        log(QStringLiteral("unknown ") + printable(command) + QStringLiteral(", answered ?>"));
        send(line, "?>\r\n");
        return;
    }
    log(QStringLiteral("ignored ") + printable(command));
}

bool SimController::handleNative(const QByteArray& line) {
    if (line == "L" || line == "R") {
        turn(line == "R");
        return true;
    }
    if (line == "A") {
        stopTurning("A");
        // Tell the other side where it stopped without waiting for the slow pace.
        sendReport();
        pace();
        return true;
    }
    if (line.size() == 4 && line[0] == 'M' && isDigit(line[1]) && isDigit(line[2]) &&
        isDigit(line[3])) {
        goTo(line, line.mid(1).toInt(), false);
        return true;
    }
    if (line.size() == 3 && line[0] == 'Y' && line[1] >= '1' && line[1] <= '8' &&
        (line[2] == '1' || line[2] == '0')) {
        log(QStringLiteral("cmd ") + QString::fromLatin1(line));
        handleSwitch(line[1] - '0', line[2] == '1');
        return true;
    }
    return false;
}

bool SimController::handleGs232(int line, const QByteArray& command) {
    const bool b = m_options.protocol == SimOptions::Protocol::Gs232b;
    const auto digitsAt = [&](qsizetype from, qsizetype count) {
        for (qsizetype i = from; i < from + count; ++i)
            if (i >= command.size() || !isDigit(command[i]))
                return false;
        return true;
    };
    if (command == "C" || command == "C2") {
        advance();
        const int az = m_rotator.reportedAzimuth();
        QByteArray answer = b ? "AZ=" + threeDigits(az).toLatin1()
                              : "+0" + threeDigits(az).toLatin1();
        // C2 adds the elevation: this rotator has none, so 0.
        if (command == "C2")
            answer += b ? "  EL=000" : "+0000";
        log(QStringLiteral("cmd %1, answered %2").arg(QString::fromLatin1(command),
                                                       QString::fromLatin1(answer)));
        send(line, answer + "\r\n");
        return true;
    }
    if (command == "L" || command == "R") {
        turn(command == "R");
        return true;
    }
    if (command == "A" || command == "S") {
        stopTurning(command.constData());
        return true;
    }
    // Mddd, and Waaa eee (azimuth and elevation; the elevation is not used).
    const bool m = command.size() == 4 && command[0] == 'M' && digitsAt(1, 3);
    const bool w = command.size() == 8 && command[0] == 'W' && digitsAt(1, 3) &&
                   command[4] == ' ' && digitsAt(5, 3);
    if (m || w) {
        if (!goTo(command, command.mid(1, 3).toInt(), true))
            send(line, "?>\r\n");
        return true;
    }
    // Speed 1 to 4: taken, and of no effect on the simulated rate.
    if (command.size() == 2 && command[0] == 'X' && command[1] >= '1' && command[1] <= '4') {
        log(QStringLiteral("cmd ") + QString::fromLatin1(command));
        return true;
    }
    return false;
}

void SimController::turn(bool cw) {
    log(QStringLiteral("cmd ") + QLatin1Char(cw ? 'R' : 'L'));
    advance();
    m_rotator.turn(cw ? Rotator::Motion::Cw : Rotator::Motion::Ccw);
    const QString at = threeDigits(m_rotator.reportedAzimuth());
    if (m_rotator.isMoving())
        log(QStringLiteral("turning %1 from %2").arg(cw ? "clockwise" : "counter-clockwise", at));
    else
        log(QStringLiteral("at the end stop %1, not turning").arg(at));
    pace();
}

void SimController::stopTurning(const char* command) {
    log(QStringLiteral("cmd %1").arg(QLatin1String(command)));
    advance();
    const bool wasMoving = m_rotator.isMoving();
    m_rotator.stop();
    const QString at = threeDigits(m_rotator.reportedAzimuth());
    log(wasMoving ? QStringLiteral("stopped at %1").arg(at) : QStringLiteral("still at %1").arg(at));
}

bool SimController::goTo(const QByteArray& command, int asked, bool refuseBeyond) {
    log(QStringLiteral("cmd ") + QString::fromLatin1(command));
    if (refuseBeyond && (asked < m_options.min || asked > m_options.max)) {
        log(QStringLiteral("%1 lies beyond the end stops, refused").arg(threeDigits(asked)));
        return false;
    }
    advance();
    const double target = m_rotator.goTo(asked);
    const int shownTarget = static_cast<int>(target + 0.5);
    const QString clamped = shownTarget != asked
                                ? QStringLiteral(" (%1 is beyond the end stop)").arg(threeDigits(asked))
                                : QString();
    if (m_rotator.isMoving())
        log(QStringLiteral("turning %1 from %2 to %3%4")
                .arg(m_rotator.motion() == Rotator::Motion::Cw ? "clockwise" : "counter-clockwise",
                     threeDigits(m_rotator.reportedAzimuth()), threeDigits(shownTarget), clamped));
    else
        log(QStringLiteral("already at %1%2").arg(threeDigits(shownTarget), clamped));
    pace();
    return true;
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

void SimController::send(int line, const QByteArray& bytes) {
    const auto deliver = [this, line, bytes] {
        for (size_t i = 0; i < m_lines.size(); ++i)
            if (line < 0 || static_cast<size_t>(line) == i)
                m_lines[i].write(bytes);
    };
    if (m_options.slowMs > 0)
        QTimer::singleShot(m_options.slowMs, this, deliver);
    else
        deliver();
}

void SimController::sendReport() {
    if (!m_silent)
        send(-1, "AZ=" + threeDigits(m_rotator.reportedAzimuth()).toLatin1() + "\r\n");
}

void SimController::onReportTimer() {
    advance();
    sendReport();
    pace();
}

void SimController::pace() {
    if (isGs232())
        return;
    const int interval =
        m_rotator.isMoving() ? m_options.movingIntervalMs : m_options.stillIntervalMs;
    // Restarting on every command would let a stream of commands hold reports back;
    // only a change of pace restarts the timer.
    if (interval != m_reportTimer.interval() || !m_reportTimer.isActive())
        m_reportTimer.start(interval);
}
