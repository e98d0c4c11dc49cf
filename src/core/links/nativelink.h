// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/commandchannel.h"
#include "core/links/controllerlink.h"
#include "core/links/protocol.h"

// The controller that reports its azimuth unasked ("AZ=ddd") and takes one ASCII
// line per command, ended by CR LF. Everything received goes through the reply
// parser. It may rightly stay quiet while nothing moves, so it is said to be silent
// only when a movement got no report.
class NativeLink : public ControllerLink {
    Q_OBJECT
  public:
    explicit NativeLink(QObject* parent = nullptr);

    bool isOpen() const override { return m_channel->isOpen(); }
    bool open() override;
    void close() override;
    GoTo goTo(const QString& position) override;
    bool turn(Direction direction) override;
    bool stop() override;
    bool setSwitch(int number, bool on) override;
    bool sendText(const QString& text) override;
    qsizetype queuedCommands() const override { return m_channel->queuedCommands(); }
    void seedReplies(const QString& text) override { m_parser.seed(text); }
    void clearReplies() override { m_parser.clear(); }

    ReplyParser& parser() { return m_parser; }
    CommandChannel& channel() { return *m_channel; }

  protected:
    bool applyLine(const LineSettings& s) override { return m_channel->setLine(s); }

  private:
    bool send(const QString& command, CommandChannel::CommandKind kind);
    void received(const QByteArray& bytes);

    CommandChannel* m_channel;
    ReplyParser m_parser;
};
