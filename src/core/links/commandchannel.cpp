// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/commandchannel.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#endif


CommandChannel::CommandChannel(QObject* parent) : QObject(parent), m_port(new QSerialPort(this)) {
    connect(m_port, &QSerialPort::readyRead, this, &CommandChannel::readArrived);
    connect(m_port, &QSerialPort::errorOccurred, this, &CommandChannel::errorOccurred);
}

CommandChannel::~CommandChannel() {
    // No signal of the port may reach a half-destroyed link.
    m_port->disconnect(this);
    m_port->close();
#ifndef Q_OS_WIN
    if (m_socket >= 0)
        ::close(m_socket);
#endif
}

#ifndef Q_OS_WIN
int CommandChannel::handle() const {
    return m_socket >= 0 ? m_socket : m_port->handle();
}
#endif

bool CommandChannel::isNetworkAddress(const QString& device) {
    // A path starts with a slash (or names a COM port); HOST:PORT ends in a port number.
    if (device.startsWith(u'/') || device.startsWith(u'\\'))
        return false;
    const qsizetype colon = device.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    bool ok = false;
    const int port = device.mid(colon + 1).toInt(&ok);
    return ok && port > 0 && port <= 65535;
}

bool CommandChannel::setLine(const LineSettings& s) {
    // A serial server keeps its own line settings.
    return m_socket >= 0 || apply(s);
}

bool CommandChannel::apply(const LineSettings& s) {
    bool ok = m_port->setBaudRate(s.baudRate);
    ok = m_port->setDataBits(s.dataBits) && ok;
    ok = m_port->setParity(s.parity) && ok;
    ok = m_port->setStopBits(s.stopBits) && ok;
    ok = m_port->setFlowControl(QSerialPort::NoFlowControl) && ok;
#ifndef Q_OS_WIN
    if (ok && m_port->isOpen())
        ok = lineMatches(m_port->handle(), s);
#endif
    return ok;
}

bool CommandChannel::isOpen() const {
    return m_socket >= 0 || m_port->isOpen();
}

bool CommandChannel::open(const QString& path, const LineSettings& line, const QString& lineText,
                          QString* error) {
    if (isOpen())
        return false;
    const auto refuse = [error](const QString& reason) {
        *error = reason;
        return false;
    };
    if (isNetworkAddress(path))
        return openNetwork(path, error);
#ifdef Q_OS_WIN
    const QString target = path;
#else
    // Open the device itself rather than the link, so the lock file names the device
    // whichever link led to it.
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return refuse(QStringLiteral("no such device: %1").arg(path));
#endif
    m_port->setPortName(target);
    apply(line);
    m_opening = true;
    const bool opened = m_port->open(QIODevice::ReadWrite);
    m_opening = false;
    // open() sets the line without checking what the device made of it; applying it
    // to the open port checks, so a line the device cannot carry fails the open
    // instead of passing for a working one.
    if (!opened) {
        const QSerialPort::SerialPortError portError = m_port->error();
        const QString said = m_port->errorString();
        closePort(false);
        switch (portError) {
        case QSerialPort::PermissionError:
#ifndef Q_OS_WIN
            // Qt says the same when another program holds the device's lock.
            if (::access(QFile::encodeName(target).constData(), R_OK | W_OK) == 0)
                return refuse(
                    QStringLiteral("busy: %1 is in use by another program").arg(target));
#endif
            return refuse(QStringLiteral("permission denied: %1 (is your user in the group "
                                             "dialout? sudo adduser $USER dialout, then log in "
                                             "again)")
                                  .arg(target));
        case QSerialPort::DeviceNotFoundError:
            return refuse(QStringLiteral("no such device: %1").arg(target));
        case QSerialPort::OpenError:
            return refuse(QStringLiteral("busy: %1 is in use by another program").arg(target));
        default:
            return refuse(QStringLiteral("%1: %2").arg(target, said));
        }
    }
    if (!apply(line)) {
        closePort(false);
        return refuse(
            QStringLiteral("%1 cannot carry the line settings %2").arg(target, lineText));
    }
    m_port->clearError();
    setUpOpened();
    return isOpen();
}

