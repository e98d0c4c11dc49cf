// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/datagramlistener.h"

#include <QByteArrayView>
#include <QList>
#include <optional>

class AimPacer;
class RotatorSession;

// PstRotator's UDP commands (port 12000 by custom), as SatDump, KLog and Hamlib's
// PstRotator backend send them: <PST><AZIMUTH>85</AZIMUTH></PST>,
// <PST><STOP>1</STOP></PST>, <PST><PARK>1</PARK></PST>, <PST>AZ?</PST>, <PST>EL?</PST>,
// several of them in one datagram. Questions are answered to the sender's address
// at the listening port + 1.
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

} // namespace PstRotator

class PstRotatorListener : public DatagramListener {
    Q_OBJECT
  public:
    PstRotatorListener(RotatorSession& session, AimPacer& pacer, QObject* parent = nullptr);

  protected:
    bool handle(const QByteArray& datagram, const QHostAddress& sender) override;

  private:
    RotatorSession& m_session;
    AimPacer& m_pacer;
};
