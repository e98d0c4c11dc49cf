// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/commandchannel.h"
#include "core/links/controllerlink.h"

#include <QTimer>

// A Yaesu GS-232A or GS-232B interface, or a controller emulating one: commands end
// with CR alone, and it speaks only when asked, so the position is asked for ("C")
// every pollInterval(). The B answers "AZ=ddd" (clones add "  EL=ddd" or
// "EL=ddd", or give four digits), the A "+0ddd"; "?>" is its error.
class Gs232Link : public ControllerLink {
    Q_OBJECT
  public:
    enum class Variant { A, B };
    explicit Gs232Link(Variant variant, QObject* parent = nullptr);

    Variant variant() const { return m_variant; }
    bool isOpen() const override { return m_channel->isOpen(); }
    bool open() override;
    void close() override;
    GoTo goTo(const QString& position) override;
    bool turn(Direction direction) override;
    bool stop() override;
    bool setSwitch(int, bool) override { return false; }
    bool sendText(const QString& text) override;
    qsizetype queuedCommands() const override { return m_channel->queuedCommands(); }

    CommandChannel& channel() { return *m_channel; }

  protected:
    bool applyLine(const LineSettings& s) override { return m_channel->setLine(s); }

  private:
    bool send(const QByteArray& command, CommandChannel::CommandKind kind);
    void poll();
    void received(const QByteArray& bytes);
    // Takes the whole answers at the front of what was received; with settled, also
    // one whose digits might still have gone on.
    void takeAnswers(bool settled);
    void answered(int position);

    Variant m_variant;
    CommandChannel* m_channel;
    QTimer m_pollTimer;
    // An answer may end in its last digit with no line end: taken once nothing more
    // came for a moment.
    QTimer m_settle;
    QByteArray m_received;
    QByteArray m_lastCommand;
    // The last answer's line goes on: a "+0eee" there is the elevation, not
    // another azimuth.
    bool m_answerLineOpen = false;
    bool m_pollOutstanding = false;
    // The queue was empty when the outstanding poll was last looked at: a whole
    // interval has passed with it on the line.
    bool m_pollOnLine = false;
};
