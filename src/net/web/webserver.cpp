// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/web/webserver.h"

#include "net/endpoint.h"

#include "core/application/aiming.h"
#include "core/text/printabletext.h"

#include <QAbstractHttpServer>
#include <QBuffer>
#include <QDirIterator>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QMimeDatabase>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>

using std::chrono::milliseconds;

namespace {

// Qt's HTTP server, given every request it gets, answering each through the owner.
class Dispatcher : public QAbstractHttpServer {
  public:
    using Handler = std::function<void(const QHttpServerRequest&, QHttpServerResponder&)>;
    Dispatcher(Handler handler, QObject* parent)
        : QAbstractHttpServer(parent), m_handler(std::move(handler)) {}

  protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        QHttpServerResponder responder = makeResponder(request, socket);
        m_handler(request, responder);
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

  private:
    Handler m_handler;
};

// Hands connections the gate has read to the HTTP server. It never listens itself,
// which Qt warns of as each connection is taken: that warning alone is dropped.
QtMessageHandler outerHandler = nullptr;
void dropNotListening(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!text.contains(u"not listening"))
        outerHandler(type, context, text);
}
template <typename F> void quietly(F&& f) {
    outerHandler = qInstallMessageHandler(dropNotListening);
    f();
    qInstallMessageHandler(outerHandler);
}
class Handoff : public QTcpServer {
  public:
    using QTcpServer::QTcpServer;
    void take(QTcpSocket* socket) {
        quietly([&] { addPendingConnection(socket); });
    }
};

const QHash<int, QByteArray>& reasons() {
    static const QHash<int, QByteArray> r{{200, "OK"},
                                          {400, "Bad Request"},
                                          {401, "Unauthorized"},
                                          {403, "Forbidden"},
                                          {404, "Not Found"},
                                          {405, "Method Not Allowed"},
                                          {409, "Conflict"},
                                          {411, "Length Required"},
                                          {413, "Content Too Large"},
                                          {415, "Unsupported Media Type"},
                                          {422, "Unprocessable Content"},
                                          {426, "Upgrade Required"},
                                          {429, "Too Many Requests"},
                                          {431, "Request Header Fields Too Large"},
                                          {503, "Service Unavailable"}};
    return r;
}

QByteArray errorBody(const QString& text) {
    return QJsonDocument(QJsonObject{{"error", text}}).toJson(QJsonDocument::Compact);
}

// Equal texts, in a time that tells nothing of where they differ.
bool sameToken(QByteArrayView given, QByteArrayView expected) {
    unsigned diff = given.size() != expected.size() ? 1 : 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        diff |= unsigned(uchar(expected[i]) ^ uchar(i < given.size() ? given[i] : 0));
    return diff == 0 && !expected.isEmpty();
}

QByteArray cookieValue(const QByteArray& cookies, const QByteArray& name) {
    for (const QByteArray& part : cookies.split(';')) {
        const QByteArray pair = part.trimmed();
        if (pair.startsWith(name + '='))
            return pair.mid(name.size() + 1);
    }
    return {};
}

// The request line and header fields of a head (its blank line taken off); nothing
// when it is no HTTP/1 request.
struct Head {
    QByteArray method, target;
    QList<QPair<QByteArray, QByteArray>> headers;
    bool http10 = false;
};
std::optional<Head> parseHead(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    while (!lines.isEmpty() && lines.front().isEmpty())
        lines.removeFirst(); // blank lines may come before a request
    if (lines.isEmpty())
        return std::nullopt;
    const QList<QByteArray> parts = lines.takeFirst().split(' ');
    if (parts.size() != 3 || parts[0].isEmpty() || !parts[1].startsWith('/') ||
        (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0"))
        return std::nullopt;
    for (char c : parts[0])
        if (c < 'A' || c > 'Z')
            return std::nullopt;
    Head head{parts[0], parts[1], {}, parts[2] == "HTTP/1.0"};
    for (const QByteArray& line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon).contains(' ') || line.left(colon).contains('\t'))
            return std::nullopt;
        head.headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }
    return head;
}

QString pathOf(const QByteArray& target) {
    const qsizetype question = target.indexOf('?');
    return QUrl::fromPercentEncoding(question < 0 ? target : target.left(question));
}

} // namespace

