// The rotator session over a real pseudo-terminal: what each operation puts on the
// controller's line, and how the link's states show.
#include "core/rotatorsession.h"
#include "pseudoterminal.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestSession : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    PseudoTerminal* m_pty = nullptr;
    RotatorSession* m_session = nullptr;

    // Runs a script of operations: ccw cw stop + - raw:TEXT aim:DEGREES sw:N
    // reply:TEXT (the controller answers) offset:TEXT cmd:TEXT (last commanded).
    void run(const QString& script) {
        for (const QString& op : script.split(u' ', Qt::SkipEmptyParts)) {
            const QString arg = op.section(u':', 1).replace(u'_', u' ');
            if (op == u"ccw")
                m_session->turnCcw();
            else if (op == u"cw")
                m_session->turnCw();
            else if (op == u"stop")
                m_session->stop();
            else if (op == u"+")
                m_session->stepCw();
            else if (op == u"-")
                m_session->stepCcw();
            else if (op.startsWith(u"raw:"))
                m_session->sendRaw(arg);
            else if (op.startsWith(u"aim:"))
                m_session->aimAt(arg.toDouble());
            else if (op.startsWith(u"sw:"))
                m_session->toggleSwitch(arg.toInt());
            else if (op.startsWith(u"offset:"))
                m_session->setOffset(arg);
            else if (op.startsWith(u"cmd:"))
                m_session->setCommanded(arg);
            else if (op.startsWith(u"reply:")) {
                QSignalSpy heading(&m_session->link(), &RotatorLink::azimuthReceived);
                m_pty->write(arg.toLatin1() + "\r\n");
                QVERIFY(heading.wait());
            } else
                QFAIL(qPrintable(op));
        }
    }
    // Everything on the line up to a marker sent last, so nothing is still on its way.
    QByteArray line() {
        if (m_session->link().isOpen()) {
            m_session->link().send("#");
            if (!QTest::qWaitFor([this] { return m_pty->received().endsWith('#'); }))
                return "timed out: " + m_pty->received();
        }
        return m_pty->received().chopped(m_session->link().isOpen() ? 1 : 0);
    }

  private slots:
    void init() {
        m_pty = new PseudoTerminal(this);
        QVERIFY(m_pty->linkAs(m_dir.path(), 7));
        m_session = new RotatorSession(this);
        m_session->link().setWorkingDirectory(m_dir.path());
        m_session->openLink(QStringLiteral("7"), QStringLiteral("9600,N,8,1"));
        QVERIFY(m_session->link().isOpen());
        QVERIFY(m_session->disconnectOffered());
    }
    void cleanup() {
        delete m_session;
        delete m_pty;
    }

    void operations_data() {
        // clang-format off
        QTest::addColumn<QString>("script");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("commanded");
        QTest::addRow("ccw") << "ccw" << QByteArray("L\r\n") << "184";
        QTest::addRow("cw") << "cw" << QByteArray("R\r\n") << "179";
        QTest::addRow("stop before any reply") << "stop" << QByteArray("A\r\n") << "000";
        QTest::addRow("steps from nothing") << "+ cmd: -" << QByteArray("M010\r\nM350\r\n") << "350";
        QTest::addRow("step after ccw") << "ccw +" << QByteArray("L\r\nM194\r\n") << "194";
        QTest::addRow("step down to 360") << "cmd:10 -" << QByteArray("M360\r\n") << "360";
        QTest::addRow("fraction sends nothing") << "cmd:12.5 +" << QByteArray() << "22.5";
        QTest::addRow("stop copies the heading") << "reply:AZ=999 stop +" << QByteArray("A\r\nM289\r\n") << "289";
        QTest::addRow("raw text as typed") << "cmd:5 raw:_L_ raw:" << QByteArray(" L \r\n\r\n") << "5";
        QTest::addRow("aim with offset") << "offset:10 aim:90.4" << QByteArray("M100\r\n") << "100";
        QTest::addRow("aim wraps below 0") << "offset:-20 aim:5" << QByteArray("M345\r\n") << "345";
        QTest::addRow("aim without target") << "cmd:7 offset:40000 aim:5" << QByteArray() << "7";
        QTest::addRow("switches") << "sw:3 sw:8 sw:3" << QByteArray("Y31\r\nY81\r\nY30\r\n") << "";
        // clang-format on
    }
    void operations() {
        QFETCH(QString, script);
        QFETCH(QByteArray, sent);
        QFETCH(QString, commanded);
        QSignalSpy notices(m_session, &RotatorSession::portClosedNotice);
        run(script);
        QCOMPARE(line(), sent);
        QCOMPARE(m_session->commanded(), commanded);
        QCOMPARE(notices.size(), 0);
    }

    void closedPort_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("commanded");
        QTest::addColumn<QString>("pending"); // what the reply accumulator keeps
        QTest::addRow("ccw") << "ccw"
                             << "184"
                             << "";
        QTest::addRow("cw") << "cw"
                            << "179"
                            << "";
        QTest::addRow("stop") << "stop"
                              << "50"
                              << "";
        QTest::addRow("step up") << "+"
                                 << "50"
                                 << "AZ";
        QTest::addRow("step down") << "-"
                                   << "50"
                                   << "AZ";
        QTest::addRow("raw") << "raw:M090"
                             << "50"
                             << "AZ";
        QTest::addRow("aim") << "aim:90"
                             << "90"
                             << "";
        QTest::addRow("switch") << "sw:2"
                                << "50"
                                << "AZ";
    }
    void closedPort() {
        QFETCH(QString, script);
        QFETCH(QString, commanded);
        QFETCH(QString, pending);
        m_session->setCommanded(QStringLiteral("50"));
        m_session->toggleConnection();
        QVERIFY(!m_session->link().isOpen());
        m_session->seedReplies(QStringLiteral("AZ"));
        m_session->toggleConnection(); // a failed connect below keeps offering to connect
        m_pty->removeLink();
        m_session->toggleConnection();
        QVERIFY(!m_session->link().isOpen());
        QVERIFY(m_pty->linkAs(m_dir.path(), 7));
        m_pty->clearReceived();
        QSignalSpy notices(m_session, &RotatorSession::portClosedNotice);
        QSignalSpy offers(m_session, &RotatorSession::disconnectOfferChanged);
        run(script);
        QCOMPARE(notices.size(), 1);
        QVERIFY(!m_session->disconnectOffered());
        QCOMPARE(m_session->commanded(), commanded);
        QCOMPARE(m_session->link().parser().pending(), pending);
        QCOMPARE(m_session->switchOn(2), script == u"sw:2");
        m_session->toggleConnection();
        QCOMPARE(line(), QByteArray());
    }

    void connectionToggle() {
        QSignalSpy reports(m_session, &RotatorSession::portStateReported);
        m_session->toggleConnection(); // disconnect
        QVERIFY(!m_session->link().isOpen() && !m_session->disconnectOffered());
        m_session->toggleConnection(); // connect
        QVERIFY(m_session->link().isOpen() && m_session->disconnectOffered());
        QCOMPARE(reports.size(), 2);
        QCOMPARE(reports[0][0].toBool(), false);
        QCOMPARE(reports[1][0].toBool(), true);
        m_session->reportPortState();
        QCOMPARE(reports.last()[0].toBool(), true);

        // Re-opening with another number keeps the open port on its own.
        m_session->openLink(QStringLiteral("8"), QStringLiteral("4800,N,8,1"));
        QVERIFY(m_session->link().isOpen());
        QCOMPARE(m_session->link().portNumber(), 7);
        QCOMPARE(m_session->link().lineSettings(), QStringLiteral("4800,N,8,1"));
        m_session->link().setLineSettings(QStringLiteral("nonsense"));
        QCOMPARE(m_session->link().lineSettings(), QStringLiteral("4800,N,8,1"));
        // A line the terminal cannot carry fails the open instead of passing for one.
        m_session->closeLink();
        m_session->openLink(QStringLiteral("7"), QStringLiteral("9600,E,7,2"));
        QVERIFY(!m_session->link().isOpen() && !m_session->disconnectOffered());
        QCOMPARE(reports.last()[0].toBool(), false);
        m_session->openLink(QStringLiteral(" 7.4 "), QStringLiteral("9600,N,8,1"));
        QVERIFY(m_session->link().isOpen());
        m_session->closeLink();
        m_session->openLink(QStringLiteral("COM7"), QStringLiteral("9600,N,8,1"));
        QVERIFY(m_session->link().isOpen()); // the number is kept from before
    }

    void disconnectSendsWhatIsPending() {
        m_session->stop();
        m_session->toggleConnection();
        QVERIFY(!m_session->link().isOpen());
        QTRY_COMPARE(m_pty->received(), QByteArray("A\r\n"));
    }

    void hangUpClosesOnce() {
        QSignalSpy notices(m_session, &RotatorSession::portClosedNotice);
        QSignalSpy open(&m_session->link(), &RotatorLink::openChanged);
        m_pty->hangUp();
        QTRY_COMPARE(notices.size(), 1);
        QVERIFY(!m_session->link().isOpen() && !m_session->disconnectOffered());
        QCOMPARE(open.size(), 1);
        // The toggle now offers to connect again, and does once the device is back.
        QVERIFY(m_pty->reopen() && m_pty->linkAs(m_dir.path(), 7));
        m_session->toggleConnection();
        QVERIFY(m_session->link().isOpen());
        QCOMPARE(line(), QByteArray());
        QCOMPARE(notices.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
