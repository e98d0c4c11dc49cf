// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/datagramlistener.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <chrono>
#include <functional>
#include <optional>

class AimPacer;
class RotatorSession;

// PstRotator's UDP commands (port 12000 by custom), as SatDump, KLog and Hamlib's
// PstRotator backend send them: <PST><AZIMUTH>85</AZIMUTH></PST>,
// <PST><STOP>1</STOP></PST>, <PST><PARK>1</PARK></PST>, <PST>AZ?</PST>, <PST>EL?</PST>,
// several of them in one datagram. Questions are answered to the sender's address
// at the listening port + 1: once a datagram whatever it repeats, never to a whole
// network, a group or port 0, and only so often to any one address, for the sender
// a datagram claims may be forged to aim our answers at someone else.
namespace PstRotator {

struct Command {
    enum class Kind { Azimuth, Stop, Park, AskAzimuth, AskElevation };
    Kind kind;
    double azimuth = 0; // Azimuth: 0 <= az < 360
};

// The commands a datagram holds, in order; none when it holds none.
QList<Command> parse(QByteArrayView datagram);

// The number a value begins with: "123.400002.2" (a sender's format slip) is 123.400002.
std::optional<double> leadingNumber(QByteArrayView text);

// "AZ:123" for a heading of 123°.
QByteArray azimuthAnswer(double heading);

// Whether a datagram from this address and port may be answered at all: not when it
// claims to come from a broadcast, a multicast group, no address or port 0.
bool mayAnswer(const QHostAddress& sender, quint16 senderPort);

// How many answers each address may draw: perSecond in any one second of its own,
// for at most `addresses` addresses at a time (forged senders cannot grow it).
class AnswerLimit {
  public:
    static constexpr int perSecond = 20; // a tracker asking AZ? and EL? 10 times a second
    static constexpr qsizetype addresses = 256;
    // Counts an answer to `to` at `now`; false when it is one too many.
    bool take(const QHostAddress& to, std::chrono::milliseconds now);

  private:
    struct Window {
        std::chrono::milliseconds start;
        int used;
    };
    QHash<QHostAddress, Window> m_windows;
};

} // namespace PstRotator

class PstRotatorListener : public DatagramListener {
    Q_OBJECT
  public:
    using Clock = std::function<std::chrono::milliseconds()>;

    PstRotatorListener(RotatorSession& session, AimPacer& pacer, QObject* parent = nullptr);

    // What the answers' rate is measured with; a steady clock unless replaced.
    void setClock(Clock clock) { m_clock = std::move(clock); }

  protected:
    Outcome handle(const QByteArray& datagram, const QHostAddress& sender,
                   quint16 senderPort) override;

  private:
    RotatorSession& m_session;
    AimPacer& m_pacer;
    Clock m_clock;
    PstRotator::AnswerLimit m_answers;
};
