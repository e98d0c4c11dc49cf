// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/session/rotatorsession.h"

#include "core/links/nativelink.h"
#include "core/links/protocol.h"
#include "core/session/geometry.h"
#include "core/text/textnumber.h"

RotatorSession::RotatorSession(QObject* parent)
    : QObject(parent), m_link(std::make_unique<NativeLink>(this)) {
    connectLink();
}

void RotatorSession::setLink(std::unique_ptr<ControllerLink> link) {
    const bool wasOpen = m_link->isOpen();
    m_link->close();
    link->setParent(this);
    link->setPortNumber(m_link->portNumber());
    link->setLineSettings(m_link->lineSettings());
    link->setWorkingDirectory(m_link->workingDirectory());
    m_link = std::move(link);
    connectLink();
    m_position.reset();
    if (wasOpen)
        emit openChanged(false);
}

void RotatorSession::connectLink() {
    ControllerLink* link = m_link.get();
    connect(link, &ControllerLink::headingReceived, this, &RotatorSession::headingReceived);
    connect(link, &ControllerLink::lost, this, [this] {
        showPortClosed();
        emit lost();
    });
    connect(link, &ControllerLink::openChanged, this, &RotatorSession::openChanged);
    connect(link, &ControllerLink::openRefused, this, &RotatorSession::openRefused);
    connect(link, &ControllerLink::commandFailed, this, &RotatorSession::commandFailed);
    connect(link, &ControllerLink::answeringChanged, this, [this](bool answering) {
        if (!answering && m_position) {
            m_position.reset();
            emit positionChanged();
        }
        emit answeringChanged(answering);
    });
}

void RotatorSession::setRange(const RotationRange& range) {
    if (range == m_range)
        return;
    m_range = range;
    emit rangeChanged();
}

double RotatorSession::bearing() const {
    return numericValue(m_heading) - numericValue(m_offset);
}

void RotatorSession::setCommanded(const QString& azimuth) {
    m_commanded = azimuth;
    emit commandedChanged(azimuth);
}

bool RotatorSession::switchOn(int number) const {
    return m_switches.at(static_cast<std::size_t>(number - 1));
}

void RotatorSession::headingReceived(const QString& azimuth, double position) {
    const bool changed = !m_headingReported || azimuth != m_heading;
    m_headingReported = true;
    m_heading = azimuth;
    const bool moved = m_position != position;
    m_position = position;
    if (changed)
        emit headingChanged(azimuth);
    if (moved)
        emit positionChanged();
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

bool RotatorSession::portOpen() {
    if (m_link->isOpen())
        return true;
    showPortClosed();
    return false;
}

bool RotatorSession::turnCcw() {
    setCommanded(QStringLiteral("184"));
    m_link->clearReplies();
    return portOpen() && m_link->turn(ControllerLink::Direction::Ccw);
}

bool RotatorSession::turnCw() {
    setCommanded(QStringLiteral("179"));
    m_link->clearReplies();
    return portOpen() && m_link->turn(ControllerLink::Direction::Cw);
}

bool RotatorSession::stop() {
    m_link->clearReplies();
    if (!portOpen() || !m_link->stop())
        return false;
    setCommanded(m_heading);
    return true;
}

void RotatorSession::step(int by) {
    if (!portOpen())
        return;
    setCommanded(Protocol::stepAzimuth(m_commanded, by));
    if (Protocol::goTo(m_commanded))
        goTo(m_commanded, std::nullopt);
}

bool RotatorSession::outOfRange(double bearing) {
    if (m_range.position(bearing))
        return false;
    emit commandFailed(tr("%1° は回転範囲 %2 の外です")
                           .arg(RotationRange::bearingOf(bearing))
                           .arg(m_range.text()));
    return true;
}

RotatorSession::AimResult RotatorSession::goTo(const QString& bearing, std::optional<double> from) {
    // Where the controller takes the bearing as it is, its own text goes out, so the
    // go-to rules see its exact characters.
    QString position = bearing;
    if (!m_range.isFullCircle()) {
        const std::optional<double> p = m_range.position(numericValue(bearing), from);
        if (!p)
            return AimResult::OutOfRange;
        if (*p != numericValue(bearing))
            position = QString::number(*p, 'g', 15);
    }
    switch (m_link->goTo(position)) {
    case ControllerLink::GoTo::Sent:
        return AimResult::Sent;
    case ControllerLink::GoTo::NoCommand:
        return AimResult::NoCommand;
    case ControllerLink::GoTo::Refused:
        break;
    }
    return m_link->isOpen() ? AimResult::Refused : AimResult::PortClosed;
}

RotatorSession::AimResult RotatorSession::aimAt(double degrees, Turn turn) {
    const std::optional<qint16> target = MapGeometry::aimTarget(degrees, m_offset);
    if (!target)
        return AimResult::NoTarget; // a target that cannot be formed is not shown or sent
    if (outOfRange(*target))
        return AimResult::OutOfRange;
    setCommanded(QString::number(*target));
    m_link->clearReplies();
    if (!portOpen())
        return AimResult::PortClosed;
    return goTo(m_commanded, turn == Turn::Shorter ? m_position : std::nullopt);
}

bool RotatorSession::sendRaw(const QString& text) {
    return portOpen() && m_link->sendText(text);
}

bool RotatorSession::toggleSwitch(int number) {
    bool& on = m_switches.at(static_cast<std::size_t>(number - 1));
    on = !on;
    emit switchChanged(number, on);
    if (portOpen() && m_link->setSwitch(number, on))
        return true;
    // Turned away by an open link: the controller's switch did not change either.
    if (m_link->isOpen()) {
        on = !on;
        emit switchChanged(number, on);
    }
    return false;
}
