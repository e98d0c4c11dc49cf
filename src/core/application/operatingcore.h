// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/settings/inifile.h"
#include "core/links/linksetup.h"
#include "core/geography/countrytable.h"
#include "core/links/reconnector.h"
#include "core/geography/target.h"
#include "core/application/wsjtxfollower.h"
#include "core/session/rotatorsession.h"
#include "core/settings/settings.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QTimer>


// What the program is beneath its window and its servers: the settings (AZIVEX.DAT
// and AZIVEX.INI), the start-up sequence, the registration rules and the rotator
// session. It shows nothing itself: messages, status texts and the settings to show
// go out as signals, so a window, a test or nothing at all may take them.
class OperatingCore : public QObject {
    Q_OBJECT
  public:
    enum class Page { Operating, Settings };
    // The keys of AZIVEX.INI; a new section is a line here and its accessors.
    struct Keys {
        static constexpr IniKey rotctldListen{QLatin1StringView("rotctld"),
                                              QLatin1StringView("listen")};
        // The datagram listeners: "ADDRESS:PORT" each, off while empty.
        static constexpr IniKey n1mmListen{QLatin1StringView("n1mm"), QLatin1StringView("listen")};
        static constexpr IniKey n1mmRotor{QLatin1StringView("n1mm"), QLatin1StringView("rotor")};
        static constexpr IniKey n1mmReport{QLatin1StringView("n1mm"), QLatin1StringView("report")};
        static constexpr IniKey pstRotatorListen{QLatin1StringView("pstrotator"),
                                                 QLatin1StringView("listen")};
        static constexpr IniKey linkReconnect{QLatin1StringView("link"),
                                              QLatin1StringView("reconnect")};
        // Which controller is on the line and how it is reached (see LinkSetup).
        static constexpr IniKey linkProtocol{QLatin1StringView("link"),
                                             QLatin1StringView("protocol")};
        static constexpr IniKey linkDevice{QLatin1StringView("link"), QLatin1StringView("device")};
        static constexpr IniKey linkHamlibModel{QLatin1StringView("link"),
                                                QLatin1StringView("hamlib_model")};
        static constexpr IniKey linkPoll{QLatin1StringView("link"), QLatin1StringView("poll")};
        static constexpr IniKey linkRange{QLatin1StringView("link"), QLatin1StringView("range")};
        static constexpr IniKey linkTimeout{QLatin1StringView("link"),
                                            QLatin1StringView("timeout")};
        static constexpr IniKey stationLocator{QLatin1StringView("station"),
                                               QLatin1StringView("locator")};
        static constexpr IniKey stationLatitude{QLatin1StringView("station"),
                                                QLatin1StringView("latitude")};
        static constexpr IniKey stationLongitude{QLatin1StringView("station"),
                                                 QLatin1StringView("longitude")};
        static constexpr IniKey aimPark{QLatin1StringView("aim"), QLatin1StringView("park")};
        // Where pictures 4 and 5 drawn from the window are centred: "LATITUDE, LONGITUDE".
        static constexpr IniKey mapsCentre{QLatin1StringView("maps"), QLatin1StringView("centre")};
        // The window's language: "ja", "en" or "auto" (the environment's).
        static constexpr IniKey uiLanguage{QLatin1StringView("ui"), QLatin1StringView("language")};
        // Where WSJT-X status datagrams are received ("ADDRESS:PORT", empty: off), and
        // whether the antenna follows the station being worked.
        static constexpr IniKey wsjtxListen = WsjtxFollower::listenKey;
        static constexpr IniKey wsjtxFollow = WsjtxFollower::followKey;
        // preset1 to preset8: "NAME|TARGET".
        static IniKey aimPreset(int n);
    };
    static constexpr int presetCount = 8;
    // The programs heard over datagrams.
    enum class Listener { N1mm, PstRotator };
    static constexpr Listener listeners[] = {Listener::N1mm, Listener::PstRotator};
    static IniKey listenKey(Listener listener);
    static QString listenerName(Listener listener); // "N1MM", "PstRotator"

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
    static inline const QString iniFileName = QStringLiteral("AZIVEX.INI");
    // The settings a first start writes, as the settings tab's boxes show them.
    static Settings defaults();

