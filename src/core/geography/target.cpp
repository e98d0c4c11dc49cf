// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/geography/target.h"

#include "core/geography/locator.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

Target Target::parse(QStringView input, const CountryFile* countries, bool countriesLoading) {
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
    static const QRegularExpression callLike(QStringLiteral(R"(^[A-Za-z0-9/]+$)"));
    if (countriesLoading && callLike.match(text).hasMatch()) {
        // Not a locator field yet either: "DL" is Germany once the file is read.
        target.kind = Kind::CountriesLoading;
        return target;
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
    // A NaN would reach the integers of the display and the go-to command.
    const auto onEarth = [](const GeoPoint& p) {
        return std::abs(p.lat) <= 90 && std::abs(p.lon) <= 180;
    };
    if (!place || !onEarth(*place) || !onEarth(station))
        return std::nullopt;
    const Bearings g = Geodesy::inverse(station, *place);
    return TargetBearings{g.shortPath, g.longPath, g.shortKm, g.longKm};
}

namespace {
// qRound() of a NaN or of a value beyond int is undefined: such a figure shows as dashes.
bool roundable(double value) {
    return std::abs(value) < 1e9;
}
} // namespace

QString TargetBearings::shown() const {
    const auto degrees = [](double value) {
        return roundable(value)
                   ? QString::number(qRound(value) % 360).rightJustified(3, u'0') + u'°'
                   : QStringLiteral("---°");
    };
    const auto kilometres = [](double km) {
        return (roundable(km) ? QLocale(QLocale::English).toString(qRound(km))
                              : QStringLiteral("---")) +
               QStringLiteral(" km");
    };
    QString line = QStringLiteral("SP %1  LP %2").arg(degrees(shortPath), degrees(longPath));
    if (shortKm && longKm)
        line += QStringLiteral("  %1 / %2").arg(kilometres(*shortKm), kilometres(*longKm));
    return line;
}
