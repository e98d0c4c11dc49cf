// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/application/aiming.h"
#include "core/application/wsjtxfollower.h"
#include "core/links/linksetup.h"
#include "core/session/reconnector.h"
#include "core/session/rotatorsession.h"
#include "core/settings/settings.h"
#include "core/settings/settingsstore.h"

#include <QObject>


// What the program is beneath its window and its services: the settings (AZIVEX.DAT
// and AZIVEX.INI), the start-up sequence, the registration rules, the rotator
// session and the controller it is linked to, and aiming. It shows nothing itself:
// messages, status texts and the settings to show go out as signals, so a window, a
// test or nothing at all may take them.
class OperatingCore : public QObject {
    Q_OBJECT
  public:
    enum class Page { Operating, Settings };
    // Its own keys of AZIVEX.INI; the parts it holds, and the services, have theirs.
    struct Keys {
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
        // Where pictures 4 and 5 drawn from the window are centred: "LATITUDE, LONGITUDE".
        static constexpr IniKey mapsCentre{QLatin1StringView("maps"), QLatin1StringView("centre")};
        // The window's language: "ja", "en" or "auto" (the environment's).
        static constexpr IniKey uiLanguage{QLatin1StringView("ui"), QLatin1StringView("language")};
    };
    static inline const QString iniFileName = QStringLiteral("AZIVEX.INI");
    // The settings a first start writes, as the settings tab's boxes show them.
    static Settings defaults();

    explicit OperatingCore(QObject* parent = nullptr);

    RotatorSession& session() { return *m_session; }
    Aiming& aiming() { return *m_aiming; }
    WsjtxFollower& wsjtx() { return *m_wsjtx; }
    SettingsStore& store() { return *m_store; }
    // The settings as read at start and as last registered.
    const Settings& settings() const { return m_settings; }
    const IniFile& ini() const { return m_store->ini(); }

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
    // The map picture shown now (index 0 to 4), registered with the next registration.
    void setPictureNumber(int index);
    int pictureNumber() const;

    // Where picture index (0 to 4) is centred, where that is known: the standard
    // pictures on the standard centre, pictures 4 and 5 where the window drew them.
    std::optional<GeoPoint> pictureCentre(int index) const;
    // Records that pictures 4 and 5 are now centred on point.
    bool setStationPicturesCentre(const GeoPoint& point);

    // The controller and how it is reached, as AZIVEX.INI sets it (values that
    // cannot be used left at their defaults).
    const LinkSetup& linkSetup() const { return m_linkSetup; }
    // Saves the keys of [link] that differ and puts the new link in place, open if
    // the old one was. False when a key could not be saved.
    bool setLinkSetup(const LinkSetup& setup);

    bool reconnectEnabled() const { return m_reconnector->isEnabled(); }
    bool setReconnectEnabled(bool on);

    // Reads AZIVEX.INI again and applies whatever was changed in it (the store does
    // so every second by itself).
    void reloadIni();

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
    // [link] changed: another controller, device or range.
    void linkSetupChanged();
    // A map picture is shown, another or the same drawn anew.
    void pictureChanged(int index);

  private:
    bool writeSettings(const QString& dataLine);
    void loadIni();
    // [link] as the file has it now, to tell what a reading changed.
    QString linkText() const;
    void applyIni();
    // Reads [link], saying so of values that cannot be used.
    LinkSetup readLinkSetup();
    // Puts a link for the setup in place (reopened when the old one was open).
    void useLinkSetup(const LinkSetup& setup);

    SettingsStore* m_store;
    RotatorSession* m_session;
    Reconnector* m_reconnector;
    Aiming* m_aiming;
    WsjtxFollower* m_wsjtx;
    Settings m_settings;
    QString m_settingsFileName;
    QString m_standardPictures;
    QString m_lastOpenError;
    LinkSetup m_linkSetup;
    QString m_linkApplied;
    bool m_reconnectApplied = false;
};