bool CommandChannel::openNetwork(const QString& address, QString* error) {
#ifdef Q_OS_WIN
    *error = QStringLiteral("%1: controllers across the network are not supported here").arg(address);
    return false;
#else
    const auto refuse = [error, &address](const QString& why) {
        *error = QStringLiteral("%1: %2").arg(address, why);
        return false;
    };
    const qsizetype colon = address.lastIndexOf(u':');
    QString host = address.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = ::getaddrinfo(QFile::encodeName(host).constData(),
                                     address.mid(colon + 1).toLatin1().constData(), &hints, &found);
    if (lookup != 0)
        return refuse(lookup == EAI_NONAME ? QStringLiteral("no such host")
                                           : QString::fromLocal8Bit(::gai_strerror(lookup)));
    // Each address in turn, with a bounded wait each: the event loop is held while
    // connecting, so an unreachable host must not hold it for the system's minutes.
    int fd = -1;
    int lastError = 0;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            lastError = errno;
        } else {
            pollfd p{fd, POLLOUT, 0};
            int ready;
            while ((ready = ::poll(&p, 1, kConnectMs)) < 0 && errno == EINTR) {
            }
            socklen_t size = sizeof lastError;
            if (ready == 0)
                lastError = ETIMEDOUT;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &lastError, &size) != 0)
                lastError = errno;
        }
        if (lastError != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd < 0) {
        switch (lastError) {
        case ECONNREFUSED:
            return refuse(QStringLiteral("connection refused"));
        case ETIMEDOUT:
            return refuse(QStringLiteral("no answer within %1 s").arg(kConnectMs / 1000));
        default:
            return refuse(QString::fromLocal8Bit(std::strerror(lastError)).toLower());
        }
    }
    // Commands are a few bytes each and wanted at once.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_socket = fd;
    m_readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &CommandChannel::readSocket);
    setUpOpened();
    return isOpen();
#endif
}

void CommandChannel::setUpOpened() {
    ++m_generation;
#ifndef Q_OS_WIN
    const int fd = handle();
    // Writes never wait: a full device answers EAGAIN and the queue holds back.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &CommandChannel::pump);
#endif
    emit openChanged(true);
    if (m_fragmentLeft) {
        // A line end first, so the controller discards the cut-off command as a
        // line of its own rather than reading it in front of the next one.
        m_fragmentLeft = false;
        m_queue.push_back({m_lineEnd, CommandKind::Ordered});
        pump();
    }
}

void CommandChannel::close() {
    if (isOpen())
        closePort(true);
}

void CommandChannel::closePort(bool writePending) {
    ++m_generation;
    if (!isOpen())
        return;
    // A command given just before the close still goes out, if the device takes it
    // within a moment.
    if (writePending) {
        const QDeadlineTimer deadline(kCloseDrainMs);
        while (writeQueued() == WriteOutcome::DeviceFull && !deadline.hasExpired()) {
#ifndef Q_OS_WIN
            pollfd p{handle(), POLLOUT, 0};
            if (::poll(&p, 1, static_cast<int>(deadline.remainingTime())) <= 0)
                break;
#endif
        }
    }
    if (m_frontWritten > 0)
        m_fragmentLeft = true;
    m_queue.clear();
    m_frontWritten = 0;
    if (m_writable) {
        // Later, not now: this may run in the notifier's own slot.
        m_writable->setEnabled(false);
        m_writable->deleteLater();
        m_writable = nullptr;
    }
#ifndef Q_OS_WIN
    if (m_socket >= 0) {
        m_readable->setEnabled(false);
        m_readable->deleteLater();
        m_readable = nullptr;
        ::close(m_socket);
        m_socket = -1;
    }
#endif
    // Closing a device that has gone away reports errors of its own.
    m_closing = true;
    m_port->close();
    m_closing = false;
    emit openChanged(false);
}

bool CommandChannel::send(const QByteArray& bytes, CommandKind kind) {
    if (!isOpen())
        return false;
    if (bytes.isEmpty())
        return true;
    switch (kind) {
    case CommandKind::Stop: {
        dropWaiting(CommandKind::Movement);
        const auto firstWaiting = m_queue.begin() + (m_frontWritten > 0 ? 1 : 0);
        // One waiting stop does for any number; it is taken even on a full queue, as
        // a stop must never be turned away for the sake of other commands.
        if (std::find_if(firstWaiting, m_queue.end(), [](const Command& c) {
                return c.kind == CommandKind::Stop;
            }) == m_queue.end())
            m_queue.insert(firstWaiting, {bytes, kind});
        break;
    }
    case CommandKind::Movement:
        dropWaiting(CommandKind::Movement);
        [[fallthrough]];
    case CommandKind::Ordered:
        if (m_queue.size() >= queueCapacity)
            return false;
        m_queue.push_back({bytes, kind});
        break;
    }
    // On the line at once rather than after whatever the event loop does next (a
    // repaint of the map, say).
    return pump();
}

