// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/settings/inifile.h"
#include "core/geography/target.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class CountryTable;

// The station WSJT-X or JTDX is working, as their status datagrams tell it: its call
// and grid, where it lies from the station, and with following on, an aim at its
// short path whenever the call or grid changes. The [wsjtx] section of AZIVEX.INI
// says where the datagrams are received and whether the antenna follows. It knows no
// network: a listener hands it each status.
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

    static constexpr IniKey listenKey{QLatin1StringView("wsjtx"), QLatin1StringView("listen")};
    static constexpr IniKey followKey{QLatin1StringView("wsjtx"), QLatin1StringView("follow")};
    // What it takes from the program beneath it, which owns it.
    struct Context {
        const IniFile* ini;
        // Saves a key; false (and said where the operator sees it) when it failed.
        std::function<bool(IniKey, const QString&)> save;
        // Where bearings are worked from, and whether AZIVEX.INI names that station.
        std::function<GeoPoint()> station;
        std::function<bool()> stationSet;
        // Read at the first call without a grid; a call is located once it is read.
        CountryTable* countries;
        // A text for the status line.
        std::function<void(const QString&)> status;
    };
    explicit WsjtxFollower(Context context, QObject* parent = nullptr);
    // The station changed: the partner's bearings are worked anew.
    void stationChanged();

    // "ADDRESS:PORT", empty when off. Setting it has the listener open it anew.
    QString listen() const;
    bool setListen(const QString& endpoint);
    bool follow() const;
    bool setFollow(bool on);
    // Why the listener does not receive at listen(), or nothing.
    QString error() const { return m_error; }
    void setError(const QString& error);

    // A status as WSJT-X sent it.
    void takeStatus(const QString& dxCall, const QString& dxGrid, const QString& deGrid);
    // A datagram that was no message this program reads.
    void countIgnored(const QString& why);
    int statusCount() const { return m_statusCount; }
    int ignoredCount() const { return m_ignoredCount; }
    QString lastIgnored() const { return m_lastIgnored; }

    Partner partner() const { return m_partner; }

  signals:
    void listenChanged(const QString& endpoint);
    // The address, the listener's state or the counts changed.
    void stateChanged();
    void partnerChanged();
    // Following: the short path to a new partner, a direction as a click gives.
    void aimWanted(double degrees);

  private:
    void locatePartner();
    void countriesLoaded();

    Context m_context;
    Partner m_partner;
    QString m_deGrid;
    // Following, a new partner only the country file can locate came while it was read.
    bool m_aimWhenLoaded = false;
    QString m_error;
    int m_statusCount = 0;
    int m_ignoredCount = 0;
    QString m_lastIgnored;
};
