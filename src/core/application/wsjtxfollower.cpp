// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/application/wsjtxfollower.h"

#include "core/geography/countrytable.h"
#include "core/geography/locator.h"

#include <cstdio>
#include <utility>

WsjtxFollower::WsjtxFollower(Context context, QObject* parent)
    : QObject(parent), m_context(std::move(context)) {
    connect(m_context.countries, &CountryTable::loaded, this, &WsjtxFollower::countriesLoaded);
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

QString WsjtxFollower::listen() const {
    return m_context.ini->value(listenKey, {});
}

bool WsjtxFollower::follow() const {
    return m_context.ini->flag(followKey, false);
}

bool WsjtxFollower::setListen(const QString& endpoint) {
    const bool saved =
        endpoint == listen() || m_context.save(listenKey, endpoint);
    // Even unchanged: OK after freeing a port that was taken tries it again.
    emit listenChanged(listen());
    return saved;
}

bool WsjtxFollower::setFollow(bool on) {
    return on == follow() ||
           m_context.save(followKey, on ? QStringLiteral("true") : QStringLiteral("false"));
}

void WsjtxFollower::setError(const QString& error) {
    m_error = error;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "azivex: WSJT-X listener not started on %s: %s\n",
                     qPrintable(listen()), qPrintable(error));
        m_context.status(tr("WSJT-X の受信ポートを開けません"));
    }
    emit stateChanged();
}

void WsjtxFollower::countIgnored(const QString& why) {
    ++m_ignoredCount;
    m_lastIgnored = why;
    emit stateChanged();
}

void WsjtxFollower::takeStatus(const QString& dxCall, const QString& dxGrid,
                               const QString& deGrid) {
    ++m_statusCount;
    const QString call = dxCall.trimmed().toUpper();
    const QString grid = dxGrid.trimmed();
    const bool newPartner = call != m_partner.call || grid != m_partner.grid;
    const bool newStation = deGrid != m_deGrid && !m_context.stationSet();
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
    emit stateChanged();
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
        CountryTable& countries = *m_context.countries;
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
    m_partner.fromDeGrid = !m_context.stationSet() && deCentre;
    m_partner.shown = target.place ? target.shown : QString();
    m_partner.bearings = target.bearings(m_partner.fromDeGrid ? *deCentre : m_context.station());
}
