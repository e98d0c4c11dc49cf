// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/wsjtxfollower.h"

#include "core/locator.h"
#include "core/operatingcore.h"

#include <cstdio>

WsjtxFollower::WsjtxFollower(OperatingCore& core) : QObject(&core), m_core(core) {
    connect(&core, &OperatingCore::aimSettingsChanged, this, [this] {
        locatePartner();
        emit partnerChanged();
    });
}

QString WsjtxFollower::listen() const {
    return m_core.ini().value(OperatingCore::Keys::wsjtxListen, {});
}

bool WsjtxFollower::follow() const {
    return m_core.ini().flag(OperatingCore::Keys::wsjtxFollow, false);
}

namespace {
bool save(OperatingCore& core, IniKey key, const QString& value) {
    QString error;
    if (core.ini().set(key, value, &error))
        return true;
    std::fprintf(stderr, "azivex: %s not written: %s\n", qPrintable(core.ini().path()),
                 qPrintable(error));
    emit core.statusChanged(OperatingCore::tr("%1 に保存できませんでした").arg(core.ini().path()));
    return false;
}
} // namespace

bool WsjtxFollower::setListen(const QString& endpoint) {
    const bool saved =
        endpoint == listen() || save(m_core, OperatingCore::Keys::wsjtxListen, endpoint);
    // Even unchanged: OK after freeing a port that was taken tries it again.
    emit listenChanged(listen());
    return saved;
}

bool WsjtxFollower::setFollow(bool on) {
    return on == follow() || save(m_core, OperatingCore::Keys::wsjtxFollow,
                                  on ? QStringLiteral("true") : QStringLiteral("false"));
}

void WsjtxFollower::setError(const QString& error) {
    m_error = error;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "azivex: WSJT-X listener not started on %s: %s\n",
                     qPrintable(listen()), qPrintable(error));
        emit m_core.statusChanged(tr("WSJT-X の受信ポートを開けません"));
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
    const bool newStation = deGrid != m_deGrid && !m_core.station().set;
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
        if (const auto country = m_core.countries().lookup(m_partner.call)) {
            target.kind = Target::Kind::Country;
            target.place = country->place;
            target.shown = country->name + QStringLiteral(" (") + country->primaryPrefix + u')';
        }
    }
    const OperatingCore::Station station = m_core.station();
    const std::optional<GeoPoint> deCentre = Locator::centre(m_deGrid, 4);
    m_partner.fromDeGrid = !station.set && deCentre;
    m_partner.shown = target.place ? target.shown : QString();
    m_partner.bearings = target.bearings(m_partner.fromDeGrid ? *deCentre : station.point);
}
