// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The rotctld protocol over real TCP on the loopback, with a real pseudo-terminal
// as the controller: the exact reply bytes, and what reaches the controller's line.
#include "net/endpoint.h"
#include "net/rotctlserver.h"
#include "sessionrig.h"
#include "testfiles.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

using std::chrono::milliseconds;

class TestRotctl : public QObject {
    Q_OBJECT
    std::unique_ptr<SessionRig> m_rig;
    std::unique_ptr<RotctlServer> m_server;
    milliseconds m_now{}; // the server's clock where a test sets it

    std::unique_ptr<QTcpSocket> connectClient() {
        auto socket = std::make_unique<QTcpSocket>();
        QSignalSpy connected(socket.get(), &QTcpSocket::connected);
        socket->connectToHost(QHostAddress::LocalHost, m_server->port());
        if (!connected.wait(5000))
            return nullptr;
        return socket;
    }
    // Sends a request and collects the reply until it has `expected`'s length.
    static QByteArray ask(QTcpSocket& client, const QByteArray& request, qsizetype length) {
        client.write(request);
        QByteArray got;
        (void)QTest::qWaitFor([&] {
            got += client.readAll();
            return got.size() >= length || client.state() != QAbstractSocket::ConnectedState;
        });
        return got + client.readAll();
    }
  private slots:
    void init() {
        m_rig = std::make_unique<SessionRig>();
        QVERIFY(m_rig->open());
        m_server = std::make_unique<RotctlServer>(&m_rig->session);
        QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
    }
    void cleanup() {
        m_server.reset();
        m_rig.reset();
    }

