// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The Hamlib link against real peers: Debian's rotctld with Hamlib's dummy rotator,
// the simulated GS-232B controller on a pseudo-terminal, and a rotctld that answers
// late, played here on the loopback.
#include "core/links/hamliblink.h"
#include "core/links/linksetup.h"
#include "core/session/rotatorsession.h"
#include "net/rotctlserver.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <csignal>

namespace {

quint16 freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// Waits for a reported position within a hundredth of a degree of `want`.
bool reaches(ControllerLink& link, double want, int ms) {
    QSignalSpy heading(&link, &ControllerLink::headingReceived);
    return QTest::qWaitFor(
        [&] {
            return std::any_of(heading.cbegin(), heading.cend(), [&](const QList<QVariant>& h) {
                return std::abs(h.at(1).toDouble() - want) < 0.01;
            });
        },
        ms);
}

// A rotctld that answers every position request 1.9 s late, just within the 2 s
// Hamlib waits for model 2 before it asks again.
class SlowRotctld : public QTcpServer {
  public:
    std::atomic<int> positionAsks = 0;
    SlowRotctld() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* peer = nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [this, peer] {
                while (peer->canReadLine()) {
                    const QByteArray line = peer->readLine();
                    if (line.startsWith("\\dump_state"))
                        peer->write("1\n2\nmin_az=0\nmax_az=360\nmin_el=0\nmax_el=90\n"
                                    "south_zero=0\nrot_type=AzEl\ndone\n");
                    else if (line.startsWith('p') && ++positionAsks)
                        QTimer::singleShot(1900, peer, [peer] { peer->write("90.00\n0.00\n"); });
                }
            });
        });
    }
};

} // namespace

