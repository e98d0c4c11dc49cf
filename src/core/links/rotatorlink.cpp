// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/rotatorlink.h"

#include "core/links/serialports.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

std::optional<LineSettings> parseLineSettings(const QString& text) {
    const QStringList fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;
    const QString baud = fields[0].trimmed();
    const QString parity = fields[1].trimmed();
    const QString data = fields[2].trimmed();
    const QString stop = fields[3].trimmed();

    LineSettings s;
    if (baud.isEmpty())
        return std::nullopt;
    for (QChar c : baud) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    s.baudRate = baud.toInt(&ok);
    if (!ok || s.baudRate <= 0)
        return std::nullopt;

    if (parity.size() != 1)
        return std::nullopt;
    switch (parity.at(0).toUpper().unicode()) {
    case u'N':
        s.parity = QSerialPort::NoParity;
        break;
    case u'E':
        s.parity = QSerialPort::EvenParity;
        break;
    case u'O':
        s.parity = QSerialPort::OddParity;
        break;
    case u'M':
        s.parity = QSerialPort::MarkParity;
        break;
    case u'S':
        s.parity = QSerialPort::SpaceParity;
        break;
    default:
        return std::nullopt;
    }

    if (data == u"5")
        s.dataBits = QSerialPort::Data5;
    else if (data == u"6")
        s.dataBits = QSerialPort::Data6;
    else if (data == u"7")
        s.dataBits = QSerialPort::Data7;
    else if (data == u"8")
        s.dataBits = QSerialPort::Data8;
    else
        return std::nullopt;

    if (stop == u"1") {
        s.stopBits = QSerialPort::OneStop;
    } else if (stop == u"2") {
        s.stopBits = QSerialPort::TwoStop;
    } else if (stop == u"1.5") {
        if (s.dataBits != QSerialPort::Data5)
            return std::nullopt;
#ifdef Q_OS_WIN
        s.stopBits = QSerialPort::OneAndHalfStop;
#else
        // termios has no 1.5; its "two stop bits" gives 1.5 on a UART with 5 data bits.
        s.stopBits = QSerialPort::TwoStop;
#endif
    } else {
        return std::nullopt;
    }
    return s;
}

namespace {

#ifndef Q_OS_WIN
// Whether the terminal's line really is what was asked for. QSerialPort checks some
// of it, but not all (5 data bits, odd parity on a terminal that ignores parity), and
// a pseudo-terminal silently keeps 8 data bits without parity whatever it is told.
bool lineMatches(int fd, const LineSettings& s) {
    termios t{};
    if (fd < 0 || ::tcgetattr(fd, &t) != 0)
        return false;
    tcflag_t size = CS8;
    switch (s.dataBits) {
    case QSerialPort::Data5:
        size = CS5;
        break;
    case QSerialPort::Data6:
        size = CS6;
        break;
    case QSerialPort::Data7:
        size = CS7;
        break;
    case QSerialPort::Data8:
        size = CS8;
        break;
    }
#ifdef CMSPAR
    constexpr tcflag_t stick = CMSPAR;
#else
    constexpr tcflag_t stick = 0;
#endif
    tcflag_t parity = 0;
    switch (s.parity) {
    case QSerialPort::NoParity:
        parity = 0;
        break;
    case QSerialPort::EvenParity:
        parity = PARENB;
        break;
    case QSerialPort::OddParity:
        parity = PARENB | PARODD;
        break;
    case QSerialPort::MarkParity:
        parity = PARENB | PARODD | stick;
        break;
    case QSerialPort::SpaceParity:
        parity = PARENB | stick;
        break;
    }
    const tcflag_t parityMask = parity ? (PARENB | PARODD | stick) : PARENB;
    return (t.c_cflag & CSIZE) == size && (t.c_cflag & parityMask) == parity &&
           bool(t.c_cflag & CSTOPB) == (s.stopBits == QSerialPort::TwoStop);
}
#endif

} // namespace

RotatorLink::RotatorLink(QObject* parent) : QObject(parent), m_port(new QSerialPort(this)) {
    connect(m_port, &QSerialPort::readyRead, this, &RotatorLink::readArrived);
    connect(m_port, &QSerialPort::errorOccurred, this, &RotatorLink::errorOccurred);
}

RotatorLink::~RotatorLink() {
    // No signal of the port may reach a half-destroyed link.
    m_port->disconnect(this);
    m_port->close();
}

bool RotatorLink::setPortNumber(int n) {
    if (n < 1 || n > kHighestComNumber || m_port->isOpen())
        return false;
    m_portNumber = n;
    return true;
}

bool RotatorLink::setLineSettings(const QString& text) {
    const std::optional<LineSettings> parsed = parseLineSettings(text);
    if (!parsed)
        return false;
    if (isOpen() && !apply(*parsed)) {
        // The device refused part of it: put the line back as it was.
        apply(m_settings);
        return false;
    }
    m_settings = *parsed;
    m_settingsText = text;
    return true;
}

