// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/controllerlink.h"
#include "core/links/rotationrange.h"

#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <optional>

// The operating rules every way of steering shares: the window's buttons and map,
// and any other client. It holds what the operator is shown as state (the heading
// the controller reported, the last commanded azimuth, the offset, the eight remote
// switches, and whether the Connect button offers to disconnect) and sends commands
// over the link to whatever controller is in use. Azimuths stay texts, as the step
// and go-to rules need their exact characters.
//
// A go-to from anything but the map click takes, on a rotator with an overlap, the
// position the antenna reaches with the shorter turn; on one with a dead zone a
// bearing there is refused.
class RotatorSession : public QObject {
    Q_OBJECT
  public:
    static constexpr int switchCount = 8;
    // Refused: the port is open but its queue is full, so nothing was sent.
    // OutOfRange: the bearing lies in the rotator's dead zone; nothing was sent.
    enum class AimResult { Sent, NoTarget, NoCommand, PortClosed, Refused, OutOfRange };
    // How a go-to's position is chosen where a bearing has two: as a map click
    // chooses (the bearing itself) or by the shorter turn from where the antenna is.
    enum class Turn { AsClicked, Shorter };

    explicit RotatorSession(QObject* parent = nullptr);

    ControllerLink& link() { return *m_link; }
    const ControllerLink& link() const { return *m_link; }
    // Puts a link to another controller in place of the current one, which is closed
    // and dropped; its port settings carry over.
    void setLink(std::unique_ptr<ControllerLink> link);

    // The controller's azimuth range in its own units.
    void setRange(const RotationRange& range);
    const RotationRange& range() const { return m_range; }
    // The last reported position in the controller's units, until it turns silent.
    std::optional<double> position() const { return m_position; }
    // Where the antenna points on the map: the heading less the offset, not brought
    // within a turn.
    double bearing() const;
    // Whether the heading shown is the controller's: reported, and it still answers.
    bool headingKnown() const { return m_headingReported && m_link->answering(); }

    // The controller's last azimuth as shown; "000" until the first reply.
    QString heading() const { return m_heading; }
    bool headingReported() const { return m_headingReported; }
    // The last commanded azimuth; empty until the first command.
    QString commanded() const { return m_commanded; }
    void setCommanded(const QString& azimuth);
    QString offset() const { return m_offset; }
    void setOffset(const QString& offset) { m_offset = offset; }
    bool switchOn(int number) const;
    // The Connect button's state: true while it offers to disconnect.
    bool disconnectOffered() const { return m_disconnectOffered; }

    // Text already waiting in front of the first reply (the settings line).
    void seedReplies(const QString& text) { m_link->seedReplies(text); }

    // Sets the port number and line settings, opens the port and reports its state.
    void openLink(const QString& portText, const QString& settingsText);
    void closeLink() { m_link->close(); }
    // The Connect/Disconnect button.
    void toggleConnection();
    void reportPortState();

    // These and the other commands: false when nothing was sent (port closed, or the
    // link turned the command away).
    bool turnCcw();
    bool turnCw();
    bool stop();
    void stepCw() { step(+10); }
    void stepCcw() { step(-10); }
    // Aims at a direction in degrees (a map click's direction, before the offset).
    // NoCommand: the target is shown but has no go-to command (over three
    // characters), so nothing was sent.
    AimResult aimAt(double degrees, Turn turn = Turn::Shorter);
    // Where the antenna goes to rest, a geographic azimuth as a click gives; none
    // until the operator sets one.
    void setParkAzimuth(std::optional<double> azimuth) { m_park = azimuth; }
    std::optional<double> parkAzimuth() const { return m_park; }
    // Aims at the park azimuth; NoTarget when there is none.
    AimResult park() { return m_park ? aimAt(*m_park) : AimResult::NoTarget; }
    // Sends the text as typed.
    bool sendRaw(const QString& text);
    // A switch whose command the link turns away with the port open stays as it was.
    bool toggleSwitch(int number);

  signals:
    void headingChanged(const QString& heading);
    void commandedChanged(const QString& commanded);
    void switchChanged(int number, bool on);
    // The port's open state at this moment, for the status line.
    void portStateReported(bool open);
    void disconnectOfferChanged(bool offered);
    // A command found the port closed (or the device went away): nothing was sent.
    void portClosedNotice();
    // The link's port opened or closed, an open failed, or the device went away:
    // told of whichever link is in use.
    void openChanged(bool open);
    void openRefused(const QString& reason);
    void lost();
    void answeringChanged(bool answering);
    void positionChanged();
    void rangeChanged();
    // A go-to was refused (a bearing in the dead zone) or the controller did not
    // carry a command out: why, for the status line.
    void commandFailed(const QString& reason);

  private:
    // False, with the notice, when the port is closed.
    bool portOpen();
    // A go-to to a bearing in the controller's frame (the offset added), at its
    // position nearest `from` where it has two.
    AimResult goTo(const QString& bearing, std::optional<double> from);
    // Says so when the bearing is in the rotator's dead zone.
    bool outOfRange(double bearing);
    void step(int by);
    void connectLink();
    void showPortClosed();
    void setDisconnectOffered(bool offered);
    void headingReceived(const QString& azimuth, double position);

    std::unique_ptr<ControllerLink> m_link;
    RotationRange m_range;
    std::optional<double> m_position;
    QString m_heading = QStringLiteral("000");
    bool m_headingReported = false;
    QString m_commanded;
    QString m_offset = QStringLiteral("0");
    std::array<bool, switchCount> m_switches{};
    bool m_disconnectOffered = false;
    std::optional<double> m_park;
};
