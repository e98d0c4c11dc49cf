// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/rotatorlink.h"

#include <QObject>
#include <QString>
#include <array>
#include <optional>

// The operating rules every way of steering shares: the window's buttons and map,
// and any other client. It holds what the operator is shown as state (the heading
// the controller reported, the last commanded azimuth, the offset, the eight remote
// switches, and whether the Connect button offers to disconnect) and sends commands
// over the link. Azimuths stay texts, as the step and go-to rules need their exact
// characters.
class RotatorSession : public QObject {
    Q_OBJECT
  public:
    static constexpr int switchCount = 8;
    // Refused: the port is open but its queue is full, so nothing was sent.
    enum class AimResult { Sent, NoTarget, NoCommand, PortClosed, Refused };

    explicit RotatorSession(QObject* parent = nullptr);

    RotatorLink& link() { return *m_link; }
    const RotatorLink& link() const { return *m_link; }

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
    void seedReplies(const QString& text) { m_link->parser().seed(text); }

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
    AimResult aimAt(double degrees);
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

  private:
    bool send(const QString& command,
              RotatorLink::CommandKind kind = RotatorLink::CommandKind::Ordered);
    void step(int by);
    void showPortClosed();
    void setDisconnectOffered(bool offered);
    void azimuthReceived(const QString& azimuth);

    RotatorLink* m_link;
    QString m_heading = QStringLiteral("000");
    bool m_headingReported = false;
    QString m_commanded;
    QString m_offset = QStringLiteral("0");
    std::array<bool, switchCount> m_switches{};
    bool m_disconnectOffered = false;
    std::optional<double> m_park;
};
