// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/rotctl.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <optional>

class QTcpServer;
class QTcpSocket;
class RotatorSession;

// Serves Hamlib's network rotator protocol (rotctld's, TCP port 4533 by custom)
// from the event loop, so trackers and loggers steer the antenna through the
// session exactly as the window's buttons and map do. Every client is bounded:
// at most maxClients at once, lines of at most maxLineBytes, and a client that
// lets more than maxUnreadBytes of replies pile up is dropped.
class RotctlServer : public QObject {
    Q_OBJECT
  public:
    static constexpr int maxClients = 16;
    static constexpr qsizetype maxLineBytes = 1024;
    static constexpr qsizetype maxUnreadBytes = 64 * 1024;

    explicit RotctlServer(RotatorSession* session, QObject* parent = nullptr);

    bool listen(const QHostAddress& address, quint16 port);
    // Serves on "[ADDRESS:]PORT" from now on, or on nothing when it is empty; closes
    // whatever was served before (its clients stay). What went wrong, or nothing.
    QString serve(const QString& endpoint);
    QString errorString() const;
    quint16 port() const;
    int clientCount() const { return int(m_clients.size()); }

    // "[ADDRESS:]PORT", the address 127.0.0.1 when none is given; nothing when the
    // text is no such thing.
    static std::optional<std::pair<QHostAddress, quint16>> parseEndpoint(const QString& text);

  private:
    struct Client {
        QByteArray pending;
        bool skippingLongLine = false;
    };
    void acceptClients();
    void readClient(QTcpSocket* socket);
    QByteArray execute(const Rotctl::Command& command);

    RotatorSession* m_session;
    QTcpServer* m_server;
    QHash<QTcpSocket*, Client> m_clients;
};
