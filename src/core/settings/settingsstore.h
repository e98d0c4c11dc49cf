// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/settings/inifile.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

// AZIVEX.INI as every part of the program shares it: read again every second so a
// hand edit takes effect without a restart, saved one key at a time on the file as it
// is on disk, and each value that cannot be used said once. A part reads its own keys
// and, at changed(), applies what differs from what it applied last.
class SettingsStore : public QObject {
    Q_OBJECT
  public:
    static constexpr int reloadMs = 1000;

    explicit SettingsStore(QObject* parent = nullptr);

    // Reads the file; one that cannot be read is never overwritten.
    void load(const QString& path);
    const IniFile& ini() const { return m_ini; }
    QString path() const { return m_ini.path(); }
    QString value(IniKey key) const { return m_ini.value(key, {}); }
    bool flag(IniKey key, bool fallback) const { return m_ini.flag(key, fallback); }

    // Reads the file again; changed() when a hand edit changed it.
    void reload();
    // Takes the hand edits made meanwhile, then saves the key; false (said in the
    // status line) when it could not be saved. The caller applies its own change.
    bool save(IniKey key, const QString& value);
    // A value that cannot be used: said on standard error, and in the status line
    // once the window is up, once for each value.
    void refuse(IniKey key, const QString& value, const QString& why);
    void refuse(const QString& key, const QString& value, const QString& why);
    // Refuses a flag that is neither true nor false.
    void checkFlag(IniKey key);
    // From now on refusals reach the status line; those made before go there now.
    void startShowing();
    // Reads the file again every reloadMs from now on.
    void startWatching() { m_reload.start(); }

  signals:
    // Read for the first time (load()), or changed by a hand edit (reload()).
    void loaded();
    void changed();
    void statusWanted(const QString& text);

  private:
    void showRefusals();

    IniFile m_ini;
    QTimer m_reload;
    QStringList m_refusals;
    QSet<QString> m_refusalsShown;
    bool m_showing = false;
};
