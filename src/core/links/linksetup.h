// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/controllerlink.h"
#include "core/links/rotationrange.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

// Which controller is on the line and how it is reached, as AZIVEX.INI's [link]
// section sets it; a file without those keys gives today's controller on COMn.
struct LinkSetup {
    enum class Protocol { Native, Gs232a, Gs232b, Hamlib };
    Protocol protocol = Protocol::Native;
    QString device;      // empty: COMn as the settings tab chooses it
    int hamlibModel = 0; // Hamlib's model number, for Protocol::Hamlib
    int pollMs = 500;
    std::optional<RotationRange> range; // none: the controller's own
    int timeoutMs = ControllerLink::defaultTimeoutMs;

    bool operator==(const LinkSetup&) const = default;

    static QString protocolName(Protocol protocol); // "native", "gs232a", ...
    static std::optional<Protocol> protocolNamed(const QString& name);
    static constexpr Protocol protocols[] = {Protocol::Native, Protocol::Gs232a,
                                             Protocol::Gs232b, Protocol::Hamlib};
    // Limits a value read from a file must keep.
    static constexpr int minPollMs = 50, maxPollMs = 60000;
    static constexpr int minTimeoutS = 1, maxTimeoutS = 600;
};

// A link for the setup, not yet open.
std::unique_ptr<ControllerLink> makeLink(const LinkSetup& setup);

// A controller model Hamlib knows.
struct HamlibModel {
    int number = 0;
    QString name; // "Yaesu GS-232B"
};
// Every rotator model the Hamlib library in use lists, by number.
QList<HamlibModel> hamlibModels();
