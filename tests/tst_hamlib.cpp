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

// A rotctld that answers every position request two seconds late.
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
                        QTimer::singleShot(2000, peer, [peer] { peer->write("90.00\n0.00\n"); });
                }
            });
        });
    }
};

} // namespace

class TestHamlib : public QObject {
    Q_OBJECT
  private slots:
    void models_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("range");
        QTest::addRow("dummy") << 1 << "Hamlib Dummy" << "-180-450";
        QTest::addRow("remote rotctld") << 2 << "Hamlib NET rotctl" << "-180-180";
        QTest::addRow("GS-232B") << 603 << "Yaesu GS-232B" << "-180-450";
        QTest::addRow("SPID") << 901 << "SPID Rot2Prog" << "-180-540";
    }
    void models() {
        QFETCH(int, model);
        QFETCH(QString, name);
        QFETCH(QString, range);
        const QList<HamlibModel> all = hamlibModels();
        QVERIFY(std::is_sorted(all.cbegin(), all.cend(),
                               [](auto& a, auto& b) { return a.number < b.number; }));
        const auto found = std::find_if(all.cbegin(), all.cend(),
                                        [&](const HamlibModel& m) { return m.number == model; });
        QVERIFY(found != all.cend());
        QCOMPARE(found->name, name);
        QCOMPARE(HamlibLink(model).ownRange().text(), range);
    }

    void refusedOpen_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("reason");
        QTest::addRow("no such model") << 99999 << "/dev/null" << "no rotator model 99999";
        QTest::addRow("no such device") << 603 << "/nonexistent/ttyUSB9" << "input/output error";
        QTest::addRow("nobody listening") << 2 << QStringLiteral("127.0.0.1:%1").arg(freePort())
                                          << "input/output error";
    }
    void refusedOpen() {
        QFETCH(int, model);
        QFETCH(QString, device);
        QFETCH(QString, reason);
        HamlibLink link(model);
        link.setDevice(device);
        QSignalSpy refused(&link, &ControllerLink::openRefused);
        QVERIFY(!link.open());
        QVERIFY(!link.isOpen());
        QCOMPARE(refused.count(), 1);
        QVERIFY2(link.openError().contains(reason, Qt::CaseInsensitive), qPrintable(link.openError()));
    }

    // Model 2 drives Hamlib's dummy rotator through Debian's rotctld.
    void remoteRotctld() {
        const quint16 port = freePort();
        QProcess rotctld;
        rotctld.start(QStringLiteral("rotctld"), {"-m", "1", "-T", "127.0.0.1", "-t", QString::number(port)});
        QVERIFY(rotctld.waitForStarted());
        HamlibLink link(2);
        link.setDevice(QStringLiteral("127.0.0.1:%1").arg(port));
        link.setPollInterval(50);
        link.setTimeout(1000);
        QTRY_VERIFY(link.isOpen() || link.open());
        QCOMPARE(link.goTo(QStringLiteral("-4.5")), ControllerLink::GoTo::Sent);
        QVERIFY(reaches(link, -4.5, 10000));

        // Stopped on its way, it stays where it stood.
        QCOMPARE(link.goTo(QStringLiteral("170")), ControllerLink::GoTo::Sent);
        QSignalSpy heading(&link, &ControllerLink::headingReceived);
        QTRY_VERIFY(!heading.isEmpty() && heading.last().at(1).toDouble() > 0);
        QVERIFY(link.stop());
        const auto at = [&](qsizetype i) { return heading.at(i).at(1).toDouble(); };
        QTRY_VERIFY(heading.size() > 2 && at(heading.size() - 1) == at(heading.size() - 2));
        const qsizetype stopped = heading.size() - 1;
        QTRY_VERIFY(heading.size() > stopped + 5);
        for (qsizetype i = stopped; i < heading.size(); ++i)
            QCOMPARE(at(i), at(stopped));
        QVERIFY(at(stopped) < 170);

        // The peer gone: silent within the time-out and a second, and a go-to fails.
        QSignalSpy answering(&link, &ControllerLink::answeringChanged);
        QSignalSpy failed(&link, &ControllerLink::commandFailed);
        rotctld.kill();
        QVERIFY(answering.wait(link.timeout() + 1000));
        QCOMPARE(answering.last().at(0).toBool(), false);
        QVERIFY(link.isOpen());
        QCOMPARE(link.goTo(QStringLiteral("10")), ControllerLink::GoTo::Sent);
        QTRY_VERIFY(std::any_of(failed.cbegin(), failed.cend(), [](const QList<QVariant>& f) {
            return f.at(0).toString().contains(QStringLiteral("10"));
        }));
    }

    // While Hamlib waits two seconds for a controller, AZIVEX's own rotctld answers.
    void slowControllerStallsNothing() {
        // On a thread of its own, as a real peer is: the link's open waits for it.
        QThread peerThread;
        auto* slow = new SlowRotctld;
        slow->moveToThread(&peerThread);
        connect(&peerThread, &QThread::finished, slow, &QObject::deleteLater);
        peerThread.start();
        const auto stopPeer = qScopeGuard([&] {
            peerThread.quit();
            peerThread.wait();
        });
        quint16 port = 0;
        QMetaObject::invokeMethod(slow, [&] { port = slow->listen(QHostAddress::LocalHost, 0) ? slow->serverPort() : 0; },
                                  Qt::BlockingQueuedConnection);
        QVERIFY(port);
        std::atomic<int>& positionAsks = slow->positionAsks;
        RotatorSession session;
        auto link = std::make_unique<HamlibLink>(2);
        link->setDevice(QStringLiteral("127.0.0.1:%1").arg(port));
        link->setPollInterval(100);
        session.setLink(std::move(link));
        session.openLink(QStringLiteral("1"), QStringLiteral("9600,N,8,1"));
        QVERIFY(session.link().isOpen());
        RotctlServer server(&session);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(client.waitForConnected(2000));
        int asksAtAnswer = 0;
        connect(&session.link(), &ControllerLink::headingReceived, this,
                [&] { asksAtAnswer = asksAtAnswer ? asksAtAnswer : positionAsks.load(); });
        QTRY_COMPARE(positionAsks, 1);
        for (int i = 0; i < 5; ++i) {
            client.write("p\n");
            QTRY_VERIFY_WITH_TIMEOUT(client.canReadLine(), 200);
            client.readAll();
        }
        // Two seconds of polls at 100 ms while the first was on its way: none was sent.
        QVERIFY(reaches(session.link(), 90, 3000));
        QCOMPARE(asksAtAnswer, 1);
    }
};

QTEST_GUILESS_MAIN(TestHamlib)
#include "tst_hamlib.moc"
