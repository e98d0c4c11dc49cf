// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/wsjtxfollower.h"

#include "core/countryfile.h"
#include "core/locator.h"

#include <cstdio>

WsjtxFollower::WsjtxFollower(Context context, QObject* parent)
    : QObject(parent), m_context(std::move(context)) {}

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
        // A station moved by the DE grid alone is no new partner to turn to.
        if (newPartner && follow() && m_partner.bearings)
            emit aimWanted(m_partner.bearings->shortPath);
    }
    emit stateChanged();
}

void WsjtxFollower::locatePartner() {
    Target target;
    // The grid where WSJT-X has one; a grid it could not have sent is no place.
    if (const auto centre = Locator::centre(m_partner.grid, 4)) {
        target.kind = Target::Kind::Locator;
        target.place = centre;
        target.shown = Locator::canonical(m_partner.grid);
    } else if (!m_partner.call.isEmpty()) {
        // Only as a call: a DX call that happened to read as degrees or a locator
        // would aim somewhere unrelated.
        if (const auto country = m_context.countries().lookup(m_partner.call)) {
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