QByteArray WebServer::Request::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

WebServer::WebServer(RotatorSession& session, Aiming& aiming, QObject* parent)
    : ServiceServer(parent), m_session(session), m_aiming(aiming), m_clock([] {
          return std::chrono::duration_cast<milliseconds>(
              std::chrono::steady_clock::now().time_since_epoch());
      }),
      m_handoff(new Handoff(this)),
      m_http(
          new Dispatcher([this](const QHttpServerRequest& request,
                                QHttpServerResponder& responder) { respond(request, responder); },
                         this)),
      m_webSocketServer(
          new QWebSocketServer(QStringLiteral("AZIVEX"), QWebSocketServer::NonSecureMode, this)) {
    quietly([this] { m_http->bind(m_handoff); });
    connect(m_webSocketServer, &QWebSocketServer::newConnection, this, &WebServer::takeWebSockets);
    for (auto changed : {&RotatorSession::headingChanged, &RotatorSession::commandedChanged})
        connect(&m_session, changed, this, &WebServer::schedulePush);
    for (auto changed : {&RotatorSession::openChanged, &RotatorSession::answeringChanged})
        connect(&m_session, changed, this, &WebServer::schedulePush);
    for (auto changed : {&RotatorSession::positionChanged, &RotatorSession::rangeChanged})
        connect(&m_session, changed, this, &WebServer::schedulePush);
    connect(&m_session, &RotatorSession::commandFailed, this, [this](const QString& reason) {
        m_failure = reason;
        setStatus(reason);
    });
    connect(&m_aiming, &Aiming::settingsChanged, this, &WebServer::schedulePush);
    connect(&m_aiming, &Aiming::statusWanted, this, &WebServer::setStatus);
    connect(&m_sweep, &QTimer::timeout, this, &WebServer::sweep);
    m_sweep.start(1000);
}

WebServer::~WebServer() = default;

void WebServer::setToken(const QString& token) {
    const QByteArray bytes = token.toUtf8();
    if (bytes == m_token)
        return;
    m_token = bytes;
    dropClients();
}

void WebServer::dropClients() {
    // Out of the books first, so nothing they still send is acted on.
    const QList<QWebSocket*> webSockets = m_webSockets.keys();
    m_webSockets.clear();
    for (QWebSocket* client : webSockets)
        client->close(QWebSocketProtocol::CloseCodePolicyViolated);
    const QList<QTcpSocket*> connections = m_connections.keys();
    m_connections.clear();
    for (QTcpSocket* socket : connections)
        socket->abort();
    updateClients();
}

