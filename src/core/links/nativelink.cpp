// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/nativelink.h"

NativeLink::NativeLink(QObject* parent) : ControllerLink(parent), m_channel(new CommandChannel(this)) {
    connect(m_channel, &CommandChannel::received, this, &NativeLink::received);
    connect(m_channel, &CommandChannel::openChanged, this, &ControllerLink::openChanged);
    connect(m_channel, &CommandChannel::lost, this, [this] {
        stopWatching();
        emit lost();
    });
}

bool NativeLink::open() {
    return !isOpen() && openChannel(*m_channel);
}

void NativeLink::close() {
    stopWatching();
    m_channel->close();
}

bool NativeLink::send(const QString& command, CommandChannel::CommandKind kind) {
    return m_channel->send(Protocol::frame(command), kind);
}

ControllerLink::GoTo NativeLink::goTo(const QString& position) {
    const std::optional<QString> command = Protocol::goTo(position);
    if (!command)
        return GoTo::NoCommand;
    if (!send(*command, CommandChannel::CommandKind::Movement))
        return GoTo::Refused;
    startWatching();
    return GoTo::Sent;
}

bool NativeLink::turn(Direction direction) {
    if (!send(direction == Direction::Ccw ? Protocol::turnCcw : Protocol::turnCw,
              CommandChannel::CommandKind::Movement))
        return false;
    startWatching();
    return true;
}

bool NativeLink::stop() {
    return send(Protocol::stop, CommandChannel::CommandKind::Stop);
}

bool NativeLink::setSwitch(int number, bool on) {
    return send(Protocol::switchCommand(number, on), CommandChannel::CommandKind::Ordered);
}

bool NativeLink::sendText(const QString& text) {
    return send(text, CommandChannel::CommandKind::Ordered);
}

void NativeLink::received(const QByteArray& bytes) {
    for (const ReplyParser::Reading& r : m_parser.read(bytes)) {
        noteAnswer();
        emit headingReceived(r.azimuth, r.position);
    }
}