bool RotatorLink::apply(const LineSettings& s) {
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

bool RotatorLink::isOpen() const {
    return m_port->isOpen();
}

bool RotatorLink::open() {
    if (isOpen())
        return false;
    const QString path =
        comDevicePath(m_portNumber, m_workingDir.isEmpty() ? QDir::currentPath() : m_workingDir);
    if (path.isEmpty())
        return refuseOpen(QStringLiteral("COM%1 names no device").arg(m_portNumber));
#ifdef Q_OS_WIN
    const QString target = path;
#else
    // Open the device itself rather than the link, so the lock file names the device
    // whichever link led to it.
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return refuseOpen(QStringLiteral("no such device: %1").arg(path));
#endif
    m_port->setPortName(target);
    apply(m_settings);
    m_opening = true;
    const bool opened = m_port->open(QIODevice::ReadWrite);
    m_opening = false;
    // open() sets the line without checking what the device made of it; applying it
    // to the open port checks, so a line the device cannot carry fails the open
    // instead of passing for a working one.
    if (!opened) {
        const QSerialPort::SerialPortError error = m_port->error();
        const QString said = m_port->errorString();
        closePort(false);
        switch (error) {
        case QSerialPort::PermissionError:
#ifndef Q_OS_WIN
            // Qt says the same when another program holds the device's lock.
            if (::access(QFile::encodeName(target).constData(), R_OK | W_OK) == 0)
                return refuseOpen(
                    QStringLiteral("busy: %1 is in use by another program").arg(target));
#endif
            return refuseOpen(QStringLiteral("permission denied: %1 (is your user in the group "
                                             "dialout? sudo adduser $USER dialout, then log in "
                                             "again)")
                                  .arg(target));
        case QSerialPort::DeviceNotFoundError:
            return refuseOpen(QStringLiteral("no such device: %1").arg(target));
        case QSerialPort::OpenError:
            return refuseOpen(QStringLiteral("busy: %1 is in use by another program").arg(target));
        default:
            return refuseOpen(QStringLiteral("%1: %2").arg(target, said));
        }
    }
    if (!apply(m_settings)) {
        closePort(false);
        return refuseOpen(
            QStringLiteral("%1 cannot carry the line settings %2").arg(target, m_settingsText));
    }
    m_openError.clear();
    m_port->clearError();
    ++m_generation;
#ifndef Q_OS_WIN
    // Writes never wait: a full device answers EAGAIN and the queue holds back.
    const int fd = m_port->handle();
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &RotatorLink::pump);
#endif
    emit openChanged(true);
    if (m_fragmentLeft) {
        // A line end first, so the controller discards the cut-off command as a
        // line of its own rather than reading it in front of the next one.
        m_fragmentLeft = false;
        m_queue.push_back({QByteArrayLiteral("\r\n"), CommandKind::Ordered});
        pump();
    }
    return isOpen();
}

bool RotatorLink::refuseOpen(const QString& reason) {
    m_openError = reason;
    emit openRefused(reason);
    return false;
}

void RotatorLink::close() {
    if (isOpen())
        closePort(true);
}

void RotatorLink::closePort(bool writePending) {
    ++m_generation;
    if (!m_port->isOpen())
        return;
    // A command given just before the close still goes out, if the device takes it
    // within a moment.
    if (writePending) {
        const QDeadlineTimer deadline(kCloseDrainMs);
        while (writeQueued() == WriteOutcome::DeviceFull && !deadline.hasExpired()) {
#ifndef Q_OS_WIN
            pollfd p{m_port->handle(), POLLOUT, 0};
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
    // Closing a device that has gone away reports errors of its own.
    m_closing = true;
    m_port->close();
    m_closing = false;
    emit openChanged(false);
}

bool RotatorLink::send(const QByteArray& bytes, CommandKind kind) {
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

void RotatorLink::dropWaiting(CommandKind kind) {
    const auto firstWaiting = m_queue.begin() + (m_frontWritten > 0 ? 1 : 0);
    m_queue.erase(std::remove_if(firstWaiting, m_queue.end(),
                                 [kind](const Command& c) { return c.kind == kind; }),
                  m_queue.end());
}

bool RotatorLink::pump() {
    if (writeQueued() != WriteOutcome::DeviceGone)
        return true;
    closeForLoss();
    return false;
}

RotatorLink::WriteOutcome RotatorLink::writeQueued() {
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

qint64 RotatorLink::writeToDevice(const char* data, qint64 size) {
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
        const ssize_t n = ::write(m_port->handle(), data, static_cast<size_t>(size));
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1; // EIO, ENXIO, ...: hung up or unplugged
    }
#endif
}

void RotatorLink::readArrived() {
    const QByteArray bytes = m_port->readAll();
    for (const QString& azimuth : m_parser.feed(bytes))
        emit azimuthReceived(azimuth);
}

void RotatorLink::errorOccurred(QSerialPort::SerialPortError error) {
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

bool RotatorLink::deviceGone() const {
#ifdef Q_OS_WIN
    return true;
#else
    // A hung-up terminal (unplugged adapter, closed far end) polls as hung up or in
    // error at once; a merely full or empty one does not.
    pollfd p{m_port->handle(), POLLIN | POLLOUT, 0};
    return ::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#endif
}

void RotatorLink::closeForLoss() {
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
