// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/settings/inifile.h"
#include "core/geography/target.h"

#include <QObject>
#include <QString>
#include <optional>

class Aiming;
class SettingsStore;

// The station WSJT-X or JTDX is working, as their status datagrams tell it: its call
// and grid, where it lies from the station, and with following on, an aim at its
// short path whenever the call or grid changes. The [wsjtx] section of AZIVEX.INI
// says whether the antenna follows. It knows no network: a listener hands it each
// status.
class WsjtxFollower : public QObject {
    Q_OBJECT
  public:
    // The partner as last reported; nothing known while call and grid are empty.
    struct Partner {
        QString call;
        QString grid;
        QString shown; // the grid, else the call's country; empty when neither is known
        std::optional<TargetBearings> bearings;
        bool fromDeGrid = false; // worked from the status's DE grid: [station] is unset
        bool countriesLoading = false; // only a call, and the country file is being read
    };

    static constexpr IniKey followKey{QLatin1StringView("wsjtx"), QLatin1StringView("follow")};

    WsjtxFollower(SettingsStore& store, Aiming& aiming, QObject* parent = nullptr);
    // The station changed: the partner's bearings are worked anew.
    void stationChanged();

    bool follow() const;
    bool setFollow(bool on);

    // A status as WSJT-X sent it.
    void takeStatus(const QString& dxCall, const QString& dxGrid, const QString& deGrid);

    Partner partner() const { return m_partner; }

  signals:
    void partnerChanged();
    // Following: the short path to a new partner, a direction as a click gives.
    void aimWanted(double degrees);

  private:
    void locatePartner();
    void countriesLoaded();

    SettingsStore& m_store;
    Aiming& m_aiming;
    Partner m_partner;
    QString m_deGrid;
    // Following, a new partner only the country file can locate came while it was read.
    bool m_aimWhenLoaded = false;
};
