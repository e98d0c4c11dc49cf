// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// N1MM's and PstRotator's datagrams: the parsers alone, then real datagrams over the
// loopback turning a pseudo-terminal controller through the pacer.
#include "core/session/aimpacer.h"
#include "net/n1mm.h"
#include "net/pstrotator.h"
#include "sessionrig.h"

#include <QNetworkInterface>
#include <QUdpSocket>

using std::chrono::milliseconds;

class TestDatagrams : public QObject {
    Q_OBJECT
    std::unique_ptr<SessionRig> m_rig;
    std::unique_ptr<AimPacer> m_pacer;
    milliseconds m_now{};
    QUdpSocket m_sender;

    // Sends a datagram and returns what reached the line once `arrived` holds.
    QByteArray send(DatagramListener& to, const QByteArray& datagram,
                    const std::function<bool()>& arrived) {
        m_sender.writeDatagram(datagram, QHostAddress::LocalHost, to.port());
        if (!QTest::qWaitFor(arrived))
            return "timed out";
        return m_rig->line();
    }
    std::function<bool()> lineEnds() {
        return [this] { return m_rig->pty.received().endsWith("\r\n"); };
    }
    static QByteArray receive(QUdpSocket& socket) {
        if (!QTest::qWaitFor([&] { return socket.hasPendingDatagrams(); }))
            return "nothing";
        QByteArray got(socket.pendingDatagramSize(), 0);
        socket.readDatagram(got.data(), got.size());
        return got;
    }
    // Listens on a free port whose next one is free too, where the answers go.
    static bool listenWithAnswers(DatagramListener& listener, QUdpSocket& answers) {
        for (int tries = 0; tries < 20 && !answers.isValid(); ++tries)
            if (listener.listen(QHostAddress::LocalHost, 0))
                answers.bind(QHostAddress::LocalHost, listener.port() + 1);
        return answers.isValid();
    }
  private slots:
    void init() {
        m_rig = std::make_unique<SessionRig>();
        QVERIFY(m_rig->open());
        QVERIFY(m_rig->reply("AZ=123\r\n"));
        m_pacer = std::make_unique<AimPacer>(m_rig->session);
        m_pacer->setClock([this] { return m_now; });
    }
    void cleanup() {
        m_pacer.reset();
        m_rig.reset();
    }

