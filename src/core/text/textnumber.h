// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Numbers held as text: the settings and the azimuth labels keep their exact
// characters, and arithmetic reads them only where it needs a value.

// The leading number of a text: blanks, tabs and line feeds are ignored; an
// optional sign, digits, a decimal point and an exponent are read up to the first
// character that cannot continue the number; "&H" and "&O" prefixes read
// hexadecimal and octal. A text without a number gives 0.
double numericValue(const QString& text);

// Rounds to the nearest whole number, halves to the even neighbour, as a signed
// 16-bit integer; nothing when the result does not fit (or the value is not finite).
std::optional<qint16> roundToInt16(double value);

// A whole number typed by the operator (port number): the text must be a number
// and nothing else, blanks around it allowed; it is rounded with roundToInt16.
std::optional<qint16> wholeNumberOf(const QString& text);

// True when every character is one of "0123456789"; the empty text gives true.
bool isAllDigits(QStringView text);