class TestHamlib : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
  private slots:
    // The models the services dialog offers, by number; the range is Hamlib's.
    void models() {
        // A link made first loads Hamlib's backends itself.
        QCOMPARE(HamlibLink(603).ownRange().text(), QStringLiteral("-180-450"));
        const QList<HamlibModel> all = hamlibModels();
        QVERIFY(std::is_sorted(all.cbegin(), all.cend(), [](auto& a, auto& b) { return a.number < b.number; }));
        const auto named = [&](int n) {
            const auto m = std::find_if(all.cbegin(), all.cend(), [&](auto& m) { return m.number == n; });
            return m == all.cend() ? QString() : m->name;
        };
        QCOMPARE(named(2), QStringLiteral("Hamlib NET rotctl"));
        QCOMPARE(named(603), QStringLiteral("Yaesu GS-232B"));
    }

    void refusedOpen_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("reason");
        QTest::addRow("no such model") << 99999 << "/dev/null" << "no rotator model 99999";
        QTest::addRow("no such device") << 603 << "/nonexistent/ttyUSB9" << "input/output error";
        QTest::addRow("nobody listening") << 2 << "127.0.0.1:" + QString::number(freePort()) << "input/output error";
    }
    void refusedOpen() {
        QFETCH(int, model);
        QFETCH(QString, device);
        QFETCH(QString, reason);
        HamlibLink link(model);
        link.setDevice(device);
        QSignalSpy refused(&link, &ControllerLink::openRefused);
        QVERIFY(!link.open() && !link.isOpen());
        QCOMPARE(refused.count(), 1);
        QVERIFY2(link.openError().contains(reason), qPrintable(link.openError()));
    }

    // Hamlib's dummy rotator through Debian's rotctld (model 2), and Hamlib's own
    // GS-232B backend (model 603) on the simulated controller: go-to, stop, silence.
    void driven_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("silencing"); // stops the answers; SIGUSR1 again brings them back
        const QString port = QString::number(freePort());
        QTest::addRow("rotctld -m 1") << "rotctld" << QStringList{"-m", "1", "-T", "127.0.0.1", "-t", port}
                                      << 2 << "127.0.0.1:" + port << "-4.5" << SIGKILL;
        const QString com = m_dir.filePath(QStringLiteral("COM5"));
        QTest::addRow("simulated GS-232B")
            << AZIVEX_SIMCONTROLLER
            << QStringList{"--protocol", "gs232b", "--range", "0-450", "--rate", "180", com} << 603
            << com << "400" << SIGUSR1;
    }
    void driven() {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, model);
        QFETCH(QString, device);
        QFETCH(QString, target);
        QFETCH(int, silencing);
        QProcess peer;
        if (model == 603) {
            peer.start(program, {"--help"});
            QVERIFY(peer.waitForFinished());
            if (!peer.readAllStandardOutput().contains("--protocol"))
                QSKIP("this simulator speaks no GS-232B");
        }
        peer.start(program, arguments);
        QVERIFY(peer.waitForStarted());
        HamlibLink link(model);
        link.setDevice(device);
        link.setPollInterval(50);
        link.setTimeout(1000);
        QTRY_VERIFY(link.isOpen() || link.open());
        QCOMPARE(link.goTo(target), ControllerLink::GoTo::Sent);
        QVERIFY(reaches(link, target.toDouble(), 10000));

        // Stopped while turning counter-clockwise, it stays where it stood.
        QSignalSpy heading(&link, &ControllerLink::headingReceived);
        const auto at = [&](qsizetype i) { return heading.at(i).at(1).toDouble(); };
        QVERIFY(link.turn(ControllerLink::Direction::Ccw));
        QTRY_VERIFY(!heading.isEmpty() && at(heading.size() - 1) != target.toDouble());
        QVERIFY(link.stop());
        QTRY_VERIFY(heading.size() > 2 && at(heading.size() - 1) == at(heading.size() - 2));
        const qsizetype stopped = heading.size() - 1;
        QTRY_VERIFY(heading.size() > stopped + 5);
        for (qsizetype i = stopped; i < heading.size(); ++i)
            QCOMPARE(at(i), at(stopped));
        QVERIFY(at(stopped) < target.toDouble());

        // No more answers: silent within the time-out and a second; a go-to to rotctld
        // gone fails (a GS-232B takes a go-to unanswered).
        QSignalSpy answering(&link, &ControllerLink::answeringChanged);
        QSignalSpy failed(&link, &ControllerLink::commandFailed);
        ::kill(pid_t(peer.processId()), silencing);
        QVERIFY(answering.wait(link.timeout() + 1000));
        QCOMPARE(answering.last().at(0).toBool(), false);
        QVERIFY(link.isOpen());
        QCOMPARE(link.goTo(QStringLiteral("20")), ControllerLink::GoTo::Sent);
        if (model == 2)
            QTRY_VERIFY(std::any_of(failed.cbegin(), failed.cend(), [](const QList<QVariant>& f) {
                return f.at(0).toString().contains(QStringLiteral("20"));
            }));
        // Failing polls are told once, not at every poll.
        QVERIFY(std::count_if(failed.cbegin(), failed.cend(), [](const QList<QVariant>& f) {
                    return f.at(0).toString().contains(QStringLiteral("方位"));
                }) <= 1);

        // Back (rotctld started again): taken up again at its first answer.
        if (silencing == SIGKILL)
            peer.start(program, arguments);
        else
            ::kill(pid_t(peer.processId()), silencing);
        QTRY_VERIFY_WITH_TIMEOUT(link.answering(), 10000);
        peer.kill();
        peer.waitForFinished();
    }

    // While Hamlib waits on a slow controller, AZIVEX's own rotctld answers.
    void slowControllerStallsNothing() {
        // On a thread of its own, as a real peer is: the link's open waits for it.
        QThread peerThread;
        auto* slow = new SlowRotctld;
        slow->moveToThread(&peerThread);
        connect(&peerThread, &QThread::finished, slow, &QObject::deleteLater);
        peerThread.start();
        const auto stopPeer = qScopeGuard([&] { peerThread.quit(), peerThread.wait(); });
        QMetaObject::invokeMethod(slow, [slow] { slow->listen(QHostAddress::LocalHost, 0); },
                                  Qt::BlockingQueuedConnection);
        RotatorSession session;
        session.setLink(std::make_unique<HamlibLink>(2));
        session.link().setDevice("127.0.0.1:" + QString::number(slow->serverPort()));
        session.link().setPollInterval(100);
        session.link().setTimeout(1000); // silent from the start, until the first answer
        QSignalSpy answering(&session.link(), &ControllerLink::answeringChanged);
        session.openLink(QStringLiteral("1"), QStringLiteral("9600,N,8,1"));
        QVERIFY(session.link().isOpen());
        RotctlServer server(&session);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(client.waitForConnected(2000));
        int asksAtAnswer = 0;
        connect(&session.link(), &ControllerLink::headingReceived, this,
                [&] { asksAtAnswer = asksAtAnswer ? asksAtAnswer : slow->positionAsks.load(); });
        QTRY_COMPARE(slow->positionAsks.load(), 1);
        client.write("p\n");
        QTRY_VERIFY_WITH_TIMEOUT(client.canReadLine(), 200);
        // Polls every 100 ms while the first was on its way: none was sent.
        QVERIFY(reaches(session.link(), 90, 3000));
        QCOMPARE(asksAtAnswer, 1);
        QCOMPARE(answering.count(), 2);
        QVERIFY(!answering.at(0).at(0).toBool() && answering.at(1).at(0).toBool());
    }
};

QTEST_GUILESS_MAIN(TestHamlib)
#include "tst_hamlib.moc"
