// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>
#include <optional>
#include <utility>

// The addresses every service listens on, or reports to, as AZIVEX.INI and the
// command line write them.
namespace Endpoint {

// "[ADDRESS:]PORT", the address 127.0.0.1 when none is given: PORT 1 to 65535;
// ADDRESS an IPv4 address, an IPv6 address in brackets, or a host name
// ("localhost" is 127.0.0.1; another name stands for its first IPv4 address, or
// its first address when it has none). Nothing when the text is no such thing.
std::optional<std::pair<QHostAddress, quint16>> parse(const QString& text);

// Where a person on the network opens a page served at the endpoint, with the token:
// "http://192.168.1.20:8073/?token=…". A server on every address is shown at the
// machine's first address on a network that is up (a phone cannot open 0.0.0.0);
// nothing when the endpoint is none.
QString pageUrl(const QString& endpoint, bool https, const QString& token);

} // namespace Endpoint
