// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/geography/geodesy.h"

#include <QString>
#include <QStringView>
#include <optional>

// Maidenhead locators: pairs of field (A-R), square (0-9), subsquare (a-x),
// extended square (0-9) and a fifth pair (a-x), longitude first in each pair.
namespace Locator {
// The centre of the square a locator names; 2 to 10 characters, an even count, any
// letter case, at least `shortest` characters. Nothing for anything else.
std::optional<GeoPoint> centre(QStringView text, int shortest = 2);

// The locator of `length` characters (2, 4, 6, 8 or 10; others are brought to the
// nearest of those) of the square holding `point`, written as usual: field letters
// upper case, the later letter pairs lower case ("JN58td"). Longitude is wrapped into
// -180..180 and latitude kept inside -90..90, the north pole in the top row.
QString fromPoint(const GeoPoint& point, int length = 6);

// The locator as usually written, or an empty text when it is not one.
QString canonical(QStringView text);
} // namespace Locator
