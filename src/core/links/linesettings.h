// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

// A parsed line settings text "baud,parity,data bits,stop bits".
struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Reads "9600,N,8,1": baud a positive whole number, parity N, E, O, M or S (either
// case), data bits 5 to 8, stop bits 1, 1.5 or 2; blanks around a field are allowed.
// A UART makes 1.5 stop bits only with 5 data bits, so 1.5 is refused with more.
std::optional<LineSettings> parseLineSettings(const QString& text);

#ifndef Q_OS_WIN
// Whether the terminal's line really is what was asked for. QSerialPort checks some
// of it, but not all (5 data bits, odd parity on a terminal that ignores parity), and
// a pseudo-terminal silently keeps 8 data bits without parity whatever it is told.
bool lineMatches(int fd, const LineSettings& s);
#endif