    void n1mmParse_data() {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<double>("heading"); // the rotor's; below 0: none reported
        QTest::addColumn<QString>("parsed"); // "" for nothing, "stop NAME", "NAME -> TARGET"
        const QByteArray go = "<N1MMRotor><rotor>Rotor 1</rotor><goazi>%1</goazi><offset>%2</offset>"
                              "<bidirectional>%3</bidirectional><freqband>14.0</freqband></N1MMRotor>";
        auto row = [&](const char* tag, QByteArray az, QByteArray off, QByteArray bi, double h,
                       const char* out) {
            QByteArray d = go;
            QTest::addRow("%s", tag) << d.replace("%1", az).replace("%2", off).replace("%3", bi)
                                     << h << QString::fromUtf8(out);
        };
        row("plain", "123.4", "0.0", "0", -1, "Rotor 1 -> 123.4");
        row("decimal comma", "123,4", "0", "0", -1, "Rotor 1 -> 123.4");
        row("antenna mounted 30 round", "10", "30", "0", -1, "Rotor 1 -> 340");
        row("bidirectional, far end nearer", "10", "0", "1", 170, "Rotor 1 -> 190");
        row("bidirectional, near end nearer", "10", "0", "1", 60, "Rotor 1 -> 10");
        row("one-way, reverse nearer", "10", "0", "0", 170, "Rotor 1 -> 10");
        row("goazi not a number", "abc", "0", "0", -1, "");
        QTest::addRow("stop") << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><N1MMRotor>"
                                            "<stop><rotor>Rotor &amp; 2</rotor><freqband>7</freqband>"
                                            "</stop></N1MMRotor>") << -1.0 << "stop Rotor & 2";
        QTest::addRow("unclosed") << QByteArray("<N1MMRotor><goazi>10</goazi>") << -1.0 << "";
    }
    void n1mmParse() {
        QFETCH(QByteArray, datagram);
        QFETCH(double, heading);
        QFETCH(QString, parsed);
        const auto c = N1mm::parse(datagram);
        QString got;
        if (c && c->stop)
            got = "stop " + c->rotor;
        else if (c)
            got = c->rotor + " -> " +
                  QString::number(N1mm::rotorTarget(*c, heading < 0 ? std::nullopt
                                                                   : std::optional(heading)));
        QCOMPARE(got, parsed);
    }

    void pstParse_data() {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("parsed");
        // clang-format off
        QTest::addRow("azimuth") << QByteArray("<PST><AZIMUTH>85</AZIMUTH></PST>") << "A85";
        QTest::addRow("format slip") << QByteArray("<PST><AZIMUTH>123.400002.2</AZIMUTH><ELEVATION>0.00</ELEVATION></PST>") << "A123.4";
        QTest::addRow("several") << QByteArray("<PST><STOP>1</STOP>AZ? EL?<PARK>1</PARK></PST>") << "S ?A ?E P";
        QTest::addRow("lower case, negative") << QByteArray("<pst><azimuth> -90 </azimuth></pst>") << "A270";
        QTest::addRow("stop 0 asks nothing") << QByteArray("<PST><STOP>0</STOP></PST>") << "";
        QTest::addRow("not a number") << QByteArray("<PST><AZIMUTH>abc</AZIMUTH></PST>") << "";
        QTest::addRow("no PST") << QByteArray("<AZIMUTH>85</AZIMUTH>") << "";
        QTest::addRow("unclosed tag") << QByteArray("<PST><AZIMUTH>85</PST>") << "";
        // clang-format on
    }
    void pstParse() {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, parsed);
        QStringList got;
        for (const PstRotator::Command& c : PstRotator::parse(datagram))
            got << QStringList{"A" + QString::number(std::round(c.azimuth * 10) / 10), "S", "P",
                               "?A", "?E"}[int(c.kind)];
        QCOMPARE(got.join(u' '), parsed);
    }

    void n1mmOverLoopback() {
        N1mmListener n1mm(m_rig->session, *m_pacer);
        n1mm.setRotorName("Rotor 1");
        QUdpSocket reports;
        QVERIFY(n1mm.listen(QHostAddress::LocalHost, 0));
        QVERIFY(reports.bind(QHostAddress::LocalHost, 0));
        n1mm.setReportTo(std::pair{QHostAddress(QHostAddress::LocalHost), reports.localPort()});
        QCOMPARE(send(n1mm, "<N1MMRotor><rotor>Rotor 1</rotor><goazi>123.4</goazi><offset>0</offset>"
                            "<bidirectional>0</bidirectional></N1MMRotor>", lineEnds()),
                 "M123\r\n");
        QCOMPARE(send(n1mm, "<N1MMRotor><stop><rotor>Rotor 1</rotor></stop></N1MMRotor>",
                      lineEnds()), "A\r\n");
        QVERIFY(m_rig->reply("AZ=124\r\n") && m_rig->reply("AZ=123\r\n"));
        QCOMPARE(receive(reports), "Rotor 1 @ 1240");
        QCOMPARE(receive(reports), "Rotor 1 @ 1230");
        // Another rotor's command and garbage are left alone.
        QSignalSpy ignored(&n1mm, &DatagramListener::ignored);
        m_now += AimPacer::interval;
        m_sender.writeDatagram("<N1MMRotor><rotor>Rotor 2</rotor><goazi>9</goazi></N1MMRotor>",
                               QHostAddress::LocalHost, n1mm.port());
        QCOMPARE(send(n1mm, QByteArray(3000, 'x'), [&] { return ignored.count() == 1; }), "");
        // What is logged and kept for the tooltip has its control characters written out.
        const QString shown = R"(<N1MMRotor><rotor>\x1b]0;OWNED\x07\x9b2J\x7f\\)";
        QTest::ignoreMessage(QtInfoMsg, qPrintable("N1MM: datagram 2 not understood, from 127.0.0.1: " + shown));
        send(n1mm, "<N1MMRotor><rotor>\x1b]0;OWNED\x07\xc2\x9b" "2J\x7f\\", [&] { return ignored.count() == 2; });
        QCOMPARE(ignored.at(1).at(1).toString(), shown);
    }

    void pstRotatorOverLoopback_data() {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("answer");
        // clang-format off
        QTest::addRow("stop") << QByteArray("<PST><STOP>1</STOP></PST>") << QByteArray("A\r\n") << QByteArray();
        QTest::addRow("park, elevation") << QByteArray("<PST><PARK>1</PARK>EL?</PST>") << QByteArray("M200\r\n") << QByteArray("EL:0");
        QTest::addRow("garbage") << QByteArray("<PST><AZIMUTH>x</AZIMUTH></PST>") << QByteArray() << QByteArray();
        QTest::addRow("azimuth") << QByteArray("<PST>AZ?EL?</PST>") << QByteArray() << QByteArray("AZ:90");
        QTest::addRow("azimuth, controller silent") << QByteArray("<PST>AZ?EL?</PST>") << QByteArray() << QByteArray("EL:0");
        // clang-format on
    }
    void pstRotatorOverLoopback() {
        QFETCH(QByteArray, datagram);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, answer);
        m_rig->session.setParkAzimuth(200);
        QVERIFY(m_rig->reply("AZ=090\r\n"));
        if (QTest::currentDataTag() == QLatin1String("azimuth, controller silent")) {
            m_rig->session.link().setTimeout(20);
            QSignalSpy answering(&m_rig->session, &RotatorSession::answeringChanged);
            m_rig->session.stepCw(); // a movement no report follows
            QVERIFY(answering.wait());
            QCOMPARE(m_rig->line(), QByteArray("M010\r\n"));
        }
        PstRotatorListener pst(m_rig->session, *m_pacer);
        QUdpSocket answers;
        QVERIFY(listenWithAnswers(pst, answers));
        QSignalSpy ignored(&pst, &DatagramListener::ignored);
        QCOMPARE(send(pst, datagram,
                      [&] {
                          return !sent.isEmpty() ? m_rig->pty.received().endsWith("\r\n")
                                 : !answer.isEmpty() ? answers.hasPendingDatagrams()
                                                     : ignored.count() == 1;
                      }),
                 sent);
        if (!answer.isEmpty())
            QCOMPARE(receive(answers), answer);
    }

    void floodPaced() {
        PstRotatorListener pst(m_rig->session, *m_pacer);
        QUdpSocket answers;
        QVERIFY(listenWithAnswers(pst, answers));
        for (int az = 10; az < 60; ++az)
            m_sender.writeDatagram("<PST><AZIMUTH>" + QByteArray::number(az) + "</AZIMUTH></PST>",
                                   QHostAddress::LocalHost, pst.port());
        // The answer comes after every datagram before it has been acted on.
        QCOMPARE(send(pst, "<PST>EL?</PST>", [&] { return answers.hasPendingDatagrams(); }),
                 "M010\r\n");
        m_now += AimPacer::interval - milliseconds(1);
        m_pacer->release();
        QCOMPARE(m_rig->line(), "");
        m_now += milliseconds(1); // the pacer's own timer sends it now
        QTRY_COMPARE(m_rig->pty.received(), QByteArray("M059\r\n"));
        // A stop goes at once and drops what waits.
        m_pacer->aimAt(70);
        m_pacer->stop();
        m_now += AimPacer::interval;
        m_pacer->release();
        QCOMPARE(m_rig->line(), "M059\r\nA\r\n");
    }

    // A forged sender must not turn the listener into a reflector: one answer of each
    // kind a datagram, a bounded number a second to any one address, none to a group.
    void pstAnswersBounded() {
        PstRotatorListener pst(m_rig->session, *m_pacer);
        pst.setClock([this] { return m_now; });
        QUdpSocket answers;
        QVERIFY(listenWithAnswers(pst, answers));
        QSignalSpy ignored(&pst, &DatagramListener::ignored);
        const int limit = PstRotator::AnswerLimit::perSecond;
        m_sender.writeDatagram("<PST>EL?" + QByteArray("AZ? ").repeated(507) + "EL?</PST>",
                               QHostAddress::LocalHost, pst.port());
        for (int i = 0; i < limit; ++i)
            m_sender.writeDatagram("<PST>AZ?</PST>", QHostAddress::LocalHost, pst.port());
        QCOMPARE(send(pst, "x", [&] { return ignored.count() == 1; }), ""); // all were read
        m_now += std::chrono::seconds(1);
        m_sender.writeDatagram("<PST>EL?</PST>", QHostAddress::LocalHost, pst.port());
        QByteArrayList got;
        for (int i = 0; i <= limit; ++i)
            got << receive(answers);
        QCOMPARE(got.count("AZ:123"), limit - 1);
        QCOMPARE(got.last(), "EL:0");
        QVERIFY(!PstRotator::mayAnswer(QHostAddress::LocalHost, 0));
        for (const char* never : {"255.255.255.255", "::ffff:255.255.255.255", "224.0.0.1", "ff02::1", "0.0.0.0"})
            QVERIFY2(!PstRotator::mayAnswer(QHostAddress(QString::fromLatin1(never)), 5000), never);
        PstRotator::AnswerLimit kept; // no more addresses than it keeps until a second passes
        for (quint32 a = 1; a <= PstRotator::AnswerLimit::addresses; ++a)
            QVERIFY(kept.take(QHostAddress(a), m_now));
        QVERIFY(!kept.take(QHostAddress::LocalHost, m_now));
        QVERIFY(kept.take(QHostAddress::LocalHost, m_now + std::chrono::seconds(1)));
    }

    // A group's listener takes the group's datagrams, not unicast to this machine.
    void groupOnly() {
        PstRotatorListener group(m_rig->session, *m_pacer);
        const QHostAddress address(QStringLiteral("239.255.0.73"));
        QUdpSocket multicast;
        QVERIFY(group.listen(address, 0) && multicast.bind(QHostAddress::LocalHost, 0));
        multicast.setMulticastInterface(QNetworkInterface::interfaceFromName("lo"));
        m_sender.writeDatagram("<PST><AZIMUTH>10</AZIMUTH></PST>", QHostAddress::LocalHost, group.port());
        multicast.writeDatagram("<PST><AZIMUTH>20</AZIMUTH></PST>", address, group.port());
        QVERIFY(QTest::qWaitFor(lineEnds()));
        QCOMPARE(m_rig->line(), "M020\r\n");
    }
};

QTEST_MAIN(TestDatagrams)
#include "tst_datagrams.moc"
