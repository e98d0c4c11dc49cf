// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/session/rotatorsession.h"

#include <QJsonObject>
#include <QList>
#include <QSize>
#include <QString>
#include <optional>

// What the web page and scripts see and send, apart from the network: the state as
// one JSON object, and the commands read from a POST's body or a WebSocket message.
namespace WebState {

struct Preset {
    QString name;
    QString target;
};

// What the state tells beside the session's own.
struct Extras {
    std::optional<double> park;
    QList<Preset> presets;
    int mapVersion = 0;
    QSize mapSize;
    QString status; // the last status or failure text
};

QJsonObject state(const RotatorSession& session, const Extras& extras);

struct Command {
    enum class Kind { Aim, Turn, Stop, Park, Preset, Step };
    Kind kind = Kind::Stop;
    QString target;         // Aim: as the target dialog takes it
    bool longPath = false;  // Aim
    bool clockwise = false; // Turn
    int number = 0;         // Preset: 1-based; Step: +10 or -10
};
// A command, or why the JSON is none (a 400).
struct Parsed {
    std::optional<Command> command;
    QString error;
};
// What a target may be at most: far more than any locator, callsign or coordinates.
constexpr qsizetype maxTargetLength = 100;

// From a POST to /api/NAME ("aim", "turn", "stop", "park", "preset", "step").
Parsed fromRequest(const QString& name, const QJsonObject& body);
// From a WebSocket message: {"aim": "JN58"}, {"turn": "cw"}, {"stop": true}, ...
Parsed fromMessage(const QJsonObject& message);
// The answer to a command carried out: the command as the WebSocket takes it.
QJsonObject echo(const Command& command);
// The HTTP status that tells an aim's result.
int statusOf(RotatorSession::AimResult result);

} // namespace WebState