QString WebServer::setCertificate(const QString& certPath, const QString& keyPath) {
    if (certPath.isEmpty() && keyPath.isEmpty()) {
        m_tls.reset();
        return {};
    }
    QFile certFile(certPath), keyFile(keyPath);
    if (!certFile.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(certPath, certFile.errorString());
    if (!keyFile.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(keyPath, keyFile.errorString());
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certFile.readAll(), QSsl::Pem);
    if (chain.isEmpty())
        return QStringLiteral("%1: no PEM certificate").arg(certPath);
    const QByteArray keyText = keyFile.readAll();
    QSslKey key(keyText, QSsl::Rsa, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(keyText, QSsl::Ec, QSsl::Pem);
    if (key.isNull())
        return QStringLiteral("%1: no PEM private key (RSA or EC, unencrypted)").arg(keyPath);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_tls = tls;
    return {};
}

bool WebServer::listen(const QHostAddress& address, quint16 port) {
    delete m_listener;
    if (m_tls) {
        auto* tls = new QSslServer(this);
        tls->setSslConfiguration(*m_tls);
        m_listener = tls;
    } else {
        m_listener = new QTcpServer(this);
    }
    connect(m_listener, &QTcpServer::pendingConnectionAvailable, this,
            &WebServer::acceptConnections);
    if (m_listener->listen(address, port)) {
        m_error.clear();
        return true;
    }
    m_error = m_listener->errorString();
    delete m_listener;
    m_listener = nullptr;
    return false;
}

QString WebServer::serve(const QString& endpoint) {
    delete m_listener;
    m_listener = nullptr;
    m_error.clear();
    dropClients();
    if (endpoint.isEmpty())
        return {};
    const auto where = Endpoint::parse(endpoint);
    if (!where)
        return m_error = QStringLiteral("not [ADDRESS:]PORT");
    return listen(where->first, where->second) ? QString() : m_error;
}

quint16 WebServer::port() const {
    return m_listener ? m_listener->serverPort() : 0;
}

void WebServer::setMapSource(std::function<QImage()> source) {
    m_mapSource = std::move(source);
    setMapVersion(m_mapVersion + 1);
}

void WebServer::setMapVersion(int version) {
    m_mapVersion = version;
    m_mapSize.reset();
    m_mapPng.clear();
    schedulePush();
}

void WebServer::setStatus(const QString& text) {
    m_status = text;
    schedulePush();
}

QJsonObject WebServer::state() {
    if (!m_mapSize)
        m_mapSize = m_mapSource ? m_mapSource().size() : QSize(0, 0);
    WebState::Extras extras{m_aiming.parkAzimuth(), presets(), m_mapVersion, *m_mapSize, m_status};
    return WebState::state(m_session, extras);
}

// The connections, as they come.

void WebServer::acceptConnections() {
    while (QTcpSocket* socket = m_listener->nextPendingConnection()) {
        socket->setParent(this); // it stays when another address is served
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (m_connections.size() >= maxConnections) {
            refuse(socket, {503, errorBody(QStringLiteral("too many clients"))},
                   QStringLiteral("connection"));
            continue;
        }
        // Whatever a request may bring, and no more, waits in memory.
        socket->setReadBufferSize(maxHeadBytes + maxBodyBytes + 1);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_connections.insert(socket, {m_clock()});
        connect(socket, &QObject::destroyed, this, [this, socket] {
            if (m_connections.remove(socket))
                updateClients();
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            auto it = m_connections.find(socket);
            if (it == m_connections.end())
                return;
            it->lastActive = m_clock();
            if (!it->handedOver)
                readHead(socket);
        });
        updateClients();
        if (socket->bytesAvailable() > 0)
            readHead(socket);
    }
}

void WebServer::refuse(QTcpSocket* socket, const Reply& reply, const QString& what) {
    ++m_counters.ignored;
    m_counters.lastIgnored = printableText(QStringLiteral("%1 %2").arg(reply.status).arg(what));
    emit countersChanged(m_counters);
    QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' +
                          reasons().value(reply.status) + "\r\nContent-Type: " + reply.contentType +
                          "\r\nContent-Length: " + QByteArray::number(reply.body.size()) +
                          "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + reply.body;
    if (auto it = m_connections.find(socket); it != m_connections.end())
        it->handedOver = true; // nothing more is read from it
    socket->write(response);
    socket->disconnectFromHost();
}

void WebServer::readHead(QTcpSocket* socket) {
    const QByteArray seen = socket->peek(maxHeadBytes + 4);
    const qsizetype end = seen.indexOf("\r\n\r\n");
    if (end < 0 || end > maxHeadBytes) {
        if (seen.size() > maxHeadBytes)
            refuse(socket, {431, errorBody(QStringLiteral("request head over 8 KiB"))},
                   QStringLiteral("head"));
        return;
    }
    const std::optional<Head> head = parseHead(seen.left(end));
    if (!head) {
        refuse(socket, {400, errorBody(QStringLiteral("not an HTTP/1 request"))},
               QString::fromLatin1(seen.left(std::min<qsizetype>(end, 40))));
        return;
    }
    Request request{head->method,  pathOf(head->target),  QUrlQuery(),
                    head->headers, socket->peerAddress(), m_tls.has_value()};
    if (const qsizetype q = head->target.indexOf('?'); q >= 0)
        request.query = QUrlQuery(QString::fromUtf8(head->target.mid(q + 1)));
    const QString what = QString::fromLatin1(request.method) + u' ' + request.path;
    if (request.header("upgrade").compare("websocket", Qt::CaseInsensitive) != 0) {
        bool sized = false;
        const QByteArray length = request.header("content-length");
        if (!request.header("transfer-encoding").isEmpty()) {
            refuse(socket, {411, errorBody(QStringLiteral("send the body with a Content-Length"))},
                   what);
        } else if (!length.isEmpty() && (length.toLongLong(&sized) > maxBodyBytes || !sized)) {
            refuse(socket, {413, errorBody(QStringLiteral("body over 4 KiB"))}, what);
        } else {
            Connection& connection = m_connections[socket];
            connection.handedOver = true;
            // HTTP/1.0 closes after each answer unless asked not to.
            connection.closeAfterReply =
                head->http10 &&
                request.header("connection").compare("keep-alive", Qt::CaseInsensitive) != 0;
            static_cast<Handoff*>(m_handoff)->take(socket);
            emit socket->readyRead();
        }
        return;
    }
    std::optional<Reply> refusal = admit(request);
    if (!refusal && request.path != u"/ws")
        refusal = Reply{404, errorBody(QStringLiteral("WebSockets are served at /ws"))};
    if (!refusal && webSocketCount() >= maxWebSockets)
        refusal = Reply{503, errorBody(QStringLiteral("too many WebSocket clients"))};
    if (refusal) {
        refuse(socket, *refusal, what);
        return;
    }
    // The WebSocket takes the connection over, and frees it when it ends, however
    // it ends; its place counts as long as it is open.
    m_connections.remove(socket);
    socket->disconnect(this);
    m_upgraded.append(socket);
    m_webSocketServer->handleConnection(socket);
    emit socket->readyRead();
}

void WebServer::updateClients() {
    m_counters.clients = int(m_connections.size() + m_webSockets.size());
    emit countersChanged(m_counters);
}

int WebServer::webSocketCount() const {
    return int(std::count_if(m_upgraded.cbegin(), m_upgraded.cend(), [](const auto& socket) {
        return socket && socket->state() != QAbstractSocket::UnconnectedState;
    }));
}

void WebServer::sweep() {
    const milliseconds now = m_clock();
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it)
        if (now - it->lastActive >= idleLimit)
            it.key()->abort();
    for (auto it = m_webSockets.begin(); it != m_webSockets.end(); ++it) {
        if (now - it->heard >= webSocketSilence) {
            it.key()->abort();
        } else if (now - it->pinged >= pingInterval) {
            it.key()->ping();
            it->pinged = now;
        }
    }
    m_upgraded.removeIf([](const auto& socket) {
        return !socket || socket->state() == QAbstractSocket::UnconnectedState;
    });
    for (auto it = m_failures.begin(); it != m_failures.end();)
        it = now - it->since >= failedTokenWindow ? m_failures.erase(it) : std::next(it);
    for (auto it = m_posts.begin(); it != m_posts.end();)
        it = it->second != now.count() / 1000 ? m_posts.erase(it) : std::next(it);
}

// The rules every request passes.

std::optional<WebServer::Reply> WebServer::admit(const Request& request, bool* tokenInQuery) {
    const QString address = request.peer.toString();
    const milliseconds now = m_clock();
    auto failures = m_failures.find(address);
    if (failures != m_failures.end() && now - failures->since >= failedTokenWindow) {
        m_failures.erase(failures);
        failures = m_failures.end();
    }
    if (failures != m_failures.end() && failures->count >= maxFailedTokens)
        return Reply{429, errorBody(QStringLiteral("too many wrong tokens; try again later"))};
    QByteArray given;
    bool fromQuery = false;
    const QByteArray authorization = request.header("authorization");
    if (authorization.left(7).compare("Bearer ", Qt::CaseInsensitive) == 0)
        given = authorization.mid(7).trimmed();
    else if ((fromQuery = request.query.hasQueryItem(QStringLiteral("token"))))
        given = request.query.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded).toUtf8();
    else
        given = cookieValue(request.header("cookie"), cookieName);
    if (!sameToken(given, m_token)) {
        if (!given.isEmpty()) {
            if (failures == m_failures.end()) {
                if (m_failures.size() >= 4096)
                    m_failures.clear(); // a flood of addresses: forget rather than grow
                failures = m_failures.insert(address, {now, 0});
            }
            ++failures->count;
        }
        return Reply{401, errorBody(given.isEmpty() ? QStringLiteral("the token is missing")
                                                    : QStringLiteral("wrong token"))};
    }
    const QByteArray origin = request.header("origin");
    if ((request.method == "POST" || !request.header("upgrade").isEmpty()) && !origin.isEmpty() &&
        origin.compare((request.secure ? "https://" : "http://") + request.header("host"),
                       Qt::CaseInsensitive) != 0)
        return Reply{403, errorBody(QStringLiteral("requests from another origin are refused"))};
    if (tokenInQuery)
        *tokenInQuery = fromQuery;
    return std::nullopt;
}

