// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/services/service.h"

#include "core/diagnostics/logging.h"

#include <functional>

Service::Service(Kind kind, IniKey listenKey, const QString& name, QObject* parent)
    : QObject(parent), m_kind(kind), m_listenKey(listenKey), m_name(name) {}

void Service::changeAddress(const std::function<void()>& change) {
    const QString was = address();
    change();
    if (address() != was) {
        emit addressChanged(address());
        emit stateChanged();
    }
}

void Service::setSavedAddress(const QString& endpoint) {
    changeAddress([&] { m_saved = endpoint; });
}

void Service::setOverride(std::optional<QString> endpoint) {
    changeAddress([&] { m_override = std::move(endpoint); });
}

void Service::setError(const QString& error) {
    m_error = error;
    if (!error.isEmpty()) {
        const bool server = m_kind == Kind::Rotctld || m_kind == Kind::Web;
        qCWarning(lcServices).noquote() << QStringLiteral("%1 %2 not started on %3: %4")
                                               .arg(m_name, server ? QStringLiteral("server")
                                                                   : QStringLiteral("listener"),
                                                    address(), error);
        emit statusWanted(m_kind == Kind::Wsjtx ? tr("WSJT-X の受信ポートを開けません")
                                                : tr("%1 を開けません").arg(m_name));
    }
    emit stateChanged();
}

void Service::setCounters(const ServiceCounters& counters) {
    if (counters == m_counters)
        return;
    m_counters = counters;
    emit stateChanged();
}

void Service::setUrl(const QString& url) {
    if (url == m_url)
        return;
    m_url = url;
    emit stateChanged();
}
