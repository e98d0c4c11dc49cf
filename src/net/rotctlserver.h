// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/rotationrange.h"
#include "net/rotctl.h"
#include "net/serviceserver.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <chrono>
#include <functional>
#include <optional>

class QTcpServer;
class QTcpSocket;
class RotatorSession;

// Serves Hamlib's network rotator protocol (rotctld's, TCP port 4533 by custom)
// from the event loop, so trackers and loggers steer the antenna through the
// session exactly as the window's buttons and map do. Every client is bounded:
// at most maxClients at once, lines of at most maxLineBytes, and a client that
// lets more than maxUnreadBytes of replies pile up is dropped. A client that has
// completed no command line for idleLimit gives its place up to a newcomer when
// all places are taken, so silent connections cannot lock trackers out.
class RotctlServer : public ServiceServer {
    Q_OBJECT
  public:
    static constexpr int maxClients = 16;
    static constexpr qsizetype maxLineBytes = 1024;
    static constexpr qsizetype maxUnreadBytes = 64 * 1024;
    static constexpr std::chrono::milliseconds idleLimit = std::chrono::seconds(30);
    using Clock = std::function<std::chrono::milliseconds()>;

    explicit RotctlServer(RotatorSession* session, QObject* parent = nullptr);
    ~RotctlServer() override;

    // What idle times are measured with; a steady clock unless replaced.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    bool listen(const QHostAddress& address, quint16 port);
    // Serves on "[ADDRESS:]PORT" from now on, or on nothing when it is empty; closes
    // whatever was served before (its clients stay). What went wrong, or nothing.
    QString serve(const QString& endpoint) override;
    QString errorString() const;
    quint16 port() const;
    int clientCount() const { return int(m_clients.size()); }

    // What dump_caps tells of a rotator with this azimuth range.
    static QByteArray capabilities(const RotationRange& range = {});

  private:
    struct Client {
        QByteArray pending;
        bool skippingLongLine = false;
        std::chrono::milliseconds lastLine{}; // when it last completed a command line
        // A second handle on the connection: the client's half-close makes the
        // socket close its own, and the reply to a last unterminated command still
        // has to go out through this one.
        int replyDescriptor = -1;
    };
    void acceptClients();
    bool makeRoom();
    void forget(QTcpSocket* socket);
    void readClient(QTcpSocket* socket);
    void finishClient(QTcpSocket* socket);
    // Runs the complete lines in `pending` (and the rest too when `last`); the
    // replies, and whether the client asked to quit.
    QByteArray runLines(Client& client, bool last, bool& quit);
    QByteArray execute(const Rotctl::Command& command);
    void reportCounters();

    RotatorSession* m_session;
    Clock m_clock;
    QTcpServer* m_server;
    QHash<QTcpSocket*, Client> m_clients;
    int m_handled = 0;
    int m_ignored = 0;
    QString m_lastIgnored;
};