bool WebServer::tooFast(Pace& pace) {
    const qint64 second = m_clock().count() / 1000;
    if (pace.second != second)
        pace = {second, 0};
    return ++pace.count > maxCommandsPerSecond;
}

// HTTP requests.

void WebServer::respond(const QHttpServerRequest& qtRequest, QHttpServerResponder& responder) {
    const QByteArray method =
        QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(qtRequest.method()));
    Request request{method.toUpper(),    qtRequest.url().path(),    qtRequest.query(),
                    qtRequest.headers(), qtRequest.remoteAddress(), m_tls.has_value()};
    const Reply reply = answer(request, qtRequest.body());
    count(reply.status, request);
    responder.writeStatusLine(QHttpServerResponder::StatusCode(reply.status));
    responder.writeHeader("Content-Type", reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeHeader("Cache-Control",
                          reply.contentType == "application/json" ? "no-store" : "no-cache");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Referrer-Policy", "no-referrer"); // the token may be in the address
    responder.writeHeader("X-Frame-Options", "DENY");
    if (reply.setCookie)
        responder.writeHeader("Set-Cookie", cookieName + '=' + m_token +
                                                "; Path=/; HttpOnly; SameSite=Strict" +
                                                (request.secure ? "; Secure" : ""));
    // Qt's server keeps every connection open; a client that asks otherwise, or
    // reads to the end, would wait for the idle limit.
    const bool close = request.header("connection").compare("close", Qt::CaseInsensitive) == 0 ||
                       m_connections.value(responder.socket()).closeAfterReply;
    if (close)
        responder.writeHeader("Connection", "close");
    responder.writeBody(reply.body);
    if (close)
        responder.socket()->disconnectFromHost();
}