void CommandChannel::dropWaiting(CommandKind kind) {
    const auto firstWaiting = m_queue.begin() + (m_frontWritten > 0 ? 1 : 0);
    m_queue.erase(std::remove_if(firstWaiting, m_queue.end(),
                                 [kind](const Command& c) { return c.kind == kind; }),
                  m_queue.end());
}

bool CommandChannel::pump() {
    if (writeQueued() != WriteOutcome::DeviceGone)
        return true;
    closeForLoss();
    return false;
}

CommandChannel::WriteOutcome CommandChannel::writeQueued() {
    while (!m_queue.empty()) {
        const QByteArray& front = m_queue.front().bytes;
        const qint64 n =
            writeToDevice(front.constData() + m_frontWritten, front.size() - m_frontWritten);
        if (n < 0)
            return WriteOutcome::DeviceGone;
        m_frontWritten += n;
        if (m_frontWritten < front.size()) {
            // The rest of this command goes first once the device has room.
            if (m_writable)
                m_writable->setEnabled(true);
            return WriteOutcome::DeviceFull;
        }
        m_queue.pop_front();
        m_frontWritten = 0;
    }
    if (m_writable)
        m_writable->setEnabled(false);
    return WriteOutcome::Done;
}

qint64 CommandChannel::writeToDevice(const char* data, qint64 size) {
#ifdef Q_OS_WIN
    // QSerialPort buffers without bound here and writes in the background.
    const qint64 n = m_port->write(data, size);
    m_port->flush();
    return n;
#else
    // Written here rather than through QSerialPort, which hands the device any part
    // of its unbounded buffer (cutting commands apart) and reports a full device
    // (EAGAIN) as the same ResourceError as a vanished one.
    for (;;) {
        // A socket whose peer has gone answers EPIPE rather than raising SIGPIPE.
        const ssize_t n = m_socket >= 0
                              ? ::send(m_socket, data, static_cast<size_t>(size), MSG_NOSIGNAL)
                              : ::write(m_port->handle(), data, static_cast<size_t>(size));
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1; // EIO, ENXIO, EPIPE, ...: hung up, unplugged, connection gone
    }
#endif
}

void CommandChannel::readArrived() {
    emit received(m_port->readAll());
}

void CommandChannel::readSocket() {
#ifndef Q_OS_WIN
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (n > 0) {
            emit received(QByteArray(buffer, n));
            // The link may have closed the channel on what it received.
            if (m_socket < 0)
                return;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // 0: the peer closed the connection; below: it broke.
        closeForLoss();
        return;
    }
#endif
}

void CommandChannel::errorOccurred(QSerialPort::SerialPortError error) {
    // A device that has gone (unplugged, peer hung up) shows as a resource error or,
    // for a hung-up terminal, as a read that returns nothing; either repeats without
    // end while the descriptor stays open, so the port is closed at the first one.
    // QSerialPort gives a busy device (EAGAIN) the same resource error, so the
    // terminal itself is asked whether it has been hung up.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (m_closing || m_opening || !m_port->isOpen())
        return;
    if (!deviceGone()) {
        m_port->clearError();
        return;
    }
    closeForLoss();
}

bool CommandChannel::deviceGone() const {
#ifdef Q_OS_WIN
    return true;
#else
    // A hung-up terminal (unplugged adapter, closed far end) polls as hung up or in
    // error at once; a merely full or empty one does not.
    pollfd p{m_port->handle(), POLLIN | POLLOUT, 0};
    return ::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#endif
}

void CommandChannel::closeForLoss() {
    closePort(false);
    // Told from the event loop, as the error may have come from inside a call on this
    // link (a write to the vanished device); not told if the port has been opened
    // again by then.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == m_generation)
                emit lost();
        },
        Qt::QueuedConnection);
}