    explicit OperatingCore(QObject* parent = nullptr);

    RotatorSession& session() { return *m_session; }
    // The settings as read at start and as last registered.
    const Settings& settings() const { return m_settings; }
    IniFile& ini() { return m_ini; }
    const IniFile& ini() const { return m_ini; }
    WsjtxFollower& wsjtx() { return *m_wsjtx; }

    // Where the standard map pictures are installed; a first start puts those the
    // working folder lacks there, so the operator has a map from the first run.
    void setStandardPicturesFolder(const QString& folder) { m_standardPictures = folder; }
    const QString& standardPicturesFolder() const { return m_standardPictures; }

    // The start-up sequence: reads the settings, writes them anew where they are
    // missing or of the old format, and opens the port. False when it has ended the
    // program (after its message): the window is not to be shown.
    bool start();

    // Registers what the operator entered: closes the port, writes the settings,
    // opens the port with them and says in the status line whether they were saved.
    // An empty offset is registered, and shown, as "0".
    void registerSettings(const Settings& entered);
    // The map picture shown now, registered with the next registration.
    void setPictureNumber(int index) { m_settings.pictureNo = QString::number(index); }

    // rotctld's address: "[ADDRESS:]PORT", empty when off. The command line's choice
    // holds for this run and is not saved.
    QString rotctldListen() const;
    void overrideRotctldListen(const QString& endpoint);
    // Saves the choice made in the window (and ends any command-line override).
    bool setRotctldListen(const QString& endpoint);
    // Has the server try its address again, as after the port it wanted was freed.
    void serveRotctldAgain() { emit rotctldListenChanged(rotctldListen()); }
    // Why the rotctld server does not serve at rotctldListen(), or nothing; the server
    // says so, and the status line shows a failure.
    QString rotctldError() const { return m_rotctldError; }
    void setRotctldError(const QString& error);
    // A datagram listener's "[ADDRESS:]PORT" as AZIVEX.INI has it, empty when off.
    QString listenAddress(Listener listener) const { return m_ini.value(listenKey(listener), {}); }
    bool setListenAddress(Listener listener, const QString& endpoint);
    // Why the listener does not listen at its address, or nothing; told as rotctld's is.
    QString listenerError(Listener listener) const;
    void setListenerError(Listener listener, const QString& error);
    // Datagrams the listener did not understand: how many, and the last one.
    struct Ignored {
        int count = 0;
        QString last;
    };
    Ignored ignoredDatagrams(Listener listener) const { return m_ignored.value(listener); }
    void noteIgnoredDatagrams(Listener listener, int count, const QString& last);
    QString n1mmRotor() const { return m_ini.value(Keys::n1mmRotor, {}); }
    QString n1mmReport() const { return m_ini.value(Keys::n1mmReport, {}); }
    Station station() const { return m_station; }
    // A locator (4 to 10 characters) or "LATITUDE, LONGITUDE"; empty unsets it. False
    // (nothing changed) when the text is neither, or it could not be saved.
    bool setStation(const QString& text);

    QList<Preset> presets() const;
    // The country file, read at the first look-up: cty.dat in the working folder,
    // else the one the system has.
    CountryTable& countries() { return *m_countries; }
    // While the country file is read, a text that may be a call is taken as
    // Target::Kind::CountriesLoading, and countries() says when it is read.
    LookUp lookUp(const QString& text);
    // The place last looked up, while it has bearings from the station.
    std::optional<TargetBearings> lastPlace() const { return m_lastPlace; }
    // Where picture index (0 to 4) is centred, where that is known: the standard
    // pictures on the standard centre, pictures 4 and 5 where the window drew them.
    std::optional<GeoPoint> pictureCentre(int index) const;
    // Records that pictures 4 and 5 are now centred on point.
    bool setStationPicturesCentre(const GeoPoint& point);
    // Aims the short or the long path at a typed target, as a click aims (offset
    // added); NoTarget for a text that is nothing known.
    RotatorSession::AimResult aimAtTarget(const QString& text, bool longPath);

