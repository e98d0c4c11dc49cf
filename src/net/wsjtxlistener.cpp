// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/wsjtxlistener.h"

#include "core/application/wsjtxfollower.h"
#include "net/wsjtxmessage.h"

WsjtxListener::WsjtxListener(WsjtxFollower& follower, QObject* parent)
    : DatagramListener(QStringLiteral("WSJT-X"), parent), m_follower(follower) {
    setMaxDatagramBytes(Wsjtx::maxDatagramBytes);
}

DatagramListener::Outcome WsjtxListener::handle(const QByteArray& datagram, const QHostAddress&,
                                                quint16) {
    const Wsjtx::Decoded decoded = Wsjtx::decode(datagram);
    if (decoded.status) {
        m_follower.takeStatus(decoded.status->dxCall, decoded.status->dxGrid,
                              decoded.status->deGrid);
        return Outcome::Handled;
    }
    // Heartbeats, decodes and the like are WSJT-X's own traffic, not mistakes.
    return decoded.kind == Wsjtx::Decoded::Kind::Invalid ? Outcome::NotUnderstood
                                                         : Outcome::Understood;
}