void WebServer::count(int status, const Request& request) {
    if (status < 400) {
        ++m_counters.handled;
    } else {
        ++m_counters.ignored;
        m_counters.lastIgnored =
            printableText(QStringLiteral("%1 %2 %3")
                              .arg(status)
                              .arg(QString::fromLatin1(request.method), request.path.left(60)));
    }
    emit countersChanged(m_counters);
}

WebServer::Reply WebServer::answer(const Request& request, const QByteArray& body) {
    bool setCookie = false;
    if (std::optional<Reply> refusal = admit(request, &setCookie))
        return *refusal;
    const bool get = request.method == "GET";
    const QString& path = request.path;
    Reply reply;
    static const QStringList commands{"aim", "turn", "stop", "park", "preset", "step"};
    if (path.startsWith(u"/api/")) {
        const QString name = path.mid(5);
        if (name == u"state")
            reply = get ? Reply{200, QJsonDocument(state()).toJson(QJsonDocument::Compact)}
                        : Reply{405, errorBody(QStringLiteral("GET only"))};
        else if (commands.contains(name))
            reply = request.method == "POST" ? command(request, name, body)
                                             : Reply{405, errorBody(QStringLiteral("POST only"))};
        else
            reply = {404, errorBody(QStringLiteral("no such API"))};
    } else if (path == u"/ws") {
        reply = {426, errorBody(QStringLiteral("a WebSocket upgrade is wanted here"))};
    } else if (!get) {
        reply = {405, errorBody(QStringLiteral("GET only"))};
    } else if (path == u"/map.png") {
        reply = mapPicture();
    } else {
        reply = staticFile(path);
    }
    reply.setCookie = setCookie;
    return reply;
}