    // The controller and how it is reached, as AZIVEX.INI sets it (values that
    // cannot be used left at their defaults).
    const LinkSetup& linkSetup() const { return m_linkSetup; }
    // Saves the keys of [link] that differ and puts the new link in place, open if
    // the old one was. False when a key could not be saved.
    bool setLinkSetup(const LinkSetup& setup);

    bool reconnectEnabled() const { return m_reconnector->isEnabled(); }
    bool setReconnectEnabled(bool on);

    // AZIVEX.INI is read again this often while the program runs, so a hand edit
    // takes effect without a restart.
    static constexpr int iniReloadMs = 1000;
    // Reads AZIVEX.INI again and applies whatever was changed in it.
    void reloadIni();
    // A value of AZIVEX.INI that cannot be used ("[aim] park"): said on standard
    // error, and in the status line once the window is up, once for each value.
    void refuse(const QString& key, const QString& value, const QString& why);

  signals:
    // A message the operator must acknowledge (a box with the program's title).
    void messageRequested(const QString& text);
    void statusChanged(const QString& text);
    // The settings the settings tab shows, after start and after a registration.
    void settingsShown(const Settings& settings);
    // The start-up sequence shows the operating tab, or on a first start the
    // settings tab, where the port is to be set.
    void pageWanted(OperatingCore::Page page);
    // The start-up sequence has run to its end: the window may show the switch
    // panel and the picture the settings name.
    void started();
    void rotctldListenChanged(const QString& endpoint);
    // The station, the park azimuth or the presets changed.
    void aimSettingsChanged();
    void lastPlaceChanged();
    // The address or the server's state changed.
    void rotctldStateChanged();
    void listenAddressChanged(OperatingCore::Listener listener, const QString& endpoint);
    // An address, an error or the count of datagrams not understood changed.
    void listenerStateChanged();
    // [n1mm] rotor or report changed.
    void n1mmSettingsChanged();
    // [link] changed: another controller, device or range.
    void linkSetupChanged();

  private:
    bool writeSettings(const QString& dataLine);
    void loadIni();
    bool saveIni(IniKey key, const QString& value);
    void loadAimSettings();
    // What the program runs with of AZIVEX.INI, so a new reading of the file changes
    // only what the file changed.
    struct Applied {
        QString rotctld, n1mm, pstRotator, n1mmRotor, n1mmReport, wsjtxListen, aim, link;
        bool reconnect = false;
        bool operator==(const Applied&) const = default;
    };
    Applied appliedNow() const;
    // Takes every change of AZIVEX.INI since the settings were last applied.
    void applyIni();
    void showRefusals();
    // Reads [link], saying so of values that cannot be used.
    LinkSetup readLinkSetup();
    // Puts a link for the setup in place (reopened when the old one was open).
    void useLinkSetup(const LinkSetup& setup);
    // Says so of each flag that is neither true nor false.
    void checkFlags();

    RotatorSession* m_session;
    Reconnector* m_reconnector;
    CountryTable* m_countries;
    WsjtxFollower* m_wsjtx;
    Settings m_settings;
    QString m_settingsFileName;
    IniFile m_ini;
    std::optional<QString> m_rotctldOverride;
    QString m_standardPictures;
    QString m_rotctldError;
    QString m_lastOpenError;
    QMap<Listener, QString> m_listenerErrors;
    QMap<Listener, Ignored> m_ignored;
    Station m_station;
    LinkSetup m_linkSetup;
    Applied m_applied;
    QTimer m_iniReload;
    QStringList m_refusals;
    QSet<QString> m_refusalsShown;
    bool m_started = false;
    std::optional<TargetBearings> m_lastPlace;
};
