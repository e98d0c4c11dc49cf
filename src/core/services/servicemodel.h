// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/services/service.h"
#include "core/settings/inifile.h"

#include <QList>
#include <QObject>

class SettingsStore;

// Every service other programs reach, as AZIVEX.INI sets them: their addresses, and
// the settings some of them have beyond one (N1MM's rotor and where its headings go,
// the web page's token and certificate). Hand edits take effect as saved ones do.
class ServiceModel : public QObject {
    Q_OBJECT
  public:
    struct Keys {
        static constexpr IniKey rotctldListen{QLatin1StringView("rotctld"),
                                              QLatin1StringView("listen")};
        static constexpr IniKey n1mmListen{QLatin1StringView("n1mm"), QLatin1StringView("listen")};
        static constexpr IniKey n1mmRotor{QLatin1StringView("n1mm"), QLatin1StringView("rotor")};
        static constexpr IniKey n1mmReport{QLatin1StringView("n1mm"), QLatin1StringView("report")};
        static constexpr IniKey pstRotatorListen{QLatin1StringView("pstrotator"),
                                                 QLatin1StringView("listen")};
        static constexpr IniKey wsjtxListen{QLatin1StringView("wsjtx"),
                                            QLatin1StringView("listen")};
        static constexpr IniKey webListen{QLatin1StringView("web"), QLatin1StringView("listen")};
        // 128 random bits as hex, written when the web page is first switched on.
        static constexpr IniKey webToken{QLatin1StringView("web"), QLatin1StringView("token")};
        // PEM files: HTTPS instead of HTTP.
        static constexpr IniKey webCertificate{QLatin1StringView("web"),
                                               QLatin1StringView("certificate")};
        static constexpr IniKey webKey{QLatin1StringView("web"), QLatin1StringView("key")};
    };

    explicit ServiceModel(SettingsStore& store, QObject* parent = nullptr);

    // In the order the window lists them.
    const QList<Service*>& services() const { return m_services; }
    Service& service(Service::Kind kind) const;

    // Saves the address chosen in the window (empty: off); a command line's choice
    // for this run ends. The web page gets its token when first switched on.
    bool setAddress(Service::Kind kind, const QString& endpoint);
    // The command line's address for this run, not saved.
    void overrideAddress(Service::Kind kind, const QString& endpoint);

    QString n1mmRotor() const;
    QString n1mmReport() const;
    QString webToken() const;
    // Saves a new token: every browser holding the old one has to be given it again.
    bool newWebToken();
    QString webCertificate() const;
    QString webKey() const;

    // Reads the keys again and applies what changed.
    void applySettings();

  signals:
    void n1mmSettingsChanged();
    // The token, certificate or key changed.
    void webSettingsChanged();
    void statusWanted(const QString& text);

  private:
    QStringList applied(std::initializer_list<IniKey> keys) const;
    bool ensureWebToken();
    bool writeWebToken();

    SettingsStore& m_store;
    QList<Service*> m_services;
    QStringList m_n1mmApplied;
    QStringList m_webApplied;
};
