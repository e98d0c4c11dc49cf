// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/application/aiming.h"

#include "core/geography/countrytable.h"
#include "core/geography/locator.h"
#include "core/settings/settingsstore.h"

#include <QDir>
#include <array>
#include <cmath>

namespace {

std::optional<Aiming::Station> stationFrom(const QString& locator, const QString& latitude,
                                           const QString& longitude) {
    if (!locator.isEmpty()) {
        const std::optional<GeoPoint> centre = Locator::centre(locator, 4);
        if (!centre)
            return std::nullopt;
        return Aiming::Station{*centre, true, Locator::canonical(locator)};
    }
    if (latitude.isEmpty() && longitude.isEmpty())
        return Aiming::Station{Geodesy::standardCentre(), false, {}};
    bool latOk = false, lonOk = false;
    const double lat = latitude.toDouble(&latOk);
    const double lon = longitude.toDouble(&lonOk);
    if (!latOk || !lonOk || !(std::abs(lat) <= 90 && std::abs(lon) <= 180)) // NaN too
        return std::nullopt;
    return Aiming::Station{{lat, lon}, true, latitude + QStringLiteral(", ") + longitude};
}

} // namespace

IniKey Aiming::Keys::preset(int n) {
    static const std::array<QByteArray, presetCount> names = [] {
        std::array<QByteArray, presetCount> out;
        for (int i = 0; i < presetCount; ++i)
            out[std::size_t(i)] = "preset" + QByteArray::number(i + 1);
        return out;
    }();
    const QByteArray& name = names.at(std::size_t(n - 1));
    return {QLatin1StringView("aim"), QLatin1StringView(name.constData(), name.size())};
}

Aiming::Aiming(SettingsStore& store, RotatorSession& session, QObject* parent)
    : QObject(parent), m_store(store), m_session(session),
      m_countries(new CountryTable(
          [] { return CountryFile::defaultPath(QDir::currentPath()); }, this)),
      m_station{Geodesy::standardCentre(), false, {}} {
    connect(m_countries, &CountryTable::statusWanted, this, &Aiming::statusWanted);
    connect(&store, &SettingsStore::changed, this, [this] {
        if (appliedText() != m_applied)
            applySettings();
    });
}

QString Aiming::appliedText() const {
    QStringList aim{m_store.value(Keys::stationLocator), m_store.value(Keys::stationLatitude),
                    m_store.value(Keys::stationLongitude), m_store.value(Keys::park)};
    for (int n = 1; n <= presetCount; ++n)
        aim << m_store.value(Keys::preset(n));
    return aim.join(u'\n');
}

void Aiming::applySettings() {
    m_applied = appliedText();
    const QString locator = m_store.value(Keys::stationLocator);
    const QString latitude = m_store.value(Keys::stationLatitude);
    const QString longitude = m_store.value(Keys::stationLongitude);
    const std::optional<Station> station = stationFrom(locator, latitude, longitude);
    if (!station)
        m_store.refuse(QStringLiteral("[station]"),
                       QStringList{locator, latitude, longitude}.join(u' ').simplified(),
                       QStringLiteral("neither a locator nor a latitude and longitude; bearings "
                                      "are from the standard pictures' centre"));
    m_station = station.value_or(Station{Geodesy::standardCentre(), false, {}});
    const QString park = m_store.value(Keys::park);
    bool parkOk = false;
    const double parkAzimuth = park.toDouble(&parkOk);
    const bool parkUsable = parkOk && parkAzimuth >= 0 && parkAzimuth <= 360;
    if (!park.isEmpty() && !parkUsable)
        m_store.refuse(Keys::park, park, QStringLiteral("not an azimuth from 0 to 360"));
    m_session.setParkAzimuth(parkUsable ? std::optional<double>(parkAzimuth) : std::nullopt);
    emit settingsChanged();
}

bool Aiming::setStation(const QString& text) {
    const QString trimmed = text.trimmed();
    QString locator, latitude, longitude;
    if (trimmed.contains(u',')) {
        latitude = trimmed.section(u',', 0, 0).trimmed();
        longitude = trimmed.section(u',', 1).trimmed();
    } else {
        locator = trimmed;
    }
    if (!stationFrom(locator, latitude, longitude) || (trimmed.contains(u',') && latitude.isEmpty()))
        return false;
    const bool saved = m_store.save(Keys::stationLocator, locator) &&
                       m_store.save(Keys::stationLatitude, latitude) &&
                       m_store.save(Keys::stationLongitude, longitude);
    applySettings();
    return saved;
}

QList<Aiming::Preset> Aiming::presets() const {
    QList<Preset> out;
    for (int n = 1; n <= presetCount; ++n) {
        const QString value = m_store.value(Keys::preset(n));
        const qsizetype bar = value.indexOf(u'|');
        if (bar <= 0 || value.sliced(bar + 1).trimmed().isEmpty())
            continue;
        out.append({value.first(bar).trimmed(), value.sliced(bar + 1).trimmed()});
    }
    return out;
}

Aiming::LookUp Aiming::lookUp(const QString& text) {
    m_countries->load();
    LookUp out{Target::parse(text, m_countries->file(), m_countries->isLoading()), std::nullopt};
    out.bearings = out.target.bearings(m_station.point);
    if (out.target.place && out.bearings && out.bearings->shortKm)
        m_lastPlace = out.bearings;
    else
        m_lastPlace.reset();
    emit lastPlaceChanged();
    return out;
}

RotatorSession::AimResult Aiming::aimAtTarget(const QString& text, bool longPath) {
    const LookUp found = lookUp(text);
    if (!found.bearings)
        return RotatorSession::AimResult::NoTarget;
    return m_session.aimAt(longPath ? found.bearings->longPath : found.bearings->shortPath);
}

RotatorSession::AimResult Aiming::aimAtPreset(int number) {
    const QList<Preset> listed = presets();
    if (number < 1 || number > listed.size())
        return RotatorSession::AimResult::NoTarget;
    return aimAtTarget(listed[number - 1].target, false);
}
