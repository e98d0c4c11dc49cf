// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/rotctlserver.h"

#include "net/endpoint.h"

#include "core/application/commandline.h"
#include "core/geography/geodesy.h"
#include "core/session/rotatorsession.h"
#include "core/text/printabletext.h"
#include "core/text/textnumber.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

using Rotctl::Command;
using Rotctl::Field;
using Rotctl::Verb;
using std::chrono::milliseconds;

namespace {

// Where the first line in `data` ends, or -1. A carriage return, a line feed and
// the pair each end a line: the pair's feed ends an empty line, which asks for
// nothing.
qsizetype lineEnd(const QByteArray& data) {
    const auto end =
        std::find_if(data.cbegin(), data.cend(), [](char c) { return c == '\n' || c == '\r'; });
    return end == data.cend() ? -1 : end - data.cbegin();
}

} // namespace

RotctlServer::RotctlServer(RotatorSession* session, QObject* parent)
    : ServiceServer(parent), m_session(session), m_clock([] {
          return std::chrono::duration_cast<milliseconds>(
              std::chrono::steady_clock::now().time_since_epoch());
      }),
      m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &RotctlServer::acceptClients);
}

RotctlServer::~RotctlServer() {
    // The sockets go with the server, after this object has stopped hearing of them.
    for (const Client& client : std::as_const(m_clients))
        if (client.replyDescriptor >= 0)
            ::close(client.replyDescriptor);
}

bool RotctlServer::listen(const QHostAddress& address, quint16 port) {
    return m_server->listen(address, port);
}

QString RotctlServer::serve(const QString& endpoint) {
    m_server->close();
    if (endpoint.isEmpty())
        return {};
    const auto where = Endpoint::parse(endpoint);
    if (!where)
        return QStringLiteral("not [ADDRESS:]PORT");
    if (!listen(where->first, where->second))
        return errorString();
    return {};
}

QString RotctlServer::errorString() const {
    return m_server->errorString();
}

quint16 RotctlServer::port() const {
    return m_server->serverPort();
}

void RotctlServer::acceptClients() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (m_clients.size() >= maxClients && !makeRoom()) {
            socket->write(Rotctl::reply(Command{}, Rotctl::Rejected));
            socket->disconnectFromHost();
            continue;
        }
        // Replies are small and awaited: no waiting to fill a segment.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // What a client has not read yet waits here, where it is counted and bounded,
        // more than in the system's buffers.
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 16 * 1024);
        Client client;
        client.lastLine = m_clock();
        client.replyDescriptor = ::fcntl(int(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
        m_clients.insert(socket, client);
        reportCounters();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readClient(socket); });
        connect(socket, &QAbstractSocket::errorOccurred, this,
                [this, socket](QAbstractSocket::SocketError error) {
                    if (error == QAbstractSocket::RemoteHostClosedError)
                        finishClient(socket);
                });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
        connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
    }
}

bool RotctlServer::makeRoom() {
    const milliseconds idleSince = m_clock() - idleLimit;
    QTcpSocket* idlest = nullptr;
    milliseconds idlestLine{};
    for (auto it = m_clients.cbegin(); it != m_clients.cend(); ++it) {
        if (it->lastLine <= idleSince && (!idlest || it->lastLine < idlestLine)) {
            idlest = it.key();
            idlestLine = it->lastLine;
        }
    }
    if (!idlest)
        return false;
    forget(idlest);
    idlest->disconnectFromHost();
    return true;
}

void RotctlServer::forget(QTcpSocket* socket) {
    const auto it = m_clients.constFind(socket);
    if (it == m_clients.cend())
        return;
    if (it->replyDescriptor >= 0)
        ::close(it->replyDescriptor);
    m_clients.erase(it);
    reportCounters();
}

void RotctlServer::reportCounters() {
    emit countersChanged({int(m_clients.size()), m_handled, m_ignored, m_lastIgnored});
}

