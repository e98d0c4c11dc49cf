// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QString>
#include <QStringList>
#include <optional>

// COM port numbers and the devices behind them. The settings carry a bare port
// number N; on Windows that is the port COMN, elsewhere a fixed table maps numbers
// to device names, and an entry "COMN" in the working directory (a symbolic link,
// e.g. to /dev/serial/by-id/..., or a device node) takes precedence over the table.

// Highest port number the settings can carry.
constexpr int kHighestComNumber = 32767;

// Device to open for COMN, or an empty text when N names no device. A COMN link
// whose target is missing still counts (the open then fails), so a pinned adapter
// that is unplugged never falls back to some other device of the table.
QString comDevicePath(int n, const QString& workingDir = QDir::currentPath());

// The table's number for a device path (/dev/ttyS0 gives 1, /dev/ttyUSB0 33,
// /dev/ttyACM0 65; COM3 or \\.\COM3 gives 3 on Windows); nothing for other devices.
std::optional<int> comNumberForDevice(const QString& systemLocation);

// "description (COMN)" for every present port that has a number, sorted by number,
// one entry per number; a COMN entry of the working directory replaces the table's
// entry of the same number.
QStringList listPresentPorts(const QString& workingDir = QDir::currentPath());

// The port number written at the end of a port list entry "... (COMN)"; nothing when
// the entry does not end that way or the number is out of range.
std::optional<int> comNumberFromEntry(const QString& entry);
