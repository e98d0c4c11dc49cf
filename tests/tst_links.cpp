// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The GS-232 links: what they read from the line, what they write, and the simulated
// controller driven through them on a pseudo-terminal and across TCP.

#include "core/links/gs232link.h"
#include "pseudoterminal.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using Variant = Gs232Link::Variant;
Q_DECLARE_METATYPE(Variant)

class TestLinks : public QObject {
    Q_OBJECT
  private slots:
    void answers_data() {
        QTest::addColumn<Variant>("variant");
        QTest::addColumn<QByteArray>("bytes"); // '|' parts arrive one after another
        QTest::addColumn<QList<double>>("positions");
        QTest::addColumn<int>("failures");
        const auto row = [](const char* name, Variant v, const char* bytes, QList<double> p,
                            int failures = 0) {
            QTest::addRow("%s", name) << v << QByteArray(bytes) << p << failures;
        };
        row("B, CR LF", Variant::B, "AZ=123\r\n", {123});
        row("B, four digits", Variant::B, "AZ=0400\r", {400});
        row("B, elevation", Variant::B, "AZ=181  EL=008\r", {181});
        row("B, elevation unspaced", Variant::B, "AZ=0000EL=000\r", {0});
        row("B, LF, CR LF, none", Variant::B, "AZ=090\nAZ=091\r\nAZ=092AZ=093", {90, 91, 92, 93});
        row("B, split", Variant::B, "A|Z=|123\r|\nAZ=450", {123, 450});
        row("B, prompts and noise", Variant::B, "\r\n>\r\nxAZ=\rAZ=359\r\n", {359});
        row("B, error", Variant::B, "?|>\r\nAZ=010\r", {10}, 1);
        row("A", Variant::A, "+0123\r\n+0400", {123, 400});
        row("A, elevation", Variant::A, "+0045+|0010\r\n+0046\r\n", {45, 46});
    }

