// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/gs232link.h"

#include <cmath>

namespace {

// An answer that ends in its digits, with no line end, is whole once nothing more
// came for this long; long enough for a USB adapter's pause within an answer.
constexpr int kSettleMs = 100;
// Four digits is the most any controller of this kind gives.
constexpr int kMaxDigits = 4;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits at from, up to kMaxDigits.
qsizetype digitsAt(const QByteArray& s, qsizetype from) {
    qsizetype n = 0;
    while (from + n < s.size() && n < kMaxDigits && isDigit(s[from + n]))
        ++n;
    return n;
}

} // namespace

Gs232Link::Gs232Link(Variant variant, QObject* parent)
    : ControllerLink(parent), m_variant(variant), m_channel(new CommandChannel(this)) {
    setPolled(true);
    m_channel->setLineEnd(QByteArrayLiteral("\r"));
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { takeAnswers(true); });
    connect(&m_pollTimer, &QTimer::timeout, this, &Gs232Link::poll);
    connect(m_channel, &CommandChannel::received, this, &Gs232Link::received);
    connect(m_channel, &CommandChannel::openChanged, this, &ControllerLink::openChanged);
    connect(m_channel, &CommandChannel::lost, this, [this] {
        m_pollTimer.stop();
        m_settle.stop();
        stopWatching();
        emit lost();
    });
}

bool Gs232Link::open() {
    if (isOpen() || !openChannel(*m_channel))
        return false;
    m_received.clear();
    m_answerLineOpen = false;
    m_pollOutstanding = false;
    startWatching();
    m_pollTimer.start(pollInterval());
    poll(); // the heading at once, not one interval later
    return true;
}

void Gs232Link::close() {
    m_pollTimer.stop();
    m_settle.stop();
    stopWatching();
    m_channel->close();
}

bool Gs232Link::send(const QByteArray& command, CommandChannel::CommandKind kind) {
    if (!m_channel->send(command + '\r', kind))
        return false;
    m_lastCommand = command;
    return true;
}

void Gs232Link::poll() {
    // A command waiting to be written goes first; a poll behind it would only
    // delay it, and one behind a controller that stopped reading would pile up.
    if (queuedCommands() > 0) {
        m_pollOnLine = false;
        return;
    }
    // The last poll had a whole interval on the line and no answer: ask again.
    // Had it less, give it one.
    if (m_pollOutstanding && !m_pollOnLine) {
        m_pollOnLine = true;
        return;
    }
    if (!send(QByteArrayLiteral("C"), CommandChannel::CommandKind::Ordered))
        return;
    m_pollOutstanding = true;
    m_pollOnLine = queuedCommands() == 0;
}

ControllerLink::GoTo Gs232Link::goTo(const QString& position) {
    bool ok = false;
    const double value = position.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return GoTo::NoCommand;
    const long whole = std::lround(value);
    if (whole < 0 || whole > 999)
        return GoTo::NoCommand;
    const QByteArray command = 'M' + QByteArray::number(whole).rightJustified(3, '0');
    return send(command, CommandChannel::CommandKind::Movement) ? GoTo::Sent : GoTo::Refused;
}

bool Gs232Link::turn(Direction direction) {
    return send(direction == Direction::Ccw ? QByteArrayLiteral("L") : QByteArrayLiteral("R"),
                CommandChannel::CommandKind::Movement);
}

bool Gs232Link::stop() {
    return send(QByteArrayLiteral("A"), CommandChannel::CommandKind::Stop);
}

bool Gs232Link::sendText(const QString& text) {
    return send(text.toLatin1(), CommandChannel::CommandKind::Ordered);
}

void Gs232Link::received(const QByteArray& bytes) {
    m_received += bytes;
    takeAnswers(false);
}

void Gs232Link::takeAnswers(bool settled) {
    bool& sameLine = m_answerLineOpen;
    QByteArray& s = m_received;
    qsizetype at = 0;
    const auto tail = [&](QByteArrayView token) { // s from at is a start of token
        return token.startsWith(QByteArrayView(s).sliced(at));
    };
    while (at < s.size()) {
        const char c = s[at];
        if (s.mid(at, 2) == "?>") {
            at += 2;
            m_pollOutstanding = false;
            noteAnswer();
            emit commandFailed(tr("コントローラがコマンド %1 を受け付けませんでした (?>)")
                                   .arg(QString::fromLatin1(m_lastCommand)));
            continue;
        }
        const bool az = s.mid(at, 3) == "AZ=";
        const bool el = s.mid(at, 3) == "EL=";
        if (az || el || c == '+') {
            qsizetype from = at + (c == '+' ? 1 : 3);
            while (from < s.size() && s[from] == ' ')
                ++from;
            const qsizetype n = digitsAt(s, from);
            // Digits up to the end may go on, unless nothing more came for a while.
            if (from + n == s.size() && n < kMaxDigits && !(settled && n > 0))
                break;
            at = from + n;
            if (n == 0)
                continue; // not an answer after all
            const bool elevation = el || (c == '+' && sameLine);
            if (!elevation)
                answered(s.mid(from, n).toInt());
            sameLine = true;
            continue;
        }
        // The start of an answer at the end: the rest is on its way.
        if (tail("AZ=") || tail("EL=") || tail("?>"))
            break;
        if (c == '\r' || c == '\n')
            sameLine = false;
        ++at; // line ends, spaces, noise
    }
    s.remove(0, at);
    if (!settled && !s.isEmpty() && isDigit(s.back()))
        m_settle.start();
}

void Gs232Link::answered(int position) {
    m_pollOutstanding = false;
    noteAnswer();
    emit headingReceived(QString::number(position % 360), position);
}
