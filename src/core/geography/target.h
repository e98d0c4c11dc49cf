// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/geography/countryfile.h"
#include "core/geography/geodesy.h"

#include <QString>
#include <QStringView>
#include <optional>

// Where to point for the bearing a target gives; no distance for a bare azimuth.
struct TargetBearings {
    double shortPath = 0;
    double longPath = 180;
    std::optional<double> shortKm;
    std::optional<double> longKm;

    // "SP 022°  LP 202°  10,776 km / 29,254 km"; "---" for a figure that is no number.
    QString shown() const;
};

// What the operator's one target field was taken as. Tried in this order: degrees
// (a plain number 0 to 360, "°" allowed), coordinates (two numbers, latitude then
// longitude, north and east positive, separated by a comma or spaces), a locator
// of 4 to 10 characters, a callsign or prefix the country file knows, then a
// 2-character locator field (so "DL" is Germany, while "JN" alone is a field).
class Target {
  public:
    // CountriesLoading: the text could be a call, and the country file is still being
    // read; it is nothing yet, and asked again once the file is read.
    enum class Kind { Unknown, Degrees, Locator, Country, Coordinates, CountriesLoading };

    static Target parse(QStringView text, const CountryFile* countries,
                        bool countriesLoading = false);

    Kind kind = Kind::Unknown;
    // "123°", "JN58td", "Fed. Rep. of Germany (DL)", "-33.87, 151.21"; for an unknown
    // text, the text as typed, trimmed.
    QString shown;
    std::optional<GeoPoint> place; // all kinds but Degrees and Unknown
    double azimuth = 0;            // Degrees only: 0 <= azimuth <= 360 as typed

    // Short and long path from the station, and the distances where there is a
    // place; nothing for an unknown text, nor where either end is no place on Earth.
    std::optional<TargetBearings> bearings(const GeoPoint& station) const;
};