WebServer::Reply WebServer::command(const Request& request, const QString& name,
                                    const QByteArray& body) {
    if (body.size() > maxBodyBytes)
        return {413, errorBody(QStringLiteral("body over 4 KiB"))};
    const QByteArray type = request.header("content-type").split(';').front().trimmed();
    if (!body.isEmpty() && type.compare("application/json", Qt::CaseInsensitive) != 0)
        return {415, errorBody(QStringLiteral("send the body as application/json"))};
    if (tooFast(m_posts[request.peer.toString()]))
        return {429, errorBody(QStringLiteral("too many commands a second"))};
    QJsonParseError error{};
    const QJsonDocument document =
        body.isEmpty() ? QJsonDocument(QJsonObject()) : QJsonDocument::fromJson(body, &error);
    if (!document.isObject())
        return {400, errorBody(error.error != QJsonParseError::NoError
                                   ? QStringLiteral("malformed JSON: %1").arg(error.errorString())
                                   : QStringLiteral("the body must be a JSON object"))};
    const WebState::Parsed parsed = WebState::fromRequest(name, document.object());
    if (!parsed.command)
        return {400, errorBody(parsed.error)};
    const auto [status, answer] = execute(*parsed.command);
    return {status, QJsonDocument(answer).toJson(QJsonDocument::Compact)};
}

WebServer::Reply WebServer::staticFile(const QString& path) const {
    const QString name = path == u"/" ? QStringLiteral("/index.html") : path;
    if (name.split(u'/').contains(u"..") || name.contains(u'\\'))
        return {404, errorBody(QStringLiteral("no such file"))};
    QFile file(QStringLiteral(":/web") + name);
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return {404, errorBody(QStringLiteral("no such file"))};
    static const QHash<QString, QByteArray> types{{"html", "text/html; charset=utf-8"},
                                                  {"js", "text/javascript; charset=utf-8"},
                                                  {"css", "text/css; charset=utf-8"},
                                                  {"json", "application/json"},
                                                  {"svg", "image/svg+xml"},
                                                  {"png", "image/png"},
                                                  {"webmanifest", "application/manifest+json"},
                                                  {"ico", "image/x-icon"}};
    QByteArray type = types.value(QFileInfo(name).suffix().toLower());
    if (type.isEmpty())
        type =
            QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension).name().toLatin1();
    return {200, file.readAll(), type};
}

WebServer::Reply WebServer::mapPicture() {
    if (m_mapPng.isEmpty() && m_mapSource) {
        const QImage picture = m_mapSource();
        QBuffer buffer(&m_mapPng);
        buffer.open(QIODevice::WriteOnly);
        if (picture.isNull() || !picture.save(&buffer, "PNG"))
            m_mapPng.clear();
    }
    if (m_mapPng.isEmpty())
        return {404, errorBody(QStringLiteral("no map picture"))};
    return {200, m_mapPng, "image/png"};
}

// Commands.

std::pair<int, QJsonObject> WebServer::execute(const WebState::Command& c) {
    using Kind = WebState::Command::Kind;
    using AimResult = RotatorSession::AimResult;
    const bool open = m_session.link().isOpen();
    m_failure.clear();
    AimResult result = AimResult::Sent;
    switch (c.kind) {
    case Kind::Aim:
        result = m_aiming.aimAtTarget(c.target, c.longPath);
        break;
    case Kind::Turn:
    case Kind::Stop: {
        const bool sent = c.kind == Kind::Stop ? m_session.stop()
                          : c.clockwise        ? m_session.turnCw()
                                               : m_session.turnCcw();
        result = sent ? AimResult::Sent : open ? AimResult::Refused : AimResult::PortClosed;
        break;
    }
    case Kind::Park:
        result = m_aiming.park();
        break;
    case Kind::Preset:
        result = m_aiming.aimAtPreset(c.number);
        break;
    case Kind::Step:
        if (c.number > 0)
            m_session.stepCw();
        else
            m_session.stepCcw();
        result = !open                 ? AimResult::PortClosed
                 : m_failure.isEmpty() ? AimResult::Sent
                                       : AimResult::OutOfRange;
        break;
    }
    const int status = WebState::statusOf(result);
    if (status == 200) {
        QJsonObject answer = WebState::echo(c);
        answer.insert(QStringLiteral("commanded"), m_session.commanded());
        return {status, answer};
    }
    QString why;
    switch (result) {
    case AimResult::PortClosed:
        why = QStringLiteral("the controller's port is closed");
        break;
    case AimResult::Refused:
        why = QStringLiteral("the controller takes no more commands for now");
        break;
    case AimResult::NoCommand:
        why = QStringLiteral("the target has no go-to command");
        break;
    case AimResult::OutOfRange:
        why = m_failure.isEmpty() ? QStringLiteral("outside the rotation range") : m_failure;
        break;
    default:
        why = c.kind == Kind::Park     ? QStringLiteral("no park azimuth is set")
              : c.kind == Kind::Preset ? QStringLiteral("no preset %1").arg(c.number)
                                       : QStringLiteral("not a place known");
    }
    return {status, QJsonObject{{"error", why}}};
}

