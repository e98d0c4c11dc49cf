// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/application/wsjtxfollower.h"

#include "core/application/aiming.h"
#include "core/geography/countrytable.h"
#include "core/settings/settingsstore.h"
#include "core/geography/locator.h"

#include <utility>

WsjtxFollower::WsjtxFollower(SettingsStore& store, Aiming& aiming, QObject* parent)
    : QObject(parent), m_store(store), m_aiming(aiming) {
    connect(&aiming.countries(), &CountryTable::loaded, this, &WsjtxFollower::countriesLoaded);
    connect(&aiming, &Aiming::settingsChanged, this, &WsjtxFollower::stationChanged);
}

void WsjtxFollower::countriesLoaded() {
    if (!m_partner.countriesLoading)
        return;
    locatePartner();
    emit partnerChanged();
    // Turned to late rather than not at all: the operator is still working that call.
    if (std::exchange(m_aimWhenLoaded, false) && follow() && m_partner.bearings)
        emit aimWanted(m_partner.bearings->shortPath);
}

void WsjtxFollower::stationChanged() {
    locatePartner();
    emit partnerChanged();
}

bool WsjtxFollower::follow() const {
    return m_store.flag(followKey, false);
}

bool WsjtxFollower::setFollow(bool on) {
    return on == follow() ||
           m_store.save(followKey, on ? QStringLiteral("true") : QStringLiteral("false"));
}

void WsjtxFollower::takeStatus(const QString& dxCall, const QString& dxGrid,
                               const QString& deGrid) {
    const QString call = dxCall.trimmed().toUpper();
    const QString grid = dxGrid.trimmed();
    const bool newPartner = call != m_partner.call || grid != m_partner.grid;
    const bool newStation = deGrid != m_deGrid && !m_aiming.station().set;
    m_deGrid = deGrid;
    if (newPartner || newStation) {
        m_partner.call = call;
        m_partner.grid = grid;
        locatePartner();
        emit partnerChanged();
        if (newPartner)
            m_aimWhenLoaded = m_partner.countriesLoading;
        // A station moved by the DE grid alone is no new partner to turn to.
        if (newPartner && follow() && m_partner.bearings)
            emit aimWanted(m_partner.bearings->shortPath);
    }
}

void WsjtxFollower::locatePartner() {
    Target target;
    m_partner.countriesLoading = false;
    // The grid where WSJT-X has one; a grid it could not have sent is no place.
    if (const auto centre = Locator::centre(m_partner.grid, 4)) {
        target.kind = Target::Kind::Locator;
        target.place = centre;
        target.shown = Locator::canonical(m_partner.grid);
    } else if (!m_partner.call.isEmpty()) {
        // Only as a call: a DX call that happened to read as degrees or a locator
        // would aim somewhere unrelated.
        CountryTable& countries = m_aiming.countries();
        countries.load();
        m_partner.countriesLoading = countries.isLoading();
        // While it is read, located once it is (countriesLoaded()).
        const CountryFile* file = countries.file();
        if (const auto country = file ? file->lookup(m_partner.call) : std::nullopt) {
            target.kind = Target::Kind::Country;
            target.place = country->place;
            target.shown = country->name + QStringLiteral(" (") + country->primaryPrefix + u')';
        }
    }
    const std::optional<GeoPoint> deCentre = Locator::centre(m_deGrid, 4);
    m_partner.fromDeGrid = !m_aiming.station().set && deCentre;
    m_partner.shown = target.place ? target.shown : QString();
    m_partner.bearings = target.bearings(m_partner.fromDeGrid ? *deCentre : m_aiming.station().point);
}
