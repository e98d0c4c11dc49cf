// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The web server on the loopback, the core on a pseudo-terminal controller: statuses,
// tokens, limits, pushes, and every command's bytes on the line beside the window's.
#include "core/application/operatingcore.h"
#include "core/links/nativelink.h"
#include "net/web/webserver.h"
#include "pseudoterminal.h"
#include "sessionrig.h"
#include "testfiles.h"

#include <QDir>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>

namespace {
struct Answer {
    int status = 0;
    QByteArray head, body;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};
const QByteArray token = "0123456789abcdef0123456789abcdef";
const QByteArray bearer = "Authorization: Bearer " + token + "\r\n";
} // namespace

class TestWebServer : public QObject {
    Q_OBJECT
    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<OperatingCore> m_core;
    std::unique_ptr<WebServer> m_server;
    std::chrono::milliseconds m_now{1000000};

    QByteArray line() { return controllerLine(m_core->session(), m_folder->pty); }
    // The answer to a request that closes its connection.
    Answer ask(const QByteArray& raw) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_server->port());
        socket.write(raw);
        const bool closed =
            QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; });
        const QByteArray got = socket.readAll();
        const qsizetype end = got.indexOf("\r\n\r\n");
        return {closed ? got.mid(9, 3).toInt() : 0, got.left(end), got.mid(end + 4)};
    }
    Answer request(const QByteArray& method, const QByteArray& path, const QByteArray& body = {},
                   const QByteArray& headers = bearer) {
        QByteArray raw = method + ' ' + path +
                         " HTTP/1.1\r\nConnection: close\r\nHost: 127.0.0.1:" +
                         QByteArray::number(m_server->port()) + "\r\n" + headers;
        if (!body.isEmpty() || method == "POST")
            raw += "Content-Type: application/json\r\nContent-Length: " +
                   QByteArray::number(body.size()) + "\r\n";
        return ask(raw + "\r\n" + body);
    }
    QJsonObject m_reply; // the last reply any client received
    // A client, the last state it received kept in `last`.
    std::unique_ptr<QWebSocket> webSocket(QJsonObject& last) {
        auto client = std::make_unique<QWebSocket>();
        connect(client.get(), &QWebSocket::textMessageReceived, this,
                [this, &last](const QString& t) {
                    (t.startsWith(u"{\"reply\"") ? m_reply : last) =
                        QJsonDocument::fromJson(t.toUtf8()).object();
                });
        client->open(
            QUrl(QString::fromLatin1("ws://127.0.0.1:%1/ws?token=" + token).arg(m_server->port())));
        return client;
    }
    // What the window's own action sends, with the target it starts from.
    QByteArray windowSends(const QString& action) {
        RotatorSession& s = m_core->session();
        s.setCommanded(QStringLiteral("100"));
        const QString arg = action.section(u' ', 1);
        // clang-format off
        const QHash<QString, std::function<void()>> press{
            {"aim", [&] { m_core->aiming().aimAtTarget(arg, false); }}, {"aimlong", [&] { m_core->aiming().aimAtTarget(arg, true); }},
            {"cw", [&] { s.turnCw(); }}, {"stop", [&] { s.stop(); }}, {"park", [&] { s.park(); }},
            {"+10", [&] { s.stepCw(); }}, {"-10", [&] { s.stepCcw(); }}};
        // clang-format on
        press.value(action.section(u' ', 0, 0))();
        return line();
    }

  private slots:
    void init() {
        m_folder = std::make_unique<WorkingFolder>();
        QVERIFY(m_folder->enter());
        QVERIFY(writeFile("AZIVEX.DAT", "3,9600,N,8,1:0-0/0\r\n"));
        QVERIFY(writeFile("AZIVEX.INI",
                          "[station]\nlocator=PM95vq\n[aim]\npark=200\npreset1=Home|JN58\n"));
        m_core = std::make_unique<OperatingCore>();
        QVERIFY(m_core->start());
        m_server = std::make_unique<WebServer>(m_core->session(), m_core->aiming());
        m_server->setToken(QString::fromLatin1(token));
        m_server->setClock([this] { return m_now; });
        QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
        m_folder->pty.write(QByteArray("AZ=100\r\n").repeated(4)); // the settings line waits in front
        QTRY_VERIFY(m_core->session().headingKnown());
        line();
    }
    void cleanup() {
        m_server.reset();
        m_core.reset();
        m_folder.reset();
    }

    void routes_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("window");  // what the window does to send the same; "" nothing
        QTest::addColumn<QByteArray>("says"); // in the answer's body
        // clang-format off
        QTest::addRow("state") << QByteArray("GET") << QByteArray("/api/state") << QByteArray() << 200 << "" << QByteArray(R"("park":200,"position":100,"presets":[{"name":"Home","number":1,"target":"JN58"}])");
        QTest::addRow("page file") << QByteArray("GET") << QByteArray("/probe.js") << QByteArray() << 200 << "" << QByteArray("console.log");
        QTest::addRow("out of the folder") << QByteArray("GET") << QByteArray("/%2e%2e/web/probe.js") << QByteArray() << 404 << "" << QByteArray("no such file");
        QTest::addRow("aim locator") << QByteArray("POST") << QByteArray("/api/aim") << QByteArray(R"({"target":"JN58"})") << 200 << "aim JN58" << QByteArray("\"aim\":\"JN58\"");
        QTest::addRow("aim degrees, long") << QByteArray("POST") << QByteArray("/api/aim") << QByteArray(R"({"target":123.5,"path":"long"})") << 200 << "aimlong 123.5" << QByteArray("\"path\":\"long\"");
        QTest::addRow("aim nowhere") << QByteArray("POST") << QByteArray("/api/aim") << QByteArray(R"({"target":"nowhere at all"})") << 422 << "" << QByteArray("not a place known");
        QTest::addRow("turn cw") << QByteArray("POST") << QByteArray("/api/turn") << QByteArray(R"({"direction":"cw"})") << 200 << "cw" << QByteArray("\"turn\":\"cw\"");
        QTest::addRow("turn up") << QByteArray("POST") << QByteArray("/api/turn") << QByteArray(R"({"direction":"up"})") << 400 << "" << QByteArray("direction");
        QTest::addRow("stop, no body") << QByteArray("POST") << QByteArray("/api/stop") << QByteArray() << 200 << "stop" << QByteArray("\"stop\":true");
        QTest::addRow("park") << QByteArray("POST") << QByteArray("/api/park") << QByteArray("{}") << 200 << "park" << QByteArray("\"commanded\":\"200\"");
        QTest::addRow("preset 1") << QByteArray("POST") << QByteArray("/api/preset") << QByteArray(R"({"number":1})") << 200 << "aim JN58" << QByteArray("\"preset\":1");
        QTest::addRow("preset 2 unset") << QByteArray("POST") << QByteArray("/api/preset") << QByteArray(R"({"number":2})") << 422 << "" << QByteArray("no preset 2");
        QTest::addRow("preset 0") << QByteArray("POST") << QByteArray("/api/preset") << QByteArray(R"({"number":0})") << 400 << "" << QByteArray("number");
        QTest::addRow("step +10") << QByteArray("POST") << QByteArray("/api/step") << QByteArray(R"({"by":10})") << 200 << "+10" << QByteArray("\"commanded\":\"110\"");
        QTest::addRow("step -10") << QByteArray("POST") << QByteArray("/api/step") << QByteArray(R"({"by":-10})") << 200 << "-10" << QByteArray("\"step\":-10");
        QTest::addRow("step 5") << QByteArray("POST") << QByteArray("/api/step") << QByteArray(R"({"by":5})") << 400 << "" << QByteArray("10 or -10");
        QTest::addRow("malformed JSON") << QByteArray("POST") << QByteArray("/api/aim") << QByteArray("{\"target\":") << 400 << "" << QByteArray("malformed JSON");
        QTest::addRow("body over 4 KiB") << QByteArray("POST") << QByteArray("/api/aim") << QByteArray(5000, ' ') << 413 << "" << QByteArray("4 KiB");
        QTest::addRow("aim by GET") << QByteArray("GET") << QByteArray("/api/aim") << QByteArray() << 405 << "" << QByteArray("POST only");
        QTest::addRow("unknown API") << QByteArray("GET") << QByteArray("/api/reboot") << QByteArray() << 404 << "" << QByteArray("no such API");
        // clang-format on
    }
    void routes() {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, window);
        QFETCH(QByteArray, says);
        m_core->session().setCommanded(QStringLiteral("100"));
        const Answer a = request(method, path, body);
        QCOMPARE(a.status, status);
        QVERIFY2(a.body.contains(says), a.body.constData());
        const QByteArray sent = line();
        QCOMPARE(sent, window.isEmpty() ? QByteArray() : windowSends(window));
        QCOMPARE(sent.isEmpty(), window.isEmpty());
    }

    // Requests refused, and the token rules: TOKEN and PORT stand for the server's.
    void refusals_data() {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<int>("status");
        const auto get = [](const QByteArray& target, const QByteArray& headers) {
            return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\n" + headers + "\r\n";
        };
        const QByteArray post = "POST /api/stop HTTP/1.1\r\nHost: 127.0.0.1:PORT\r\n" + bearer;
        // clang-format off
        const QByteArray upgrade = "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";
        QTest::addRow("header, HTTP/1.0") << "GET /api/state HTTP/1.0\r\n" + bearer + "\r\n" << 200; // closed after
        QTest::addRow("query") << get("/api/state?token=TOKEN", {}) << 200;
        QTest::addRow("cookie") << get("/api/state", "Cookie: a=1; azivex_token=TOKEN\r\n") << 200;
        QTest::addRow("missing") << get("/api/state", {}) << 401;
        QTest::addRow("wrong") << get("/api/state", "Authorization: Bearer 1" + token.mid(1) + "\r\n") << 401;
        QTest::addRow("POST, same origin") << post + "Origin: http://127.0.0.1:PORT\r\n\r\n" << 200;
        QTest::addRow("POST, other origin") << post + "Origin: http://evil.example\r\n\r\n" << 403;
        QTest::addRow("upgrade, no token") << get("/ws", upgrade) << 401;
        QTest::addRow("upgrade, other origin") << get("/ws", upgrade + bearer + "Origin: http://evil.example\r\n") << 403;
        QTest::addRow("garbage") << QByteArray("\x16\x03\x01 hello\r\n\r\n") << 400;
        QTest::addRow("head too long") << get("/", "X: " + QByteArray(9000, 'a') + "\r\n") << 431;
        QTest::addRow("huge body") << QByteArray("POST /api/aim HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n{") << 413;
        QTest::addRow("chunked") << QByteArray("POST /api/aim HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n") << 411;
        QTest::addRow("malformed JSON") << post + "Content-Type: application/json\r\nContent-Length: 1\r\n\r\n{" << 400;
        QTest::addRow("text body") << post + "Content-Type: text/plain\r\nContent-Length: 2\r\n\r\n{}" << 415;
        // clang-format on
    }
    void refusals() {
        QFETCH(QByteArray, raw);
        QFETCH(int, status);
        raw.replace("TOKEN", token).replace("PORT", QByteArray::number(m_server->port()));
        QSignalSpy counted(m_server.get(), &ServiceServer::countersChanged);
        const Answer a = ask(raw.replace("HTTP/1.1\r\n", "HTTP/1.1\r\nConnection: close\r\n"));
        QCOMPARE(a.status, status);
        QCOMPARE(counted.last().front().value<ServiceCounters>().ignored, status == 200 ? 0 : 1);
        QCOMPARE(a.head.contains("Set-Cookie: azivex_token=" + token +
                                 "; Path=/; HttpOnly; SameSite=Strict"),
                 raw.contains("?token=") && status == 200);
        if (status == 401)
            QCOMPARE(a.json().keys(), QStringList{"error"});
        QCOMPARE(request("GET", "/api/state").status, 200); // the server still serves
        QCOMPARE(line(), QByteArray(status == 200 && raw.startsWith("POST") ? "A\r\n" : ""));
        m_server->setToken({}); // no token: nothing passes
        QCOMPARE(request("GET", "/api/state").status, 401);
    }

    void limits() {
        QTcpSocket idle; // taken by the server before the requests below
        idle.connectToHost(QHostAddress::LocalHost, m_server->port());
        QVERIFY(idle.waitForConnected());
        for (int i = 0; i < WebServer::maxFailedTokens; ++i)
            QCOMPARE(request("GET", "/api/state", {}, "Authorization: Bearer x\r\n").status, 401);
        QCOMPARE(request("GET", "/api/state").status, 429); // even the right one, for a while
        m_now += WebServer::failedTokenWindow;
        QCOMPARE(request("GET", "/api/state").status, 200);
        int tooMany = 0;
        for (int i = 0; i < WebServer::maxCommandsPerSecond + 5; ++i)
            tooMany += request("POST", "/api/stop").status == 429;
        QCOMPARE(tooMany, 5);
        QTRY_COMPARE(idle.state(), QAbstractSocket::UnconnectedState); // idle since the clock moved
    }

    void webSockets() {
        std::vector<QJsonObject> last(WebServer::maxWebSockets); // outlives the clients
        std::vector<std::unique_ptr<QWebSocket>> clients;
        for (QJsonObject& state : last)
            clients.push_back(webSocket(state));
        QTRY_VERIFY(std::all_of(last.begin(), last.end(),
                                [](const QJsonObject& o) { return o["heading"] == 100; }));
        const QByteArray upgrade =
            "GET /ws HTTP/1.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n";
        QCOMPARE(ask(upgrade + bearer + "\r\n").status, 503); // the 33rd
        clients.back().reset(); // its place is free again once it has gone
        QTRY_COMPARE(m_server->webSocketCount(), WebServer::maxWebSockets - 1);
        clients.back() = webSocket(last.back() = QJsonObject());
        m_folder->pty.write("AZ=123\r\n");
        QTRY_VERIFY(std::all_of(last.begin(), last.end(),
                                [](const QJsonObject& o) { return o["heading"] == 123; }));

        auto tell = [&](const QByteArray& message) {
            m_reply = {};
            clients.front()->sendTextMessage(QString::fromUtf8(message));
            (void)QTest::qWaitFor([&] { return !m_reply.isEmpty(); });
            return m_reply;
        };
        QCOMPARE(tell(R"({"aim":"JN58"})")["status"], 200);
        QCOMPARE(line(), QByteArray("M329\r\n")); // as the window's, in routes
        m_core->session().toggleConnection();
        QCOMPARE(tell(R"({"park":true})")["status"], 409);
        m_now += std::chrono::seconds(1);
        int tooMany = 0;
        for (int i = 0; i < WebServer::maxCommandsPerSecond + 3; ++i)
            tooMany += tell(R"({"stop":true})")["status"] == 429;
        QCOMPARE(tooMany, 3);
        m_now += WebServer::webSocketSilence; // and no pong came in that time
        QTRY_COMPARE(m_server->webSocketCount(), 0);
    }

    // A replaced token, or the server switched off, ends every connection at once.
    void clientsDropped() {
        QJsonObject last;
        for (const bool switchOff : {false, true}) {
            m_server->setToken(QString::fromLatin1(token));
            auto client = webSocket(last);
            QTRY_COMPARE(m_server->webSocketCount(), 1);
            QSignalSpy closed(client.get(), &QWebSocket::disconnected);
            switchOff ? (void)m_server->serve({}) : m_server->setToken(QStringLiteral("another"));
            QTRY_COMPARE(closed.size(), 1);
            QCOMPARE(m_server->webSocketCount(), 0);
        }
    }

    void mapPicture() {
        QImage picture(10, 20, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        m_server->setMapSource([&picture] { return picture; });
        QCOMPARE(request("GET", "/api/state").json()["map"],
                 (QJsonObject{{"version", 1}, {"width", 10}, {"height", 20}}));
        const QImage served = QImage::fromData(request("GET", "/map.png").body, "PNG");
        QCOMPARE(served.convertToFormat(QImage::Format_RGB32), picture);
        m_server->setMapVersion(7);
        QCOMPARE(request("GET", "/api/state").json()["map"].toObject()["version"], 7);
    }

    void https() {
        QVERIFY(m_server->setCertificate("none.pem", "none.key").startsWith("none.pem: "));
        const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
        if (openssl.isEmpty())
            QSKIP("openssl is not installed: no certificate to try HTTPS with");
        QProcess make;
        make.start(openssl,
                   {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
                    "-keyout", "key.pem", "-out", "cert.pem", "-days", "1"});
        QVERIFY(make.waitForFinished(60000) && make.exitCode() == 0);
        QVERIFY(m_server->setCertificate("cert.pem", "key.pem").isEmpty());
        QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
        QNetworkAccessManager manager;
        std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(
            QUrl(QString::fromLatin1("https://127.0.0.1:%1/api/state?token=" + token)
                     .arg(m_server->port())))));
        reply->ignoreSslErrors();
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QVERIFY(reply->rawHeader("Set-Cookie").endsWith("SameSite=Strict; Secure"));
        QCOMPARE(QJsonDocument::fromJson(reply->readAll())["heading"], 100);
    }
};

QTEST_GUILESS_MAIN(TestWebServer)
#include "tst_webserver.moc"