QByteArray RotctlServer::runLines(Client& client, bool last, bool& quit) {
    QByteArray replies;
    quit = false;
    while (!quit) {
        qsizetype end = lineEnd(client.pending);
        if (end < 0) {
            if (client.pending.size() > maxLineBytes && !client.skippingLongLine) {
                replies += Rotctl::reply(Command{}, Rotctl::InvalidArgument);
                client.skippingLongLine = true;
            }
            if (client.skippingLongLine)
                client.pending.clear();
            if (!last || client.pending.isEmpty())
                break;
            end = client.pending.size(); // the client has said all it will
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
        const QList<Command> commands = Rotctl::parseLine(line);
        if (!commands.isEmpty())
            client.lastLine = m_clock();
        for (const Command& command : commands) {
            if (command.verb == Verb::Quit) {
                quit = true;
                break;
            }
            replies += execute(command);
        }
    }
    return replies;
}

void RotctlServer::finishClient(QTcpSocket* socket) {
    const auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    it->pending += socket->readAll();
    bool quit = false;
    const QByteArray replies = runLines(*it, true, quit);
    // Replies still waiting in the socket are lost with it; a later one alone would
    // answer the wrong command.
    if (!replies.isEmpty() && it->replyDescriptor >= 0 && socket->bytesToWrite() == 0)
        (void)::send(it->replyDescriptor, replies.constData(), size_t(replies.size()),
                     MSG_NOSIGNAL | MSG_DONTWAIT);
    forget(socket);
}

void RotctlServer::readClient(QTcpSocket* socket) {
    auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    it->pending += socket->readAll();
    bool quit = false;
    const QByteArray replies = runLines(*it, false, quit);
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
    if (c.verb == Verb::Unknown || c.malformed) {
        ++m_ignored;
        m_lastIgnored = printableText(QString::fromUtf8(c.args.join(' ').left(80)));
    } else {
        ++m_handled;
    }
    reportCounters();
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
        case RotatorSession::AimResult::OutOfRange:
            return reply(c, InvalidArgument); // as a backend answers a position beyond its limits
        case RotatorSession::AimResult::PortClosed:
            return reply(c, IoError);
        case RotatorSession::AimResult::Refused:
            return reply(c, Rejected); // the port is open but takes no more for now
        default:
            return reply(c, InvalidArgument);
        }
    case Verb::GetPos: {
        // A closed port's heading is stale, the antenna may have turned since; a silent
        // controller's too, and a time-out is what a backend says of it.
        if (!open)
            return reply(c, IoError);
        if (!s.link().answering())
            return reply(c, TimedOut);
        // The controller's heading is geographic once the offset is taken off; on a
        // rotator with a range of its own, in its units, as its backend would say.
        const double az = !s.range().isFullCircle() && s.position()
                              ? *s.position() - numericValue(s.offset())
                              : Geodesy::normalizedDegrees(s.bearing());
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
        // The controller knows no park position: it is the operator's, in AZIVEX.INI.
        switch (s.park()) {
        case RotatorSession::AimResult::Sent:
            return reply(c, Ok);
        case RotatorSession::AimResult::NoTarget:
            return reply(c, NotAvailable);
        case RotatorSession::AimResult::PortClosed:
            return reply(c, IoError);
        case RotatorSession::AimResult::Refused:
            return reply(c, Rejected);
        default:
            return reply(c, InvalidArgument);
        }
    case Verb::GetInfo: {
        const QByteArray info = "AZIVEX rotator controller on " +
                                s.link().portName().toUtf8() + ' ' +
                                s.link().lineSettings().toLatin1();
        return reply(c, Ok, {{info, "Info: " + info}});
    }
    case Verb::DumpState: {
        const QByteArray min = QByteArray::number(s.range().min(), 'f', 6);
        const QByteArray max = QByteArray::number(s.range().max(), 'f', 6);
        return reply(c, Ok,
                     {{"1", "rotctld Protocol Ver: 1"},
                      {"2", "Rotor Model: 2"},
                      {"min_az=" + min, "Minimum Azimuth: " + min},
                      {"max_az=" + max, "Maximum Azimuth: " + max},
                      {"min_el=0.000000", "Minimum Elevation: 0.000000"},
                      {"max_el=90.000000", "Maximum Elevation: 90.000000"},
                      {"south_zero=0", "South Zero: 0"},
                      {"rot_type=AzEl", "rot_type=AzEl"},
                      {"done", "done"}});
    }
    case Verb::DumpCaps:
        return capsReply(c, capabilities(s.range()));
    default:
        return reply(c, NotImplemented);
    }
}

QByteArray RotctlServer::capabilities(const RotationRange& range) {
    // Worded and laid out as rotctld's own dump, which CQRLOG reads for its limits;
    // the limits and the rotor type match dump_state's.
    return "Caps dump for model:\t2\n"
           "Model name:\t\tAZIVEX\n"
           "Mfg name:\t\tAZIVEX\n"
           "Backend version:\t" +
           CommandLine::version().toLatin1() +
           "\n"
           "Backend copyright:\tGPL\n"
           "Backend status:\t\tStable\n"
           "Rot type:\t\tAz-El\n"
           "Port type:\t\tNetwork link\n"
           "Min Azimuth:\t\t" +
           QByteArray::number(range.min(), 'f', 2) +
           "\n"
           "Max Azimuth:\t\t" +
           QByteArray::number(range.max(), 'f', 2) +
           "\n"
           "Min Elevation:\t\t0.00\n"
           "Max Elevation:\t\t90.00\n"
           "Can set Position:\tY\n"
           "Can get Position:\tY\n"
           "Can Stop:\t\tY\n"
           "Can Park:\t\tY\n"
           "Can Reset:\t\tN\n"
           "Can Move:\t\tY\n"
           "Can get Info:\t\tY\n"
           "Can get Status:\t\tN\n"
           "\n"
           "Overall backend warnings: 0\n";
}
