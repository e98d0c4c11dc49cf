// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QObject>

class QUdpSocket;
class WsjtxFollower;

// Receives the UDP datagrams WSJT-X and JTDX send to a server and hands each status
// to the follower; whatever is no message of theirs it counts there and drops, so
// nothing unread ever reaches the controller. A multicast group's port is shared, so
// GridTracker and others can receive the same datagrams beside it.
class WsjtxListener : public QObject {
    Q_OBJECT
  public:
    explicit WsjtxListener(WsjtxFollower& follower, QObject* parent = nullptr);

    // Receives at "ADDRESS:PORT" from now on (as the rotctld server's address is
    // written), or nowhere when it is empty. What went wrong, or nothing.
    QString listen(const QString& endpoint);
    QString listen(const QHostAddress& address, quint16 port);
    quint16 port() const;

  private:
    void readDatagrams();

    WsjtxFollower& m_follower;
    QUdpSocket* m_socket;
};