// WebSockets.

void WebServer::takeWebSockets() {
    while (QWebSocket* client = m_webSocketServer->nextPendingConnection()) {
        client->setParent(this);
        client->setMaxAllowedIncomingMessageSize(maxBodyBytes);
        client->setMaxAllowedIncomingFrameSize(maxBodyBytes);
        m_webSockets.insert(client, {{}, m_clock(), m_clock()});
        connect(client, &QWebSocket::pong, this, [this, client] {
            if (auto it = m_webSockets.find(client); it != m_webSockets.end())
                it->heard = m_clock();
        });
        connect(client, &QWebSocket::textMessageReceived, this,
                [this, client](const QString& text) { readMessage(client, text); });
        connect(client, &QWebSocket::binaryMessageReceived, this,
                [this, client] { readMessage(client, {}); });
        connect(client, &QWebSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QObject::destroyed, this, [this, client] {
            m_webSockets.remove(client);
            updateClients();
        });
        updateClients();
        client->sendTextMessage(
            QString::fromUtf8(QJsonDocument(state()).toJson(QJsonDocument::Compact)));
    }
}

void WebServer::readMessage(QWebSocket* client, const QString& text) {
    auto it = m_webSockets.find(client);
    if (it == m_webSockets.end())
        return;
    it->heard = m_clock();
    Request request{"WS", QStringLiteral("/ws"), {}, {}, client->peerAddress(), false};
    int status = 400;
    QJsonObject answer;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (tooFast(it->pace)) {
        status = 429;
        answer = {{"error", "too many commands a second"}};
    } else if (!document.isObject()) {
        answer = {{"error", text.isEmpty() ? QStringLiteral("send JSON text")
                                           : QStringLiteral("not a JSON object")}};
    } else if (const WebState::Parsed parsed = WebState::fromMessage(document.object());
               !parsed.command) {
        answer = {{"error", parsed.error}};
    } else {
        std::tie(status, answer) = execute(*parsed.command);
    }
    count(status, request);
    client->sendTextMessage(
        QString::fromUtf8(QJsonDocument(QJsonObject{{"reply", answer}, {"status", status}})
                              .toJson(QJsonDocument::Compact)));
    client->flush();
}

void WebServer::schedulePush() {
    if (m_pushPending)
        return;
    m_pushPending = true;
    // One push for the several changes a reply makes (heading, position), after the
    // window's repaint: the operator at the rotator is served first.
    QCoreApplication::postEvent(this, new QEvent(pushEvent), Qt::LowEventPriority);
}

bool WebServer::event(QEvent* event) {
    if (event->type() != pushEvent)
        return ServiceServer::event(event);
    push();
    return true;
}

void WebServer::push() {
    m_pushPending = false;
    if (m_webSockets.isEmpty())
        return;
    const QByteArray json = QJsonDocument(state()).toJson(QJsonDocument::Compact);
    if (json == m_lastPushed)
        return;
    m_lastPushed = json;
    const QString text = QString::fromUtf8(json);
    for (QWebSocket* client : m_webSockets.keys()) {
        if (client->bytesToWrite() > maxUnsentBytes) {
            client->abort(); // it does not read what it is sent
            continue;
        }
        client->sendTextMessage(text);
        client->flush();
    }
}

QList<WebState::Preset> WebServer::presets() const {
    QList<WebState::Preset> list;
    for (const Aiming::Preset& p : m_aiming.presets())
        list.append({p.name, p.target});
    return list;
}
