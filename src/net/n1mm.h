// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/datagramlistener.h"

#include <QByteArrayView>
#include <QString>
#include <chrono>
#include <optional>

class AimPacer;
class QTimer;
class QUdpSocket;
class RotatorSession;

// N1MM Logger+'s rotor datagrams (UDP port 12040 by custom), as its own rotor
// program takes them:
//   <N1MMRotor><rotor>NAME</rotor><goazi>AZ</goazi><offset>OFF</offset>
//     <bidirectional>0|1</bidirectional><freqband>14.0</freqband></N1MMRotor>
//   <N1MMRotor><stop><rotor>NAME</rotor>...</stop></N1MMRotor>
// goazi is the bearing N1MM wants the antenna on; offset is how far the antenna is
// mounted round from the rotor's pointer (N1MM's antenna table), and a
// bidirectional antenna (a dipole, a beam in its 180° mode) serves a bearing from
// either end.
namespace N1mm {

struct Command {
    bool stop = false;
    QString rotor;
    double bearing = 0; // goazi
    double offset = 0;
    bool bidirectional = false;
};

// The command a datagram holds, or nothing when it holds none.
std::optional<Command> parse(QByteArrayView datagram);

// Where the rotor is to point, 0 <= r < 360: the bearing less the antenna's offset
// and, for a bidirectional antenna, whichever end is nearer the rotor's heading.
double rotorTarget(const Command& command, std::optional<double> rotorHeading);

// The heading as N1MM reads it back: "NAME @ HEADING×10", e.g. "Rotor 1 @ 1230".
QByteArray report(const QString& rotor, double heading);

} // namespace N1mm

// Aims the session's rotor at the bearings N1MM sends (those for rotor NAME, or for
// any rotor while no name is set) through the pacer, and reports its heading to
// N1MM when it changes and every reportInterval.
class N1mmListener : public DatagramListener {
    Q_OBJECT
  public:
    // N1MM's rotor window redraws from these; a few seconds keep it current after
    // a lost datagram without chattering.
    static constexpr std::chrono::milliseconds reportInterval = std::chrono::seconds(3);

    N1mmListener(RotatorSession& session, AimPacer& pacer, QObject* parent = nullptr);

    void setRotorName(const QString& name) { m_rotorName = name.trimmed(); }
    // Where the heading goes ("ADDRESS:PORT" read by Endpoint::parse);
    // nothing: it is not reported.
    void setReportTo(std::optional<std::pair<QHostAddress, quint16>> where);
    // Sends the heading to the report address, once the controller has told one.
    void sendReport();

  protected:
    Outcome handle(const QByteArray& datagram, const QHostAddress& sender,
                   quint16 senderPort) override;

  private:
    // The rotor's geographic heading, once the controller has reported one.
    std::optional<double> rotorHeading() const;

    RotatorSession& m_session;
    AimPacer& m_pacer;
    QString m_rotorName;
    QString m_heardName;
    double m_antennaOffset = 0;
    std::optional<std::pair<QHostAddress, quint16>> m_reportTo;
    QUdpSocket* m_reportSocket;
    QTimer* m_reportTimer;
};