    void answers() {
        QFETCH(Variant, variant);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<double>, positions);
        QFETCH(int, failures);
        PseudoTerminal pty;
        Gs232Link link(variant);
        link.setDevice(pty.slavePath());
        QSignalSpy headings(&link, &ControllerLink::headingReceived);
        QSignalSpy failed(&link, &ControllerLink::commandFailed);
        QSignalSpy read(&link.channel(), &CommandChannel::received);
        QVERIFY(link.open());
        for (const QByteArray& part : bytes.split('|')) {
            QVERIFY(pty.write(part));
            QVERIFY(read.wait()); // each part read on its own, as a slow line gives them
        }
        QTRY_COMPARE(headings.size(), positions.size());
        for (qsizetype i = 0; i < positions.size(); ++i) {
            QCOMPARE(headings[i][1].toDouble(), positions[i]);
            QCOMPARE(headings[i][0].toString(), QString::number(int(positions[i]) % 360));
        }
        QCOMPARE(failed.size(), failures);
    }

    void commands_data() {
        QTest::addColumn<QString>("goTo");
        QTest::addColumn<QByteArray>("wire"); // empty: no command
        QTest::addRow("overlap") << "390" << QByteArray("M390\r");
        QTest::addRow("padded") << "5" << QByteArray("M005\r");
        QTest::addRow("fraction rounded") << "89.6" << QByteArray("M090\r");
        QTest::addRow("negative") << "-1" << QByteArray();
        QTest::addRow("four digits") << "1000" << QByteArray();
        QTest::addRow("not a number") << "ninety" << QByteArray();
    }

    void commands() {
        QFETCH(QString, goTo);
        QFETCH(QByteArray, wire);
        PseudoTerminal pty;
        Gs232Link link(Variant::B);
        link.setDevice(pty.slavePath());
        QVERIFY(link.open());
        QTRY_COMPARE(pty.received(), QByteArray("C\r")); // asked at once
        pty.clearReceived();
        QCOMPARE(link.goTo(goTo), wire.isEmpty() ? ControllerLink::GoTo::NoCommand
                                                 : ControllerLink::GoTo::Sent);
        QVERIFY(link.turn(ControllerLink::Direction::Cw) && link.stop());
        QVERIFY(!link.setSwitch(1, true));
        QTRY_COMPARE(pty.received(), wire + "R\rA\r");
    }

    // Behind a controller that stopped reading, the queue holds what was given and
    // no polls: it would otherwise grow at every interval.
    void noPollsPileUp() {
        PseudoTerminal pty;
        pty.setReading(false);
        Gs232Link link(Variant::B);
        link.setDevice(pty.slavePath());
        link.setPollInterval(10);
        link.setTimeout(300);
        QVERIFY(link.open());
        const QString block(1000, u'x');
        // Well past full: the terminal may take a little more now and then.
        for (int i = 0; i < 1000 && link.queuedCommands() < 10; ++i)
            QVERIFY(link.sendText(block));
        const qsizetype waiting = link.queuedCommands();
        QCOMPARE(waiting, 10);
        QSignalSpy answering(&link, &ControllerLink::answeringChanged);
        QVERIFY(answering.wait()); // 30 poll intervals
        QCOMPARE_LE(link.queuedCommands(), waiting);
    }

    void simulator_data() {
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<bool>("tcp");
        for (const char* protocol : {"gs232a", "gs232b"})
            for (const bool tcp : {false, true})
                QTest::addRow("%s %s", protocol, tcp ? "TCP" : "pty") << protocol << tcp;
    }

    // Position, go-to into the overlap, silence and its end, and the controller gone.
    void simulator() {
        QFETCH(QString, protocol);
        QFETCH(bool, tcp);
        QTemporaryDir dir;
        QProcess sim;
        QByteArray log;
        connect(&sim, &QProcess::readyReadStandardOutput, this,
                [&] { log += sim.readAllStandardOutput(); });
        const QString link = dir.filePath(QStringLiteral("COM3"));
        sim.start(QStringLiteral(AZIVEX_SIMCONTROLLER),
                  {QStringLiteral("--protocol"), protocol, QStringLiteral("--range=0-450"),
                   QStringLiteral("--start=400"), QStringLiteral("--rate=600"),
                   tcp ? QStringLiteral("--tcp=0") : link});
        static const QRegularExpression listening(QStringLiteral("listening on (\\S+)\n"));
        QTRY_VERIFY2(log.contains(tcp ? "listening" : "link "), log.constData());
        Gs232Link rotator(protocol == u"gs232a" ? Variant::A : Variant::B);
        rotator.setDevice(tcp ? listening.match(QString::fromLatin1(log)).captured(1) : link);
        rotator.setPollInterval(50);
        rotator.setTimeout(300);
        QSignalSpy headings(&rotator, &ControllerLink::headingReceived);
        QVERIFY2(rotator.open(), qPrintable(rotator.openError()));
        QTRY_VERIFY(!headings.isEmpty());
        QCOMPARE(headings.constLast()[0].toString(), QStringLiteral("40"));
        QCOMPARE(headings.constLast()[1].toDouble(), 400.0);
        QCOMPARE(rotator.goTo(QStringLiteral("390")), ControllerLink::GoTo::Sent);
        QTRY_COMPARE(headings.constLast()[1].toDouble(), 390.0);

        QSignalSpy answering(&rotator, &ControllerLink::answeringChanged);
        QElapsedTimer clock;
        clock.start();
        ::kill(static_cast<pid_t>(sim.processId()), SIGUSR1);
        QVERIFY(answering.wait(2000));
        QCOMPARE(answering.constLast()[0].toBool(), false);
        QCOMPARE_LE(clock.elapsed(), rotator.timeout() + 1000);
        ::kill(static_cast<pid_t>(sim.processId()), SIGUSR1);
        QVERIFY(answering.wait(2000));
        QCOMPARE(answering.constLast()[0].toBool(), true);

        QSignalSpy lost(&rotator, &ControllerLink::lost);
        sim.terminate();
        QVERIFY(lost.wait());
        QVERIFY(!rotator.isOpen());
        QTRY_COMPARE(sim.state(), QProcess::NotRunning);
    }

    void refusedConnection() {
        Gs232Link link(Variant::B);
        link.setDevice(QStringLiteral("127.0.0.1:1"));
        QVERIFY(!link.open());
        QCOMPARE(link.openError(), QStringLiteral("127.0.0.1:1: connection refused"));
    }
};

QTEST_GUILESS_MAIN(TestLinks)
#include "tst_links.moc"
