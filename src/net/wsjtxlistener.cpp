// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/wsjtxlistener.h"

#include "core/wsjtxfollower.h"
#include "net/rotctlserver.h"
#include "net/wsjtxmessage.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

WsjtxListener::WsjtxListener(WsjtxFollower& follower, QObject* parent)
    : QObject(parent), m_follower(follower), m_socket(new QUdpSocket(this)) {
    connect(m_socket, &QUdpSocket::readyRead, this, &WsjtxListener::readDatagrams);
}

QString WsjtxListener::listen(const QString& endpoint) {
    m_socket->close();
    if (endpoint.trimmed().isEmpty())
        return {};
    const auto where = RotctlServer::parseEndpoint(endpoint.trimmed());
    if (!where)
        return QStringLiteral("not ADDRESS:PORT: %1").arg(endpoint);
    return listen(where->first, where->second);
}

QString WsjtxListener::listen(const QHostAddress& address, quint16 port) {
    m_socket->close();
    const bool group = address.protocol() == QAbstractSocket::IPv4Protocol &&
                       address.isInSubnet(QHostAddress(QStringLiteral("224.0.0.0")), 4);
    // A group's port is bound on every address and shared with the group's other
    // receivers; a plain address is bound alone, so a second receiver fails loudly
    // instead of silently taking the datagrams.
    const bool bound =
        group ? m_socket->bind(QHostAddress::AnyIPv4, port,
                               QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)
              : m_socket->bind(address, port);
    if (bound && (!group || m_socket->joinMulticastGroup(address)))
        return {};
    const QString error = m_socket->errorString();
    m_socket->close();
    return error;
}

quint16 WsjtxListener::port() const {
    return m_socket->localPort();
}

void WsjtxListener::readDatagrams() {
    while (m_socket->hasPendingDatagrams()) {
        // One byte past the bound is enough to know a datagram is too long.
        const QNetworkDatagram datagram = m_socket->receiveDatagram(Wsjtx::maxDatagramBytes + 1);
        if (!datagram.isValid()) // an error report pending in place of data
            break;
        const Wsjtx::Decoded decoded = Wsjtx::decode(datagram.data());
        if (decoded.status)
            m_follower.takeStatus(decoded.status->dxCall, decoded.status->dxGrid,
                                  decoded.status->deGrid);
        else if (decoded.kind == Wsjtx::Decoded::Kind::Invalid)
            m_follower.countIgnored(decoded.problem);
    }
}
