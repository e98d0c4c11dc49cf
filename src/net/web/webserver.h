// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/session/rotatorsession.h"
#include "net/serviceserver.h"
#include "net/web/webstate.h"

#include <QEvent>
#include <QHash>
#include <QHostAddress>
#include <QImage>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <chrono>
#include <functional>
#include <optional>

class Aiming;
class QAbstractHttpServer;
class QHttpServerRequest;
class QHttpServerResponder;
class QTcpServer;
class QWebSocket;
class QWebSocketServer;

// The web page and its API for phones, browsers and scripts, over HTTP or HTTPS:
// the page's files, the state as JSON, commands by POST, and a WebSocket that
// pushes the state at every change and takes the same commands. Every request
// needs the token; commands go through the session and the aiming rules exactly
// as the window's buttons send them.
//
// Each connection's first request head is read here before Qt's HTTP server or
// WebSocket server sees it, so a WebSocket upgrade is refused with a status before
// any handshake and an oversized or malformed request never reaches either.
class WebServer : public ServiceServer {
    Q_OBJECT
  public:
    static constexpr int maxConnections = 64;
    static constexpr int maxWebSockets = 32;
    static constexpr qsizetype maxHeadBytes = 8 * 1024;
    static constexpr qsizetype maxBodyBytes = 4 * 1024;
    // Commands (POSTs from one address, or messages on one WebSocket) a second.
    static constexpr int maxCommandsPerSecond = 20;
    // Wrong tokens from one address within failedTokenWindow before it is refused
    // for the rest of that window.
    static constexpr int maxFailedTokens = 10;
    static constexpr std::chrono::milliseconds failedTokenWindow = std::chrono::minutes(1);
    // A connection other than a WebSocket that sends nothing for this long is closed.
    static constexpr std::chrono::milliseconds idleLimit = std::chrono::seconds(30);
    // WebSocket clients are pinged this often, and one heard of for none of
    // webSocketSilence (a phone gone from the network) is dropped, its place freed.
    static constexpr std::chrono::milliseconds pingInterval = std::chrono::seconds(20);
    static constexpr std::chrono::milliseconds webSocketSilence = std::chrono::seconds(60);
    // A WebSocket client that leaves this much of the state unread is dropped.
    static constexpr qint64 maxUnsentBytes = 256 * 1024;
    static inline const QByteArray cookieName = QByteArrayLiteral("azivex_token");
    using Clock = std::function<std::chrono::milliseconds()>;

    WebServer(RotatorSession& session, Aiming& aiming, QObject* parent = nullptr);
    ~WebServer() override;

    // An empty token refuses every request. A new token ends every connection made
    // with the old one, so a token given away stops working at once.
    void setToken(const QString& token);
    // What the limits are measured with; a steady clock unless replaced.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    // PEM files: HTTPS from the next serve() on; both empty: HTTP. Why the files
    // cannot be used (HTTP stays or is kept), or nothing.
    QString setCertificate(const QString& certPath, const QString& keyPath);
    bool listen(const QHostAddress& address, quint16 port);
    // Serves on "[ADDRESS:]PORT" from now on, or on nothing when it is empty; closes
    // whatever was served before, and its clients: switched off, or served anew with
    // other settings, nobody keeps turning the antenna. What went wrong, or nothing.
    QString serve(const QString& endpoint) override;
    QString errorString() const { return m_error; }
    quint16 port() const;

    // The map picture /map.png serves, and its version in the state: a new version
    // says the picture changed.
    void setMapSource(std::function<QImage()> source);
    void setMapVersion(int version);
    // The status line's text, told to the page.
    void setStatus(const QString& text);

    QJsonObject state();
    // WebSocket connections, from their upgrade to their last byte.
    int webSocketCount() const;

  protected:
    bool event(QEvent* event) override;

  private:
    static constexpr QEvent::Type pushEvent = QEvent::Type(QEvent::User + 1);
    struct Request {
        QByteArray method;
        QString path;
        QUrlQuery query;
        QList<QPair<QByteArray, QByteArray>> headers;
        QHostAddress peer;
        bool secure = false;
        QByteArray header(const QByteArray& name) const;
    };
    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray contentType = QByteArrayLiteral("application/json");
        bool setCookie = false;
    };
    struct Connection {
        std::chrono::milliseconds lastActive{};
        bool handedOver = false; // to the HTTP server, or refused
        bool closeAfterReply = false;
    };
    struct Failures {
        std::chrono::milliseconds since{};
        int count = 0;
    };
    struct Pace {
        qint64 second = -1;
        int count = 0;
    };
    struct Listener {
        Pace pace;
        std::chrono::milliseconds heard{}, pinged{}; // its last message or pong; our last ping
    };

    void acceptConnections();
    void dropClients();
    void readHead(QTcpSocket* socket);
    void refuse(QTcpSocket* socket, const Reply& reply, const QString& what);
    void takeWebSockets();
    void readMessage(QWebSocket* client, const QString& text);
    void sweep();
    void updateClients();
    void schedulePush();
    void push();

    // Whether the request may go on: a refusal when it may not.
    std::optional<Reply> admit(const Request& request, bool* tokenInQuery = nullptr);
    bool tooFast(Pace& pace);
    Reply answer(const Request& request, const QByteArray& body);
    Reply command(const Request& request, const QString& name, const QByteArray& body);
    Reply staticFile(const QString& path) const;
    Reply mapPicture();
    // Carries a command out: its status and the JSON that answers it.
    std::pair<int, QJsonObject> execute(const WebState::Command& command);
    void respond(const QHttpServerRequest& request, QHttpServerResponder& responder);
    void count(int status, const Request& request);

    QList<WebState::Preset> presets() const;

    RotatorSession& m_session;
    Aiming& m_aiming;
    Clock m_clock;
    QByteArray m_token;
    std::optional<QSslConfiguration> m_tls;
    QString m_error;
    QTcpServer* m_listener = nullptr;
    QTcpServer* m_handoff;
    QAbstractHttpServer* m_http;
    QWebSocketServer* m_webSocketServer;
    QHash<QTcpSocket*, Connection> m_connections;
    QList<QPointer<QTcpSocket>> m_upgraded; // handed to the WebSocket server
    QHash<QWebSocket*, Listener> m_webSockets;
    QHash<QString, Failures> m_failures;
    QHash<QString, Pace> m_posts;
    QTimer m_sweep;
    bool m_pushPending = false;
    QByteArray m_lastPushed;
    std::function<QImage()> m_mapSource;
    int m_mapVersion = 0;
    std::optional<QSize> m_mapSize;
    QByteArray m_mapPng;
    QString m_status;
    QString m_failure; // what the session said failed while a command ran
    ServiceCounters m_counters;
};
