// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings/settingsstore.h"

#include "core/diagnostics/logging.h"

#include <utility>

SettingsStore::SettingsStore(QObject* parent) : QObject(parent) {
    m_reload.setInterval(reloadMs);
    connect(&m_reload, &QTimer::timeout, this, &SettingsStore::reload);
}

void SettingsStore::load(const QString& path) {
    m_ini = IniFile(path);
    if (m_ini.load() == IniFile::State::Unreadable)
        qCWarning(lcSettings).noquote()
            << m_ini.path() << "not read, and will not be overwritten:" << m_ini.reason();
    emit loaded();
}

void SettingsStore::reload() {
    if (m_ini.reload())
        emit changed();
}

bool SettingsStore::save(IniKey key, const QString& value) {
    reload();
    QString error;
    if (m_ini.set(key, value, &error))
        return true;
    qCWarning(lcSettings).noquote() << m_ini.path() << "not written:" << error;
    emit statusWanted(tr("%1 に保存できませんでした").arg(m_ini.path()));
    return false;
}

void SettingsStore::refuse(IniKey key, const QString& value, const QString& why) {
    refuse(QStringLiteral("[%1] %2").arg(key.section, key.name), value, why);
}

void SettingsStore::refuse(const QString& key, const QString& value, const QString& why) {
    qCWarning(lcSettings).noquote()
        << QStringLiteral("%1 %2: %3: %4").arg(m_ini.path(), key, why, value);
    m_refusals << tr("%1 の %2 は使えません: %3").arg(m_ini.path(), key, value);
    showRefusals();
}

void SettingsStore::checkFlag(IniKey key) {
    const QString text = value(key);
    // Not a flag when what it reads depends on the fallback.
    if (!text.isEmpty() && flag(key, true) != flag(key, false))
        refuse(key, text, QStringLiteral("neither true nor false"));
}

void SettingsStore::startShowing() {
    m_showing = true;
    showRefusals();
}

void SettingsStore::showRefusals() {
    if (!m_showing)
        return;
    for (const QString& text : std::exchange(m_refusals, {}))
        if (!m_refusalsShown.contains(text)) {
            m_refusalsShown.insert(text);
            emit statusWanted(text);
        }
}
