// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The five settings fields as they stand in the data line of AZIVEX.DAT, kept as
// texts and converted only where they are used.
struct Settings {
    QString portNo;
    QString lineSettings;
    QString offset;
    QString pictureNo;
    QString controlPosition;
};

// The data line's fields; an absent field means "keep the value it already had"
// (a separator missing or out of order).
struct SettingsFields {
    std::optional<QString> portNo;
    std::optional<QString> lineSettings;
    std::optional<QString> offset;
    std::optional<QString> pictureNo;
    std::optional<QString> controlPosition;
};

namespace SettingsCodec {

inline const QString fileName = QStringLiteral("AZIVEX.DAT");
// A line every file the program writes holds (see fileText): the mark of a
// settings file, where a link must lead to one.
inline constexpr QByteArrayView marker = "\r\nReference\r\n";
inline const QString referenceLine = QStringLiteral(
    "3(port No),9600,N,8,1(Baudot etc.):0(Offset)-0(Picture No)/0(Control position)");

// A data line is in the current format when it holds a "/" anywhere.
bool isCurrentFormat(const QString& line);

// All five fields of a current-format line.
SettingsFields extract(const QString& line);
// Port number and line settings only, as taken over from an old-format line.
SettingsFields extractLinkFields(const QString& line);

// The data lines of the three writers.
QString defaultDataLine(const QString& port, const QString& line, const QString& offset);
QString recreatedDataLine(const QString& port, const QString& line);
QString registeredDataLine(const Settings& settings);

// The whole file: the data line, an empty line, "Reference" and the reference
// line, each ended by CR LF. Operator text goes out as UTF-8.
QByteArray fileText(const QString& dataLine);

// Bytes of a first line as text: UTF-8 when valid, else Latin-1, so a file from an
// 8-bit code page still yields its ASCII fields.
QString decodeLine(const QByteArray& bytes);

} // namespace SettingsCodec
