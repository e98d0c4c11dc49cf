// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/datagramlistener.h"

class WsjtxFollower;

// Receives the UDP datagrams WSJT-X and JTDX send to a server and hands each status
// to the follower; whatever is no message of theirs it counts there and drops, so
// nothing unread ever reaches the controller. A multicast group's port is shared, so
// GridTracker and others can receive the same datagrams beside it.
class WsjtxListener : public DatagramListener {
    Q_OBJECT
  public:
    explicit WsjtxListener(WsjtxFollower& follower, QObject* parent = nullptr);

  protected:
    Outcome handle(const QByteArray& datagram, const QHostAddress& sender,
                   quint16 senderPort) override;

  private:
    WsjtxFollower& m_follower;
};