    void commands_data() {
        QTest::addColumn<QString>("offset"); // "OFFSET[ RANGE[ REPLY]]"
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("sent");
        const QByteArray dump = "1\n2\nmin_az=0.000000\nmax_az=360.000000\nmin_el=0.000000\n"
                                "max_el=90.000000\nsouth_zero=0\nrot_type=AzEl\ndone\n";
        // clang-format off
        QTest::addRow("set_pos") << "0" << QByteArray("P 90 0\n") << QByteArray("RPRT 0\n") << QByteArray("M090\r\n");
        QTest::addRow("long name, commas") << "0" << QByteArray("\\set_pos 174,46 0,00\r\n") << QByteArray("RPRT 0\n") << QByteArray("M174\r\n");
        QTest::addRow("negative azimuth") << "0" << QByteArray("P -90.4 10\n") << QByteArray("RPRT 0\n") << QByteArray("M270\r\n");
        QTest::addRow("a hair below 0") << "0" << QByteArray("P -1e-20 0\n") << QByteArray("RPRT 0\n") << QByteArray("M000\r\n");
        QTest::addRow("beyond a turn") << "0" << QByteArray("P 725 0\n") << QByteArray("RPRT 0\n") << QByteArray("M005\r\n");
        QTest::addRow("offset added") << "10" << QByteArray("P 355 0\n") << QByteArray("RPRT 0\n") << QByteArray("M365\r\n");
        QTest::addRow("offset below 0") << "-20" << QByteArray("P 5 0\n") << QByteArray("RPRT 0\n") << QByteArray("M345\r\n");
        QTest::addRow("target too long") << "1000" << QByteArray("P 5 0\n") << QByteArray("RPRT -1\n") << QByteArray();
        QTest::addRow("malformed azimuth") << "0" << QByteArray("P abc 0\n") << QByteArray("RPRT -1\n") << QByteArray();
        QTest::addRow("malformed elevation") << "0" << QByteArray("P 10 x\n") << QByteArray("RPRT -1\n") << QByteArray();
        QTest::addRow("not a number") << "0" << QByteArray("P nan 0\n") << QByteArray("RPRT -1\n") << QByteArray();
        QTest::addRow("get_pos") << "10" << QByteArray("p\n") << QByteArray("90.00\n0.00\n") << QByteArray();
        QTest::addRow("get_pos below 0") << "120" << QByteArray("\\get_pos\n") << QByteArray("340.00\n0.00\n") << QByteArray();
        QTest::addRow("stop") << "0" << QByteArray("S\n") << QByteArray("RPRT 0\n") << QByteArray("A\r\n");
        QTest::addRow("move ccw") << "0" << QByteArray("M 8 0\n") << QByteArray("RPRT 0\n") << QByteArray("L\r\n");
        QTest::addRow("move cw by name") << "0" << QByteArray("\\move RIGHT 50\n") << QByteArray("RPRT 0\n") << QByteArray("R\r\n");
        QTest::addRow("move up") << "0" << QByteArray("M 2 0\n") << QByteArray("RPRT -1\n") << QByteArray();
        QTest::addRow("park") << "0" << QByteArray("K\n") << QByteArray("RPRT -11\n") << QByteArray();
        QTest::addRow("park at 200") << "5" << QByteArray("K\n") << QByteArray("RPRT 0\n") << QByteArray("M205\r\n");
        QTest::addRow("get_info") << "0" << QByteArray("_\n") << QByteArray("AZIVEX rotator controller on COM7 9600,N,8,1\n") << QByteArray();
        QTest::addRow("dump_state") << "0" << QByteArray("\\dump_state\n") << dump << QByteArray();
        QTest::addRow("extended get_pos") << "0" << QByteArray("+p\n") << QByteArray("get_pos:\nAzimuth: 100.00\nElevation: 0.00\nRPRT 0\n") << QByteArray();
        QTest::addRow("separated get_pos") << "0" << QByteArray(";\\get_pos\n") << QByteArray("get_pos:;Azimuth: 100.00;Elevation: 0.00;RPRT 0\n") << QByteArray();
        QTest::addRow("extended set_pos") << "0" << QByteArray("+P 10,5 0\n") << QByteArray("set_pos: 10,5 0\nRPRT 0\n") << QByteArray("M010\r\n");
        QTest::addRow("extended park") << "0" << QByteArray("|K\n") << QByteArray("park:|RPRT -11\n") << QByteArray();
        QTest::addRow("extended dump_state") << "0" << QByteArray("+\\dump_state\n") << QByteArray("dump_state:\nrotctld Protocol Ver: 1\nRotor Model: 2\nMinimum Azimuth: 0.000000\nMaximum Azimuth: 360.000000\nMinimum Elevation: 0.000000\nMaximum Elevation: 90.000000\nSouth Zero: 0\nrot_type=AzEl\ndone\nRPRT 0\n") << QByteArray();
        QTest::addRow("dump_caps") << "0" << QByteArray("1\n") << RotctlServer::capabilities() + "RPRT 0\n" << QByteArray();
        QTest::addRow("two on a line") << "0" << QByteArray("P 10 0 S\n") << QByteArray("RPRT 0\nRPRT 0\n") << QByteArray("M010\r\nA\r\n");
        QTest::addRow("unknown") << "0" << QByteArray("x\n\\foo\n") << QByteArray("RPRT -4\nRPRT -4\n") << QByteArray();
        QTest::addRow("empty lines") << "0" << QByteArray("\n\r\n p\n") << QByteArray("100.00\n0.00\n") << QByteArray();
        QTest::addRow("lone carriage returns") << "0" << QByteArray("P 10 0\rp\r") << QByteArray("RPRT 0\n100.00\n0.00\n") << QByteArray("M010\r\n");
        QTest::addRow("set_pos through the overlap") << "0 0-450 AZ=400" << QByteArray("P 30 0\n") << QByteArray("RPRT 0\n") << QByteArray("M390\r\n");
        QTest::addRow("set_pos in the dead zone") << "0 0-340" << QByteArray("P 350 0\n") << QByteArray("RPRT -1\n") << QByteArray();
        QTest::addRow("get_pos in the overlap") << "10 0-450 AZ=400" << QByteArray("p\n") << QByteArray("390.00\n0.00\n") << QByteArray();
        QTest::addRow("dump_state, south stop") << "0 -180-180" << QByteArray("\\dump_state\n") << QByteArray(dump).replace("min_az=0.", "min_az=-180.").replace("max_az=360", "max_az=180") << QByteArray();
        QTest::addRow("each line end once") << "0" << QByteArray("S\r\nS\rS\n") << QByteArray("RPRT 0\nRPRT 0\nRPRT 0\n") << QByteArray("A\r\nA\r\nA\r\n");
        // clang-format on
    }
    void commands() {
        QFETCH(QString, offset);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, sent);
        const QString reply = offset.section(u' ', 2);
        QVERIFY(m_rig->reply((reply.isEmpty() ? QByteArray("AZ=100") : reply.toLatin1()) + "\r\n"));
        if (const QString range = offset.section(u' ', 1, 1); !range.isEmpty())
            m_rig->session.setRange(*RotationRange::parse(range));
        m_rig->session.setOffset(offset.section(u' ', 0, 0));
        if (QByteArrayView(QTest::currentDataTag()) == "park at 200")
            m_rig->session.setParkAzimuth(200);
        auto client = connectClient();
        QVERIFY(client);
        QSignalSpy arrived(client.get(), &QTcpSocket::readyRead);
        client->write(request);
        QVERIFY(arrived.wait());
        QCOMPARE(client->readAll(), answer); // in one piece, as simple clients read it
        QCOMPARE(m_rig->line(), sent);
    }

    void capsForCqrlog() { // the limits, as the lines it looks for word them
        QVERIFY(RotctlServer::capabilities().contains("\nMin Azimuth:\t\t0.00\nMax Azimuth:\t\t360.00\n"));
        QVERIFY(RotctlServer::capabilities({-180, 180}).contains("\nMin Azimuth:\t\t-180.00\nMax Azimuth:\t\t180.00\n"));
    }

    // A controller that stops answering has no position to give, until it answers.
    void silentController() {
        QVERIFY(m_rig->reply("AZ=100\r\n"));
        m_rig->session.link().setTimeout(50);
        QSignalSpy answering(&m_rig->session, &RotatorSession::answeringChanged);
        m_rig->session.aimAt(90);
        QVERIFY(answering.wait());
        auto client = connectClient();
        QVERIFY(client);
        QCOMPARE(ask(*client, "p\n", 8), QByteArray("RPRT -5\n"));
        QVERIFY(m_rig->reply("AZ=090\r\n"));
        QCOMPARE(ask(*client, "p\n", 11), QByteArray("90.00\n0.00\n"));
    }

    void portClosed_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::addRow("set_pos") << QByteArray("P 90 0\n") << QByteArray("RPRT -6\n");
        QTest::addRow("stop") << QByteArray("S\n") << QByteArray("RPRT -6\n");
        QTest::addRow("move") << QByteArray("+M 16 0\n") << QByteArray("move: 16 0\nRPRT -6\n");
        QTest::addRow("get_pos") << QByteArray("p\n") << QByteArray("RPRT -6\n");
        QTest::addRow("extended get_pos")
            << QByteArray("+\\get_pos\n") << QByteArray("get_pos:\nRPRT -6\n");
    }
    void portClosed() {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        m_rig->session.toggleConnection();
        QSignalSpy notices(&m_rig->session, &RotatorSession::portClosedNotice);
        auto client = connectClient();
        QVERIFY(client);
        QCOMPARE(ask(*client, request, answer.size()), answer);
        QCOMPARE(notices.size(), request.contains('p') ? 0 : 1); // a poll is no operator's act
        m_rig->session.toggleConnection();
        QCOMPARE(m_rig->line(), QByteArray());
    }

    // A client is told the truth about a controller that has stopped reading: go-tos
    // are taken while the queue has room (a newer one replaces one waiting), and once
    // switch commands fill it, a go-to or turn is turned away, a stop not.
    void stoppedController() {
        m_rig->pty.setReading(false);
        auto client = connectClient();
        QVERIFY(client);
        QCOMPARE(ask(*client, QByteArray("P 1 0\n").repeated(500), 3500), QByteArray("RPRT 0\n").repeated(500));
        while (m_rig->session.sendRaw(QStringLiteral("Y11"))) {
        }
        QCOMPARE(ask(*client, "P 10 0\nM 8 0\nS\n", 23), QByteArray("RPRT -9\nRPRT -9\nRPRT 0\n"));
        m_rig->pty.setReading(true);
        QTRY_COMPARE(m_rig->session.link().queuedCommands(), 0);
        const QByteArray sent = m_rig->line(); // the stop ahead of the switches waiting
        QVERIFY2(sent.contains("A\r\nY11\r\n") && !sent.contains("M010") && !sent.contains("L\r\n"), sent.right(100).constData());
    }

    void clientsInterleaved() {
        auto tracker = connectClient();
        auto logger = connectClient();
        QVERIFY(tracker && logger);
        tracker->write("P 10 0\n");
        logger->write("+p\n");
        QCOMPARE(ask(*tracker, "P 20 0\n", 14), QByteArray("RPRT 0\nRPRT 0\n"));
        QCOMPARE(ask(*logger, "q\n", 43),
                 QByteArray("get_pos:\nAzimuth: 0.00\nElevation: 0.00\nRPRT 0\n"));
        QTRY_COMPARE(logger->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(m_rig->line(), QByteArray("M010\r\nM020\r\n"));
        // One that shuts its sending side after an unterminated command is answered.
        tracker->write("P 30 0\nS");
        QVERIFY(tracker->waitForBytesWritten());
        QCOMPARE(::shutdown(int(tracker->socketDescriptor()), SHUT_WR), 0);
        QCOMPARE(ask(*tracker, {}, 14), QByteArray("RPRT 0\nRPRT 0\n"));
        QTRY_COMPARE(tracker->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(m_rig->line(), QByteArray("M030\r\nA\r\n"));
    }

    // With every place taken, a newcomer takes the place of the client idle longest,
    // if that one has completed no command line for the idle limit.
    void idleClientsMakeRoom() {
        m_server->setClock([this] { return m_now; });
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 0; i < RotctlServer::maxClients; ++i) {
            m_now = milliseconds(i);
            clients.push_back(connectClient());
            QVERIFY(clients.back());
            QTRY_COMPARE(m_server->clientCount(), i + 1);
        }
        m_now = milliseconds(1000);
        clients[1]->write("P 1"); // a line begun is no line completed
        QVERIFY(clients[1]->waitForBytesWritten());
        QCOMPARE(ask(*clients[0], "p\n", 10), QByteArray("0.00\n0.00\n"));
        m_now = RotctlServer::idleLimit + milliseconds(2); // client 2 idle for exactly the limit
        for (int gone : {1, 2}) {
            auto newcomer = connectClient();
            QVERIFY(newcomer);
            QTRY_COMPARE(clients[gone]->state(), QAbstractSocket::UnconnectedState);
            QCOMPARE(ask(*newcomer, "S\n", 7), QByteArray("RPRT 0\n"));
            clients.push_back(std::move(newcomer));
        }
        auto refused = connectClient();
        QVERIFY(refused);
        QCOMPARE(ask(*refused, "p\n", 8), QByteArray("RPRT -9\n"));
        QCOMPARE(ask(*clients[0], "p\n", 10), QByteArray("0.00\n0.00\n"));
        QCOMPARE(clients[3]->state(), QAbstractSocket::ConnectedState);
    }

    void endpoints_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address"); // empty: refused
        QTest::addColumn<int>("port");
        // clang-format off
        QTest::addRow("bare port") << "4533" << "127.0.0.1" << 4533;
        QTest::addRow("highest port") << "192.0.2.7:65535" << "192.0.2.7" << 65535;
        QTest::addRow("IPv6 in brackets") << "[::1]:1" << "::1" << 1;
        QTest::addRow("localhost") << "localhost:4533" << "127.0.0.1" << 4533;
        QTest::addRow("port 0") << "0" << "" << 0;
        QTest::addRow("port too high") << "65536" << "" << 0;
        QTest::addRow("no port") << "127.0.0.1:" << "" << 0;
        QTest::addRow("empty address") << ":4533" << "" << 0;
        QTest::addRow("IPv6 without brackets") << "::1:4533" << "" << 0;
        QTest::addRow("name in brackets") << "[localhost]:4533" << "" << 0;
        QTest::addRow("bad address") << "256.1.1.1:4533" << "" << 0;
        // clang-format on
    }
    void endpoints() {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QFETCH(int, port);
        const auto endpoint = Endpoint::parse(text);
        QCOMPARE(endpoint.has_value(), !address.isEmpty());
        if (endpoint) {
            QCOMPARE(endpoint->first, QHostAddress(address));
            QCOMPARE(endpoint->second, port);
        }
    }

    void badInput_data() {
        QTest::addColumn<QString>("abuse");
        for (const char* abuse : {"long line", "client that never reads",
                                  "connections opened and dropped"})
            QTest::addRow("%s", abuse) << abuse;
    }
    void badInput() {
        QFETCH(QString, abuse);
        if (abuse == u"long line") {
            auto c = connectClient();
            QVERIFY(c);
            QCOMPARE(ask(*c, QByteArray(1500, 'P') + "\np\n", 19),
                     QByteArray("RPRT -1\n0.00\n0.00\n"));
            QCOMPARE(ask(*c, QByteArray(3000, ' ') + "P 1 0", 8), QByteArray("RPRT -1\n"));
            QCOMPARE(ask(*c, "P 2 0\nS\n", 7), QByteArray("RPRT 0\n")); // the rest of the long line
        } else if (abuse == u"client that never reads") {
            auto c = connectClient();
            QVERIFY(c);
            c->setReadBufferSize(1);
            const QByteArray flood = QByteArray("\\dump_state\n").repeated(10000);
            c->write(flood);
            QTRY_VERIFY_WITH_TIMEOUT(m_server->clientCount() == 0, 10000);
        } else if (abuse == u"connections opened and dropped") {
            for (int i = 0; i < 300; ++i) {
                auto c = connectClient();
                QVERIFY(c);
                if (i % 2)
                    c->write("p\n");
                c->abort();
            }
            QTRY_COMPARE(m_server->clientCount(), 0);
        }
        // Nothing else suffers: a well-behaved client is answered, the line carries
        // only well-formed commands.
        auto good = connectClient();
        QVERIFY(good);
        QCOMPARE(ask(*good, "P 45 0\n", 7), QByteArray("RPRT 0\n"));
        const QByteArray sent = m_rig->line();
        QVERIFY2(QRegularExpression("^(M\\d{3}\r\n|A\r\n)+$")
                     .match(QString::fromLatin1(sent))
                     .hasMatch(),
                 sent.constData());
    }

    // The program itself, started as an operator would: a port in use is reported and
    // the program runs on, and the server answers.
    void program() {
        if (QStandardPaths::findExecutable(QStringLiteral("rotctl")).isEmpty())
            QFAIL("Hamlib's rotctl is not on the PATH: install the Debian package libhamlib-utils "
                  "(scripts/setup-deps does)");
        QProcess azivex;
        azivex.setWorkingDirectory(m_rig->dir.path());
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        azivex.setProcessEnvironment(env);
        // A first start from the build tree puts the pictures it built in the folder,
        // then waits on its message.
        azivex.start(QStringLiteral(AZIVEX_PATH), {});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_rig->dir.filePath("world3.bmp")), 20000);
        azivex.kill();
        QVERIFY(azivex.waitForFinished());
        QCOMPARE(readFile(m_rig->dir.filePath("world1.bmp")), readFile(AZIVEX_MAPS_DIR "/world1.bmp"));
        QVERIFY(writeFile(m_rig->dir.filePath("AZIVEX.DAT"), "7,9600,N,8,1:10-0/0\r\n"));
        m_rig->session.closeLink(); // the program takes the controller's port
        const QString port = QString::number(m_server->port());
        azivex.start(QStringLiteral(AZIVEX_PATH), {"--rotctld", "127.0.0.1:" + port});
        QVERIFY(azivex.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += azivex.readAllStandardError())
                .contains("rotctld server not started on 127.0.0.1:" + port.toLatin1()),
            20000);
        QCOMPARE(azivex.state(), QProcess::Running);
        azivex.kill();
        QVERIFY(azivex.waitForFinished());

        // A port held unlistened, so the system gives it to no one else, while a
        // server that reuses addresses, as Qt's do, can still listen on it.
        const int held = ::socket(AF_INET, SOCK_STREAM, 0);
        const int reuse = 1;
        QCOMPARE(::setsockopt(held, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse), 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof where;
        QCOMPARE(::bind(held, reinterpret_cast<sockaddr*>(&where), size), 0);
        QCOMPARE(::getsockname(held, reinterpret_cast<sockaddr*>(&where), &size), 0);
        const auto release = qScopeGuard([held] { ::close(held); });
        const quint16 free = ntohs(where.sin_port);
        // Served with no option given, as AZIVEX.INI says.
        QVERIFY(writeFile(m_rig->dir.filePath("AZIVEX.INI"), "[rotctld]\nlisten=localhost:" + QByteArray::number(free) + "\n"));
        azivex.start(QStringLiteral(AZIVEX_PATH), {});
        std::unique_ptr<QTcpSocket> client;
        QVERIFY(QTest::qWaitFor(
            [&] {
                client = std::make_unique<QTcpSocket>();
                QSignalSpy connected(client.get(), &QTcpSocket::connected);
                client->connectToHost(QHostAddress::LocalHost, free);
                return connected.wait(200);
            },
            20000));
        m_rig->pty.write("AZ=100\r\n");
        QCOMPARE(ask(*client, "P 80 0\n", 7), QByteArray("RPRT 0\n"));
        QTRY_COMPARE(m_rig->pty.received(), QByteArray("M090\r\n"));
        QProcess rotctl;
        rotctl.start(QStringLiteral("rotctl"),
                     {"-m", "2", "-r", QStringLiteral("127.0.0.1:%1").arg(free), "p"});
        QVERIFY(rotctl.waitForFinished(20000));
        QCOMPARE(rotctl.exitCode(), 0);
        QVERIFY(rotctl.readAllStandardOutput().endsWith("\n0.00\n"));
        QCOMPARE(azivex.state(), QProcess::Running); // it runs until stopped
        azivex.kill();
        QVERIFY(azivex.waitForFinished());
        QCOMPARE(azivex.exitStatus(), QProcess::CrashExit);
        QCOMPARE(azivex.exitCode(), SIGKILL); // by the kill, not by a fault of its own
    }
};

QTEST_GUILESS_MAIN(TestRotctl)
#include "tst_rotctl.moc"
