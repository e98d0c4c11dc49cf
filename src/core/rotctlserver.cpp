// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/rotctlserver.h"

#include "core/rotatorsession.h"
#include "core/textnumber.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <cmath>

using Rotctl::Command;
using Rotctl::Field;
using Rotctl::Verb;

RotctlServer::RotctlServer(RotatorSession* session, QObject* parent)
    : QObject(parent), m_session(session), m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &RotctlServer::acceptClients);
}

bool RotctlServer::listen(const QHostAddress& address, quint16 port) {
    return m_server->listen(address, port);
}

QString RotctlServer::errorString() const {
    return m_server->errorString();
}

quint16 RotctlServer::port() const {
    return m_server->serverPort();
}

std::optional<std::pair<QHostAddress, quint16>> RotctlServer::parseEndpoint(const QString& text) {
    const qsizetype colon = text.lastIndexOf(u':');
    QHostAddress address(QHostAddress::LocalHost);
    if (colon >= 0) {
        QString host = text.left(colon);
        if (host.startsWith(u'[') && host.endsWith(u']'))
            host = host.mid(1, host.size() - 2);
        if (!address.setAddress(host))
            return std::nullopt;
    }
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    return std::pair{address, quint16(port)};
}

void RotctlServer::acceptClients() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (m_clients.size() >= maxClients) {
            socket->write(Rotctl::reply(Command{}, Rotctl::Rejected));
            socket->disconnectFromHost();
            continue;
        }
        // Replies are small and awaited: no waiting to fill a segment.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // What a client has not read yet waits here, where it is counted and bounded,
        // more than in the system's buffers.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 16 * 1024);
        m_clients.insert(socket, Client{});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readClient(socket); });
        connect(socket, &QObject::destroyed, this, [this, socket] { m_clients.remove(socket); });
    }
}

void RotctlServer::readClient(QTcpSocket* socket) {
    auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    Client& client = *it;
    client.pending += socket->readAll();
    QByteArray replies;
    bool quit = false;
    while (!quit) {
        const qsizetype end = client.pending.indexOf('\n');
        if (end < 0) {
            if (client.pending.size() > maxLineBytes && !client.skippingLongLine) {
                replies += Rotctl::reply(Command{}, Rotctl::InvalidArgument);
                client.skippingLongLine = true;
            }
            if (client.skippingLongLine)
                client.pending.clear();
            break;
        }
        QByteArray line = client.pending.left(end);
        client.pending.remove(0, end + 1);
        if (client.skippingLongLine) { // the rest of a line already refused
            client.skippingLongLine = false;
            continue;
        }
        if (line.size() > maxLineBytes) {
            replies += Rotctl::reply(Command{}, Rotctl::InvalidArgument);
            continue;
        }
        for (const Command& command : Rotctl::parseLine(line)) {
            if (command.verb == Verb::Quit) {
                quit = true;
                break;
            }
            replies += execute(command);
        }
    }
    // One write per read: a reply of several lines reaches the client in one piece.
    if (!replies.isEmpty()) {
        socket->write(replies);
        socket->flush(); // now, not after the window has repainted
    }
    if (quit)
        socket->disconnectFromHost();
    else if (socket->bytesToWrite() > maxUnreadBytes)
        socket->abort(); // it does not read what it asks for
}

QByteArray RotctlServer::execute(const Command& c) {
    using namespace Rotctl;
    if (c.verb == Verb::Unknown)
        return reply(c, NotImplemented);
    if (c.malformed)
        return reply(c, InvalidArgument);
    RotatorSession& s = *m_session;
    const bool open = s.link().isOpen();
    switch (c.verb) {
    case Verb::SetPos:
        switch (s.aimAt(c.azimuth)) {
        case RotatorSession::AimResult::Sent:
            return reply(c, Ok);
        case RotatorSession::AimResult::PortClosed:
            return reply(c, IoError);
        case RotatorSession::AimResult::Refused:
            return reply(c, Rejected); // the port is open but takes no more for now
        default:
            return reply(c, InvalidArgument);
        }
    case Verb::GetPos: {
        // The controller's heading is geographic once the offset is taken off.
        double az = std::fmod(numericValue(s.heading()) - numericValue(s.offset()), 360.0);
        if (az < 0)
            az += 360;
        const QByteArray text = QByteArray::number(az, 'f', 2);
        return reply(c, Ok, {{text, "Azimuth: " + text}, {"0.00", "Elevation: 0.00"}});
    }
    case Verb::Stop:
        return reply(c, s.stop() ? Ok : open ? Rejected : IoError);
    case Verb::Move: {
        bool sent = false;
        if (c.direction == 8)
            sent = s.turnCcw();
        else if (c.direction == 16)
            sent = s.turnCw();
        else
            return reply(c, InvalidArgument);
        return reply(c, sent ? Ok : open ? Rejected : IoError);
    }
    case Verb::Park:
        return reply(c, NotAvailable); // the controller knows no park position
    case Verb::GetInfo: {
        const QByteArray info = "AZIVEX rotator controller on COM" +
                                QByteArray::number(s.link().portNumber()) + ' ' +
                                s.link().lineSettings().toLatin1();
        return reply(c, Ok, {{info, "Info: " + info}});
    }
    case Verb::DumpState:
        return reply(c, Ok,
                     {{"1", "rotctld Protocol Ver: 1"},
                      {"2", "Rotor Model: 2"},
                      {"min_az=0.000000", "Minimum Azimuth: 0.000000"},
                      {"max_az=360.000000", "Maximum Azimuth: 360.000000"},
                      {"min_el=0.000000", "Minimum Elevation: 0.000000"},
                      {"max_el=90.000000", "Maximum Elevation: 90.000000"},
                      {"south_zero=0", "South Zero: 0"},
                      {"rot_type=AzEl", "rot_type=AzEl"},
                      {"done", "done"}});
    default:
        return reply(c, NotImplemented);
    }
}
