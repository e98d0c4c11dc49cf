// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/rotatorlink.h"

#include "core/serialports.h"

#include <QDir>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <termios.h>
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
        return false;
#ifdef Q_OS_WIN
    const QString target = path;
#else
    // Open the device itself rather than the link, so the lock file names the device
    // whichever link led to it.
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return false;
#endif
    m_port->setPortName(target);
    apply(m_settings);
    m_opening = true;
    const bool opened = m_port->open(QIODevice::ReadWrite);
    m_opening = false;
    // open() sets the line without checking what the device made of it; applying it
    // to the open port checks, so a line the device cannot carry fails the open
    // instead of passing for a working one.
    if (!opened || !apply(m_settings)) {
        closePort(false);
        return false;
    }
    m_port->clearError();
    ++m_generation;
    emit openChanged(true);
    return true;
}

void RotatorLink::close() {
    if (isOpen())
        closePort(true);
}

void RotatorLink::closePort(bool writePending) {
    ++m_generation;
    if (!m_port->isOpen())
        return;
    // A command given just before the close still goes out.
    if (writePending && m_port->bytesToWrite() > 0) {
        m_port->flush();
        if (m_port->bytesToWrite() > 0)
            m_port->waitForBytesWritten(kCloseDrainMs);
    }
    // Closing a device that has gone away reports errors of its own.
    m_closing = true;
    m_port->close();
    m_closing = false;
    emit openChanged(false);
}

bool RotatorLink::send(const QByteArray& bytes) {
    if (!isOpen())
        return false;
    if (m_port->write(bytes) != bytes.size())
        return false;
    // On the line at once rather than after whatever the event loop does next (a
    // repaint of the map, say).
    m_port->flush();
    return true;
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
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (m_closing || m_opening || !m_port->isOpen())
        return;
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
