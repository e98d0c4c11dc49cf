// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/linesettings.h"

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

#ifndef Q_OS_WIN
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

