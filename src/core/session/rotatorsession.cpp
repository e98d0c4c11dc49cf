// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/session/rotatorsession.h"

#include "core/session/geometry.h"
#include "core/links/protocol.h"
#include "core/text/textnumber.h"

RotatorSession::RotatorSession(QObject* parent) : QObject(parent), m_link(new RotatorLink(this)) {
    connect(m_link, &RotatorLink::azimuthReceived, this, &RotatorSession::azimuthReceived);
    connect(m_link, &RotatorLink::lost, this, &RotatorSession::showPortClosed);
}

void RotatorSession::setCommanded(const QString& azimuth) {
    m_commanded = azimuth;
    emit commandedChanged(azimuth);
}

bool RotatorSession::switchOn(int number) const {
    return m_switches.at(static_cast<std::size_t>(number - 1));
}

void RotatorSession::azimuthReceived(const QString& azimuth) {
    const bool changed = !m_headingReported || azimuth != m_heading;
    m_headingReported = true;
    m_heading = azimuth;
    if (changed)
        emit headingChanged(azimuth);
}

void RotatorSession::setDisconnectOffered(bool offered) {
    m_disconnectOffered = offered;
    emit disconnectOfferChanged(offered);
}

void RotatorSession::showPortClosed() {
    m_disconnectOffered = false;
    emit portClosedNotice();
}

void RotatorSession::reportPortState() {
    emit portStateReported(m_link->isOpen());
}

void RotatorSession::openLink(const QString& portText, const QString& settingsText) {
    if (const std::optional<qint16> n = wholeNumberOf(portText))
        m_link->setPortNumber(*n);
    m_link->setLineSettings(settingsText);
    if (!m_link->isOpen())
        m_link->open();
    reportPortState();
    setDisconnectOffered(m_link->isOpen());
}

void RotatorSession::toggleConnection() {
    if (!m_disconnectOffered) {
        if (!m_link->isOpen())
            m_link->open();
        // A failed open keeps offering to connect, so the next click tries again.
        setDisconnectOffered(m_link->isOpen());
        reportPortState();
    } else if (m_link->isOpen()) {
        m_link->close();
        setDisconnectOffered(false);
        reportPortState();
    } else {
        showPortClosed();
    }
}

bool RotatorSession::send(const QString& command, RotatorLink::CommandKind kind) {
    if (!m_link->isOpen()) {
        showPortClosed();
        return false;
    }
    // A device lost during the write is told through the link's lost().
    return m_link->send(Protocol::frame(command), kind);
}

bool RotatorSession::turnCcw() {
    setCommanded(QStringLiteral("184"));
    m_link->parser().clear();
    return send(Protocol::turnCcw, RotatorLink::CommandKind::Movement);
}

bool RotatorSession::turnCw() {
    setCommanded(QStringLiteral("179"));
    m_link->parser().clear();
    return send(Protocol::turnCw, RotatorLink::CommandKind::Movement);
}

bool RotatorSession::stop() {
    m_link->parser().clear();
    if (!send(Protocol::stop, RotatorLink::CommandKind::Stop))
        return false;
    setCommanded(m_heading);
    return true;
}

void RotatorSession::step(int by) {
    if (!m_link->isOpen()) {
        showPortClosed();
        return;
    }
    setCommanded(Protocol::stepAzimuth(m_commanded, by));
    if (const std::optional<QString> command = Protocol::goTo(m_commanded))
        send(*command, RotatorLink::CommandKind::Movement);
}

RotatorSession::AimResult RotatorSession::aimAt(double degrees) {
    const std::optional<qint16> target = MapGeometry::aimTarget(degrees, m_offset);
    if (!target)
        return AimResult::NoTarget; // a target that cannot be formed is not shown or sent
    setCommanded(QString::number(*target));
    m_link->parser().clear();
    if (!m_link->isOpen()) {
        showPortClosed();
        return AimResult::PortClosed;
    }
    const std::optional<QString> command = Protocol::goTo(m_commanded);
    if (!command)
        return AimResult::NoCommand;
    if (send(*command, RotatorLink::CommandKind::Movement))
        return AimResult::Sent;
    return m_link->isOpen() ? AimResult::Refused : AimResult::PortClosed;
}

bool RotatorSession::sendRaw(const QString& text) {
    return send(text);
}

bool RotatorSession::toggleSwitch(int number) {
    bool& on = m_switches.at(static_cast<std::size_t>(number - 1));
    on = !on;
    emit switchChanged(number, on);
    if (send(Protocol::switchCommand(number, on)))
        return true;
    // Turned away by an open link: the controller's switch did not change either.
    if (m_link->isOpen()) {
        on = !on;
        emit switchChanged(number, on);
    }
    return false;
}
