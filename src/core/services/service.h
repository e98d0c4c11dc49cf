// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/services/servicecounters.h"
#include "core/settings/inifile.h"

#include <QObject>
#include <QString>
#include <optional>

// One service other programs reach (rotctld, the datagram listeners, the web page):
// where it is to serve, whether it does, why not, and what it has done. The model
// sets the address; a server serves it and reports back; the window shows it.
class Service : public QObject {
    Q_OBJECT
  public:
    enum class Kind { Rotctld, N1mm, PstRotator, Wsjtx, Web };

    Service(Kind kind, IniKey listenKey, const QString& name, QObject* parent = nullptr);

    Kind kind() const { return m_kind; }
    IniKey listenKey() const { return m_listenKey; }
    // "rotctld", "N1MM", "PstRotator", "WSJT-X", "web"
    QString name() const { return m_name; }
    // "[ADDRESS:]PORT" it is to serve at, empty when off: the command line's choice
    // for this run, else AZIVEX.INI's.
    QString address() const { return m_override.value_or(m_saved); }
    QString savedAddress() const { return m_saved; }
    // Why the server does not serve at address(), or nothing.
    QString error() const { return m_error; }
    ServiceCounters counters() const { return m_counters; }
    // Where a person opens it (the web page's address with its token), or nothing.
    QString url() const { return m_url; }

    void setSavedAddress(const QString& endpoint);
    void setOverride(std::optional<QString> endpoint);
    // Has the server try its address again, as after the port it wanted was freed.
    void serveAgain() { emit addressChanged(address()); }
    void setError(const QString& error);
    void setCounters(const ServiceCounters& counters);
    void setUrl(const QString& url);

  signals:
    // The server is to serve here from now on (empty: nowhere).
    void addressChanged(const QString& endpoint);
    // The address, the error, the counters or the url changed.
    void stateChanged();
    void statusWanted(const QString& text);

  private:
    void changeAddress(const std::function<void()>& change);

    Kind m_kind;
    IniKey m_listenKey;
    QString m_name;
    QString m_saved;
    std::optional<QString> m_override;
    QString m_error;
    ServiceCounters m_counters;
    QString m_url;
};
