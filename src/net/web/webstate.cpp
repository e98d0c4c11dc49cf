// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/web/webstate.h"

#include "core/text/textnumber.h"

#include <QJsonArray>
#include <cmath>

namespace {

using WebState::Command;
using WebState::Parsed;

Parsed refused(const QString& why) {
    return {std::nullopt, why};
}

QJsonValue numberOrNull(std::optional<double> value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

// A whole number of a JSON value, where it is one.
std::optional<int> wholeNumber(const QJsonValue& value) {
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (d != std::floor(d) || std::abs(d) > 1e6)
        return std::nullopt;
    return int(d);
}

Parsed aim(const QJsonValue& target, const QJsonValue& path) {
    Command c;
    c.kind = Command::Kind::Aim;
    if (target.isString())
        c.target = target.toString().trimmed();
    else if (target.isDouble() && std::isfinite(target.toDouble()))
        c.target = QString::number(target.toDouble(), 'g', 10);
    if (c.target.isEmpty())
        return refused(QStringLiteral("\"target\" must be a place or a number of degrees"));
    if (c.target.size() > WebState::maxTargetLength)
        return refused(QStringLiteral("\"target\" is too long"));
    if (path.isString() && (path.toString() == u"long" || path.toString() == u"short"))
        c.longPath = path.toString() == u"long";
    else if (!path.isUndefined())
        return refused(QStringLiteral("\"path\" must be \"short\" or \"long\""));
    return {c, {}};
}

Parsed turn(const QJsonValue& direction) {
    Command c;
    c.kind = Command::Kind::Turn;
    if (direction.toString() == u"cw" || direction.toString() == u"ccw") {
        c.clockwise = direction.toString() == u"cw";
        return {c, {}};
    }
    return refused(QStringLiteral("\"direction\" must be \"cw\" or \"ccw\""));
}

Parsed preset(const QJsonValue& number) {
    Command c;
    c.kind = Command::Kind::Preset;
    const std::optional<int> n = wholeNumber(number);
    if (!n || *n < 1)
        return refused(QStringLiteral("\"number\" must be a whole number from 1"));
    c.number = *n;
    return {c, {}};
}

Parsed step(const QJsonValue& by) {
    Command c;
    c.kind = Command::Kind::Step;
    const std::optional<int> n = wholeNumber(by);
    if (!n || (*n != 10 && *n != -10))
        return refused(QStringLiteral("\"by\" must be 10 or -10"));
    c.number = *n;
    return {c, {}};
}

Parsed plain(Command::Kind kind) {
    Command c;
    c.kind = kind;
    return {c, {}};
}

} // namespace

QJsonObject WebState::state(const RotatorSession& s, const Extras& extras) {
    const QString commanded = s.commanded();
    const std::optional<double> position = s.position();
    const RotationRange& range = s.range();
    QJsonArray presets;
    for (qsizetype i = 0; i < extras.presets.size(); ++i)
        presets.append(QJsonObject{{"number", int(i + 1)},
                                   {"name", extras.presets[i].name},
                                   {"target", extras.presets[i].target}});
    return QJsonObject{
        {"heading",
         numberOrNull(s.headingKnown() ? std::optional(numericValue(s.heading())) : std::nullopt)},
        {"target",
         numberOrNull(commanded.isEmpty() ? std::nullopt : std::optional(numericValue(commanded)))},
        {"commanded", commanded},
        {"connected", s.link().isOpen()},
        {"answering", s.link().answering()},
        {"range", QJsonArray{range.min(), range.max()}},
        {"overlap", position.has_value() && range.inOverlap(*position)},
        {"deadZone", range.hasDeadZone()},
        {"position", numberOrNull(position)},
        {"offset", numericValue(s.offset())},
        {"park", numberOrNull(extras.park)},
        {"presets", presets},
        {"map", QJsonObject{{"version", extras.mapVersion},
                            {"width", extras.mapSize.width()},
                            {"height", extras.mapSize.height()}}},
        {"status", extras.status},
    };
}

WebState::Parsed WebState::fromRequest(const QString& name, const QJsonObject& body) {
    if (name == u"aim")
        return aim(body.value(u"target"), body.value(u"path"));
    if (name == u"turn")
        return turn(body.value(u"direction"));
    if (name == u"stop")
        return plain(Command::Kind::Stop);
    if (name == u"park")
        return plain(Command::Kind::Park);
    if (name == u"preset")
        return preset(body.value(u"number"));
    if (name == u"step")
        return step(body.value(u"by"));
    return refused(QStringLiteral("no such command"));
}

WebState::Parsed WebState::fromMessage(const QJsonObject& message) {
    static const QStringList verbs{"aim", "turn", "stop", "park", "preset", "step"};
    QString verb;
    for (const QString& v : verbs) {
        if (!message.contains(v))
            continue;
        if (!verb.isEmpty())
            return refused(QStringLiteral("one command a message"));
        verb = v;
    }
    const QJsonValue value = message.value(verb);
    if (verb.isEmpty())
        return refused(QStringLiteral("no command: aim, turn, stop, park, preset or step"));
    if (verb == u"aim")
        return aim(value, message.value(u"path"));
    if (verb == u"turn")
        return turn(value);
    if (verb == u"preset")
        return preset(value);
    if (verb == u"step")
        return step(value);
    if (value != QJsonValue(true))
        return refused(QStringLiteral("\"%1\" must be true").arg(verb));
    return plain(verb == u"stop" ? Command::Kind::Stop : Command::Kind::Park);
}

QJsonObject WebState::echo(const Command& c) {
    switch (c.kind) {
    case Command::Kind::Aim:
        return {{"aim", c.target}, {"path", c.longPath ? "long" : "short"}};
    case Command::Kind::Turn:
        return {{"turn", c.clockwise ? "cw" : "ccw"}};
    case Command::Kind::Stop:
        return {{"stop", true}};
    case Command::Kind::Park:
        return {{"park", true}};
    case Command::Kind::Preset:
        return {{"preset", c.number}};
    case Command::Kind::Step:
        return {{"step", c.number}};
    }
    return {};
}

int WebState::statusOf(RotatorSession::AimResult result) {
    switch (result) {
    case RotatorSession::AimResult::Sent:
        return 200;
    case RotatorSession::AimResult::PortClosed:
        return 409;
    case RotatorSession::AimResult::Refused:
        return 503; // the controller's queue is full
    case RotatorSession::AimResult::NoTarget:
    case RotatorSession::AimResult::NoCommand:
    case RotatorSession::AimResult::OutOfRange:
        return 422;
    }
    return 422;
}
