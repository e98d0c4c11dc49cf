// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/datagramlistener.h"

#include "core/diagnostics/logging.h"
#include "core/text/printabletext.h"
#include "net/endpoint.h"

#include <QNetworkInterface>
#include <QUdpSocket>
#include <algorithm>
#include <bit>
#include <sys/socket.h>

DatagramListener::DatagramListener(const QString& name, QObject* parent)
    : ServiceServer(parent), m_name(name), m_socket(new QUdpSocket(this)) {
    connect(m_socket, &QUdpSocket::readyRead, this, &DatagramListener::readPending);
}

bool DatagramListener::listen(const QHostAddress& address, quint16 port) {
    close();
    const bool group = address.protocol() == QAbstractSocket::IPv4Protocol &&
                       address.isInSubnet(QHostAddress(QStringLiteral("224.0.0.0")), 4);
    // A plain address is not shared: a second program on the port would take
    // datagrams meant for us unseen, so it is reported as a failure instead. A group
    // is bound to itself, not to every address: it takes the group's datagrams and
    // no unicast sent to this machine from any network.
    const bool bound =
        group ? m_socket->bind(address, port,
                               QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint) &&
                    joinGroup(address)
              : m_socket->bind(address, port);
    if (bound) {
        // Whatever sender a datagram claims, nothing read here answers a whole network.
        const int off = 0;
        ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_BROADCAST, &off, sizeof off);
        return true;
    }
    m_error = m_socket->errorString();
    close(); // a group's port stays free when its group cannot be joined
    return false;
}

bool DatagramListener::joinGroup(const QHostAddress& group) {
    // On every interface up now that carries multicast, and on the loopback, where
    // WSJT-X on this machine sends: a multi-homed station hears the group on each of
    // its networks. The system's choice only when there is none of them.
    bool joined = false;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
        if (i.flags().testFlag(QNetworkInterface::IsUp) &&
            (i.flags() & (QNetworkInterface::CanMulticast | QNetworkInterface::IsLoopBack)))
            joined = m_socket->joinMulticastGroup(group, i) || joined;
    return joined || m_socket->joinMulticastGroup(group);
}

QString DatagramListener::serve(const QString& endpoint) {
    close();
    if (endpoint.isEmpty())
        return {};
    const auto where = Endpoint::parse(endpoint);
    if (!where)
        return QStringLiteral("not [ADDRESS:]PORT");
    if (!listen(where->first, where->second))
        return errorString();
    return {};
}

void DatagramListener::close() {
    m_socket->close();
}

quint16 DatagramListener::port() const {
    return m_socket->localPort();
}

QString DatagramListener::errorString() const {
    return m_error;
}

void DatagramListener::readPending() {
    while (m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->pendingDatagramSize();
        // One byte more than is allowed tells an over-long datagram; its rest is
        // dropped by the read.
        QByteArray datagram(qsizetype(std::clamp<qint64>(size, 0, m_maxBytes + 1)),
                            Qt::Uninitialized);
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 read =
            m_socket->readDatagram(datagram.data(), datagram.size(), &sender, &senderPort);
        if (read < 0)
            break;
        datagram.truncate(qsizetype(read));
        const Outcome outcome =
            size > m_maxBytes ? Outcome::NotUnderstood : handle(datagram, sender, senderPort);
        if (outcome == Outcome::NotUnderstood) {
            ignore(datagram, sender);
        } else if (outcome == Outcome::Handled) {
            ++m_counters.handled;
            emit countersChanged(m_counters);
        }
    }
}

void DatagramListener::ignore(const QByteArray& datagram, const QHostAddress& sender) {
    const int count = ++m_counters.ignored;
    const QString shown = printableText(QString::fromUtf8(datagram.left(80)).simplified());
    m_counters.lastIgnored = shown;
    // Logged at the first and then at every doubling, so a flood of them does not
    // flood the log.
    if (std::has_single_bit(unsigned(count)))
        qCInfo(lcServices, "%s: datagram %d not understood, from %s: %s", qPrintable(m_name),
               count, qPrintable(sender.toString()), qPrintable(shown));
    emit ignored(count, shown);
    emit countersChanged(m_counters);
}
