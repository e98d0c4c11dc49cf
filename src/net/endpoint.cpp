// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/endpoint.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <QRegularExpression>

namespace {

std::optional<QHostAddress> addressOfName(const QString& name) {
    // Without a look-up, so it is the address the README's tracker settings reach.
    if (name.compare(u"localhost", Qt::CaseInsensitive) == 0)
        return QHostAddress(QHostAddress::LocalHost);
    static const QRegularExpression hostName(QStringLiteral(
        "^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*$"));
    // A last label of digits makes a malformed address, never a name worth a look-up.
    static const QRegularExpression numericEnd(QStringLiteral("(^|\\.)[0-9]+$"));
    if (!hostName.match(name).hasMatch() || numericEnd.match(name).hasMatch())
        return std::nullopt;
    // One address is listened on: the IPv4 one, which every tracker can reach.
    const QList<QHostAddress> found = QHostInfo::fromName(name).addresses();
    for (const QHostAddress& a : found)
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a;
    if (found.isEmpty())
        return std::nullopt;
    return found.front();
}

} // namespace

std::optional<std::pair<QHostAddress, quint16>> Endpoint::parse(const QString& text) {
    const qsizetype colon = text.lastIndexOf(u':');
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return std::nullopt;
    QHostAddress address(QHostAddress::LocalHost);
    if (colon >= 0) {
        const QString host = text.left(colon);
        if (host.startsWith(u'[') && host.endsWith(u']')) {
            if (!address.setAddress(host.mid(1, host.size() - 2)))
                return std::nullopt; // brackets hold an address, not a name
        } else if (host.contains(u':')) {
            return std::nullopt; // an IPv6 address without brackets: its port is unclear
        } else if (!address.setAddress(host)) {
            const std::optional<QHostAddress> named = addressOfName(host);
            if (!named)
                return std::nullopt;
            address = *named;
        }
    }
    return std::pair{address, quint16(port)};
}

QString Endpoint::pageUrl(const QString& endpoint, bool https, const QString& token) {
    const auto where = parse(endpoint);
    if (!where)
        return {};
    QHostAddress host = where->first;
    if (host == QHostAddress::AnyIPv4 || host == QHostAddress::AnyIPv6 ||
        host == QHostAddress::Any) {
        host = QHostAddress::LocalHost;
        for (const QHostAddress& a : QNetworkInterface::allAddresses())
            if (!a.isLoopback() && !a.isLinkLocal() &&
                a.protocol() == QAbstractSocket::IPv4Protocol) {
                host = a;
                break;
            }
    }
    const QString shown = host.protocol() == QAbstractSocket::IPv6Protocol
                              ? u'[' + host.toString() + u']'
                              : host.toString();
    return QStringLiteral("%1://%2:%3/?token=%4")
        .arg(https ? QStringLiteral("https") : QStringLiteral("http"), shown)
        .arg(where->second)
        .arg(token);
}
