// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/target.h"

#include "core/locator.h"

#include <QRegularExpression>

Target Target::parse(QStringView input, const CountryFile* countries) {
    Target target;
    const QString text = input.trimmed().toString();
    target.shown = text;
    if (text.isEmpty())
        return target;

    static const QRegularExpression degrees(QStringLiteral(R"(^(\d{1,3}(?:\.\d+)?)\s*°?$)"));
    if (const auto m = degrees.match(text); m.hasMatch()) {
        const double value = m.captured(1).toDouble();
        if (value <= 360.0) {
            target.kind = Kind::Degrees;
            target.azimuth = value;
            target.shown = QString::number(value) + u'°';
        }
        // A number past 360 is no place or call either.
        return target;
    }

    static const QRegularExpression coordinates(
        QStringLiteral(R"(^([+-]?\d+(?:\.\d+)?)\s*(?:,\s*|\s+)([+-]?\d+(?:\.\d+)?)$)"));
    if (const auto m = coordinates.match(text); m.hasMatch()) {
        const double lat = m.captured(1).toDouble();
        const double lon = m.captured(2).toDouble();
        if (lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180) {
            target.kind = Kind::Coordinates;
            target.place = GeoPoint{lat, lon};
            target.shown = QString::number(lat) + QStringLiteral(", ") + QString::number(lon);
        }
        return target;
    }

    if (text.size() >= 4) {
        if (const auto centre = Locator::centre(text)) {
            target.kind = Kind::Locator;
            target.place = centre;
            target.shown = Locator::canonical(text);
            return target;
        }
    }
    if (countries) {
        if (const auto country = countries->lookup(text)) {
            target.kind = Kind::Country;
            target.place = country->place;
            target.shown = country->name + QStringLiteral(" (") + country->primaryPrefix + u')';
            return target;
        }
    }
    if (const auto centre = Locator::centre(text)) {
        target.kind = Kind::Locator;
        target.place = centre;
        target.shown = Locator::canonical(text);
    }
    return target;
}

std::optional<TargetBearings> Target::bearings(const GeoPoint& station) const {
    if (kind == Kind::Degrees) {
        TargetBearings b;
        b.shortPath = Geodesy::normalizedDegrees(azimuth);
        b.longPath = Geodesy::normalizedDegrees(azimuth + 180.0);
        return b;
    }
    if (!place)
        return std::nullopt;
    const Bearings g = Geodesy::inverse(station, *place);
    return TargetBearings{g.shortPath, g.longPath, g.shortKm, g.longKm};
}
