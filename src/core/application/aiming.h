// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/geography/target.h"
#include "core/session/rotatorsession.h"
#include "core/settings/inifile.h"

#include <QList>
#include <QObject>
#include <optional>

class CountryTable;
class SettingsStore;

// Aiming at what the operator knows: the station bearings are worked from, typed
// targets (degrees, locators, calls, coordinates), the presets and the park azimuth,
// as [station] and [aim] of AZIVEX.INI set them. Every way of steering that aims at
// a target (the window, its dialog, the web page) goes through it.
class Aiming : public QObject {
    Q_OBJECT
  public:
    static constexpr int presetCount = 8;
    struct Keys {
        static constexpr IniKey stationLocator{QLatin1StringView("station"),
                                               QLatin1StringView("locator")};
        static constexpr IniKey stationLatitude{QLatin1StringView("station"),
                                                QLatin1StringView("latitude")};
        static constexpr IniKey stationLongitude{QLatin1StringView("station"),
                                                 QLatin1StringView("longitude")};
        static constexpr IniKey park{QLatin1StringView("aim"), QLatin1StringView("park")};
        // preset1 to preset8: "NAME|TARGET".
        static IniKey preset(int n);
    };
    // Where bearings are computed from: the station as AZIVEX.INI sets it, else the
    // standard pictures' centre.
    struct Station {
        GeoPoint point;
        bool set = false;
        QString shown; // "PM95vq", "48.10, 11.60"; empty while unset
    };
    struct Preset {
        QString name;
        QString target;
    };
    // A typed target as looked up from the station: what it was taken as, and its
    // bearings where it has any.
    struct LookUp {
        Target target;
        std::optional<TargetBearings> bearings;
    };

    Aiming(SettingsStore& store, RotatorSession& session, QObject* parent = nullptr);

    // Reads [station] and [aim] anew where they changed.
    void applySettings();

    Station station() const { return m_station; }
    // A locator (4 to 10 characters) or "LATITUDE, LONGITUDE"; empty unsets it. False
    // (nothing changed) when the text is neither, or it could not be saved.
    bool setStation(const QString& text);
    // The presets that name a target, in their order.
    QList<Preset> presets() const;
    std::optional<double> parkAzimuth() const { return m_session.parkAzimuth(); }

    // The country file, read at the first look-up: cty.dat in the working folder,
    // else the one the system has.
    CountryTable& countries() { return *m_countries; }
    // While the country file is read, a text that may be a call is taken as
    // Target::Kind::CountriesLoading, and countries() says when it is read.
    LookUp lookUp(const QString& text);
    // The place last looked up, while it has bearings from the station.
    std::optional<TargetBearings> lastPlace() const { return m_lastPlace; }

    // Aims the short or the long path at a typed target, as a click aims (offset
    // added); NoTarget for a text that is nothing known.
    RotatorSession::AimResult aimAtTarget(const QString& text, bool longPath);
    // The number'th listed preset (from 1); NoTarget when there is none.
    RotatorSession::AimResult aimAtPreset(int number);
    RotatorSession::AimResult park() { return m_session.park(); }

  signals:
    // The station, the park azimuth or the presets changed.
    void settingsChanged();
    void lastPlaceChanged();
    void statusWanted(const QString& text);

  private:
    QString appliedText() const;

    SettingsStore& m_store;
    RotatorSession& m_session;
    CountryTable* m_countries;
    Station m_station;
    QString m_applied;
    std::optional<TargetBearings> m_lastPlace;
};
