// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/services/servicemodel.h"

#include "core/settings/settingsstore.h"

#include <QRandomGenerator>

ServiceModel::ServiceModel(SettingsStore& store, QObject* parent)
    : QObject(parent), m_store(store) {
    using K = Service::Kind;
    const std::tuple<K, IniKey, QString> table[] = {
        {K::Rotctld, Keys::rotctldListen, QStringLiteral("rotctld")},
        {K::N1mm, Keys::n1mmListen, QStringLiteral("N1MM")},
        {K::PstRotator, Keys::pstRotatorListen, QStringLiteral("PstRotator")},
        {K::Wsjtx, Keys::wsjtxListen, QStringLiteral("WSJT-X")},
        {K::Web, Keys::webListen, QStringLiteral("web")},
    };
    for (const auto& [kind, key, name] : table) {
        auto* service = new Service(kind, key, name, this);
        connect(service, &Service::statusWanted, this, &ServiceModel::statusWanted);
        m_services.append(service);
    }
    connect(&store, &SettingsStore::loaded, this, &ServiceModel::applySettings);
    connect(&store, &SettingsStore::changed, this, &ServiceModel::applySettings);
}

Service& ServiceModel::service(Service::Kind kind) const {
    for (Service* s : m_services)
        if (s->kind() == kind)
            return *s;
    Q_UNREACHABLE();
}

QStringList ServiceModel::applied(std::initializer_list<IniKey> keys) const {
    QStringList out;
    for (const IniKey key : keys)
        out << m_store.value(key);
    return out;
}

void ServiceModel::applySettings() {
    // A hand-switched page gets its token before it serves.
    if (!m_store.value(Keys::webListen).isEmpty())
        ensureWebToken();
    for (Service* s : std::as_const(m_services))
        s->setSavedAddress(m_store.value(s->listenKey()));
    const QStringList n1mm = applied({Keys::n1mmRotor, Keys::n1mmReport});
    if (n1mm != std::exchange(m_n1mmApplied, n1mm))
        emit n1mmSettingsChanged();
    const QStringList web = applied({Keys::webToken, Keys::webCertificate, Keys::webKey});
    if (web != std::exchange(m_webApplied, web))
        emit webSettingsChanged();
}

bool ServiceModel::setAddress(Service::Kind kind, const QString& endpoint) {
    Service& s = service(kind);
    const bool saved = (kind != Service::Kind::Web || endpoint.isEmpty() || ensureWebToken()) &&
                       m_store.save(s.listenKey(), endpoint);
    applySettings();
    s.setOverride(std::nullopt);
    return saved;
}

void ServiceModel::overrideAddress(Service::Kind kind, const QString& endpoint) {
    service(kind).setOverride(endpoint);
}

QString ServiceModel::n1mmRotor() const {
    return m_store.value(Keys::n1mmRotor);
}

QString ServiceModel::n1mmReport() const {
    return m_store.value(Keys::n1mmReport);
}

QString ServiceModel::webToken() const {
    return m_store.value(Keys::webToken);
}

QString ServiceModel::webCertificate() const {
    return m_store.value(Keys::webCertificate);
}

QString ServiceModel::webKey() const {
    return m_store.value(Keys::webKey);
}

bool ServiceModel::ensureWebToken() {
    return !webToken().isEmpty() || writeWebToken();
}

bool ServiceModel::newWebToken() {
    const bool saved = writeWebToken();
    applySettings();
    return saved;
}

bool ServiceModel::writeWebToken() {
    quint32 bits[4];
    QRandomGenerator::system()->fillRange(bits);
    const QByteArray token =
        QByteArray(reinterpret_cast<const char*>(bits), sizeof bits).toHex();
    return m_store.save(Keys::webToken, QString::fromLatin1(token));
}
