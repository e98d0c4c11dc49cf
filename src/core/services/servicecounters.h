// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What a service has done since it started, as its row in the services dialog shows:
// who is connected, what it acted on and what it could not understand.
struct ServiceCounters {
    int clients = 0;
    int handled = 0;
    int ignored = 0;
    QString lastIgnored; // shortened, control characters escaped
    bool operator==(const ServiceCounters&) const = default;
};
