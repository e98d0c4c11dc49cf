#include "platform/serialmscomm.h"

#include "platform/comports.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QTimer>

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

SerialMSComm::SerialMSComm(QObject* parent) : MSComm(parent), m_port(new QSerialPort(this)) {
    connect(m_port, &QSerialPort::readyRead, this, &SerialMSComm::readArrived);
    connect(m_port, &QSerialPort::errorOccurred, this, &SerialMSComm::errorOccurred);
}

SerialMSComm::~SerialMSComm() {
    // Close before the members go, so no signal of the port reaches a half-destroyed
    // object.
    m_port->disconnect(this);
    closePort();
}

bool SerialMSComm::setCommPort(int n) {
    if (n < 1 || n > kHighestComNumber || m_port->isOpen())
        return false;
    m_commPort = n;
    return true;
}

bool SerialMSComm::setSettings(const QString& text) {
    const std::optional<LineSettings> parsed = parseLineSettings(text);
    if (!parsed)
        return false;
    if (PortOpen() && !apply(*parsed)) {
        // The device refused part of it: put the line back as it was.
        apply(m_settings);
        return false;
    }
    m_settings = *parsed;
    m_settingsText = text;
    return true;
}

bool SerialMSComm::apply(const LineSettings& s) {
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

bool SerialMSComm::PortOpen() const {
    return m_port->isOpen();
}

void SerialMSComm::closePort() {
    ++m_generation;
    if (m_port->isOpen()) {
        // Closing a device that has gone away reports errors of its own.
        m_closing = true;
        m_port->close();
        m_closing = false;
    }
    clearReceive();
}

bool SerialMSComm::setPortOpen(bool open) {
    if (!open) {
        closePort();
        return true;
    }
    if (PortOpen())
        return false;
    const QString path =
        comDevicePath(m_commPort, m_workingDir.isEmpty() ? QDir::currentPath() : m_workingDir);
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
    clearReceive();
    ++m_generation;
    m_opening = true;
    const bool opened = m_port->open(QIODevice::ReadWrite);
    m_opening = false;
    if (!opened) {
        closePort();
        return false;
    }
    // open() sets the line without checking what the device made of it; applying it
    // to the open port checks, so a line the device cannot carry fails the open
    // instead of passing for a working one.
    if (!apply(m_settings)) {
        closePort();
        return false;
    }
    m_port->clearError();
    return true;
}

bool SerialMSComm::Output(const QByteArray& bytes) {
    if (!PortOpen())
        return false;
    return m_port->write(bytes) == bytes.size();
}

void SerialMSComm::setInputLen(int n) {
    if (n >= 0)
        m_inputLen = n;
}

void SerialMSComm::setRThreshold(int n) {
    if (n >= 0)
        m_rThreshold = n;
}

QByteArray SerialMSComm::Input() {
    const qsizetype waiting = m_rx.size() - m_rxPos;
    if (waiting <= 0)
        return {};
    const qsizetype n = (m_inputLen == 0 || m_inputLen >= waiting) ? waiting : m_inputLen;
    QByteArray out(m_rx.constData() + m_rxPos, n);
    m_rxPos += n;
    if (m_rxPos == m_rx.size())
        clearReceive();
    return out;
}

void SerialMSComm::clearReceive() {
    m_rx.resize(0);
    m_rxPos = 0;
}

void SerialMSComm::readArrived() {
    if (!PortOpen())
        return;
    // Moving the unread rest to the front only when the read part is at least as
    // large keeps the copying proportional to what arrives.
    if (m_rxPos > 0 && m_rxPos >= m_rx.size() - m_rxPos) {
        m_rx.remove(0, m_rxPos);
        m_rxPos = 0;
    }
    m_rx.append(m_port->readAll());
    const qsizetype waiting = m_rx.size() - m_rxPos;
    if (waiting > kReceiveLimit)
        m_rxPos += waiting - kReceiveLimit;
    notifyReceive();
}

void SerialMSComm::notifyReceive() {
    if (m_rThreshold <= 0 || InBufferCount() < m_rThreshold || !PortOpen())
        return;
    const int before = InBufferCount();
    m_commEvent = comEvReceive;
    emit OnComm();
    // A handler that reads only part of what is waiting is told again on the next
    // pass of the event loop, as long as it keeps taking bytes; one that takes
    // nothing waits for new bytes rather than being called in a busy loop.
    if (!m_notifyQueued && PortOpen() && InBufferCount() >= m_rThreshold &&
        InBufferCount() < before) {
        m_notifyQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_notifyQueued = false;
            notifyReceive();
        });
    }
}

void SerialMSComm::errorOccurred(QSerialPort::SerialPortError error) {
    // A device that has gone (unplugged, peer hung up) shows as a resource error or,
    // for a hung-up terminal, as a read that returns nothing; either repeats without
    // end while the descriptor stays open, so the port is closed at the first one.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (m_closing || m_opening || !m_port->isOpen())
        return;
    closePort();
    // Told from the event loop, as the error may have come from inside a call on this
    // object (a setting applied to the vanished device); not told if the port has been
    // opened again by then.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == m_generation)
                emit portLost();
        },
        Qt::QueuedConnection);
}
