// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The rotator session over a real pseudo-terminal: what each operation puts on the
// controller's line, and how the link's states show.
#include "core/session/reconnector.h"
#include "sessionrig.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

class TestSession : public QObject {
    Q_OBJECT
    std::unique_ptr<SessionRig> m_rig;

    // Runs a script of operations: ccw cw stop + - raw:TEXT aim:DEGREES click:DEGREES
    // sw:N reply:TEXT (the controller answers) offset:TEXT cmd:TEXT (last commanded)
    // range:MIN-MAX.
    // The operation that could not be carried out, or nothing.
    QString run(const QString& script) {
        RotatorSession& s = m_rig->session;
        for (const QString& op : script.split(u' ', Qt::SkipEmptyParts)) {
            const QString name = op.section(u':', 0, 0), arg = op.section(u':', 1).replace(u'_', u' ');
            const QHash<QString, std::function<void()>> operations{
                {"ccw", [&] { s.turnCcw(); }}, {"cw", [&] { s.turnCw(); }}, {"stop", [&] { s.stop(); }},
                {"+", [&] { s.stepCw(); }}, {"-", [&] { s.stepCcw(); }}, {"raw", [&] { s.sendRaw(arg); }},
                {"aim", [&] { s.aimAt(arg.toDouble()); }}, {"sw", [&] { s.toggleSwitch(arg.toInt()); }},
                {"offset", [&] { s.setOffset(arg); }}, {"cmd", [&] { s.setCommanded(arg); }},
                {"click", [&] { s.aimAt(arg.toDouble(), RotatorSession::Turn::AsClicked); }},
                {"range", [&] { s.setRange(*RotationRange::parse(arg)); }}};
            if (operations.contains(name))
                operations[name]();
            else if (name != u"reply" || !m_rig->reply(arg.toLatin1() + "\r\n"))
                return op;
        }
        return {};
    }
  private slots:
    void init() {
        m_rig = std::make_unique<SessionRig>();
        QVERIFY(m_rig->open());
        QVERIFY(m_rig->session.disconnectOffered());
    }
    void cleanup() { m_rig.reset(); }

    void operations_data() {
        // clang-format off
        QTest::addColumn<QString>("script");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("commanded");
        QTest::addRow("stop before any reply") << "stop" << QByteArray("A\r\n") << "000";
        QTest::addRow("step after ccw") << "ccw +" << QByteArray("L\r\nM194\r\n") << "194";
        QTest::addRow("fraction sends nothing") << "cmd:12.5 +" << QByteArray() << "22.5";
        QTest::addRow("stop copies the heading") << "reply:AZ=999 stop +" << QByteArray("A\r\nM289\r\n") << "289";
        QTest::addRow("raw text as typed") << "cmd:5 raw:_L_ raw:" << QByteArray(" L \r\n\r\n") << "5";
        QTest::addRow("aim with offset") << "offset:10 aim:90.4" << QByteArray("M100\r\n") << "100";
        QTest::addRow("aim without target") << "cmd:7 offset:40000 aim:5" << QByteArray() << "7";
        QTest::addRow("switches") << "sw:3 sw:8 sw:3" << QByteArray("Y31\r\nY81\r\nY30\r\n") << "";
        QTest::addRow("overlap: 400 to 30") << "range:0-450 reply:AZ=400 aim:30" << QByteArray("M390\r\n") << "30";
        QTest::addRow("overlap: 400 to 100") << "range:0-450 reply:AZ=400 aim:100" << QByteArray("M100\r\n") << "100";
        QTest::addRow("overlap: 400 to 200") << "range:0-450 reply:AZ=400 aim:200" << QByteArray("M200\r\n") << "200";
        QTest::addRow("overlap: 40 to 350") << "range:0-450 reply:AZ=040 aim:350" << QByteArray("M350\r\n") << "350";
        QTest::addRow("overlap: a click keeps its bearing") << "range:0-450 reply:AZ=400 click:30" << QByteArray("M030\r\n") << "30";
        QTest::addRow("overlap: a step keeps its bearing") << "range:0-450 reply:AZ=400 cmd:20 +" << QByteArray("M030\r\n") << "30";
        QTest::addRow("full circle: 350 to 10") << "reply:AZ=350 aim:10" << QByteArray("M010\r\n") << "10";
        QTest::addRow("south stop: 270 in its units") << "range:-180-180 aim:270" << QByteArray("M-90\r\n") << "270";
        QTest::addRow("dead zone refused") << "range:0-340 cmd:5 aim:350" << QByteArray() << "5";
        // clang-format on
    }
    void operations() {
        QFETCH(QString, script);
        QFETCH(QByteArray, sent);
        QFETCH(QString, commanded);
        QSignalSpy notices(&m_rig->session, &RotatorSession::portClosedNotice);
        QSignalSpy failed(&m_rig->session, &RotatorSession::commandFailed);
        QCOMPARE(run(script), QString());
        QCOMPARE(m_rig->line(), sent);
        QCOMPARE(m_rig->session.commanded(), commanded);
        QCOMPARE(notices.size(), 0);
        QCOMPARE(failed.size(), QTest::currentDataTag() == QLatin1String("dead zone refused") ? 1 : 0);
    }

    // A controller that reports only while it moves is silent when a movement gets no
    // report in time, and answers again at its next one.
    void silentController() {
        RotatorSession& s = m_rig->session;
        s.link().setTimeout(100);
        QVERIFY(m_rig->reply("AZ=010\r\n"));
        QSignalSpy answering(&s, &RotatorSession::answeringChanged);
        QVERIFY(!answering.wait(300)); // quiet while nothing moves
        s.aimAt(90);
        QVERIFY(answering.wait());
        QVERIFY(!s.headingKnown() && !s.position());
        QVERIFY(m_rig->reply("AZ=090\r\n"));
        QVERIFY(s.headingKnown() && answering.last().first().toBool());
        QCOMPARE(*s.position(), 90.0);
    }

    void closedPort_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("commanded");
        QTest::addColumn<QString>("pending"); // what the reply accumulator keeps
        QTest::addRow("ccw") << "ccw" << "184" << "";
        QTest::addRow("stop") << "stop" << "50" << "";
        QTest::addRow("step up") << "+" << "50" << "AZ";
        QTest::addRow("raw") << "raw:M090" << "50" << "AZ";
        QTest::addRow("aim") << "aim:90" << "90" << "";
        QTest::addRow("switch") << "sw:2" << "50" << "AZ";
    }
    void closedPort() {
        QFETCH(QString, script);
        QFETCH(QString, commanded);
        QFETCH(QString, pending);
        m_rig->session.setCommanded(QStringLiteral("50"));
        m_rig->session.toggleConnection();
        m_rig->session.seedReplies(QStringLiteral("AZ"));
        m_rig->session.toggleConnection(); // a failed connect below keeps offering to connect
        m_rig->pty.removeLink();
        m_rig->session.toggleConnection();
        QVERIFY(!m_rig->session.link().isOpen());
        QVERIFY(m_rig->pty.linkAs(m_rig->dir.path(), 7));
        m_rig->pty.clearReceived();
        QSignalSpy notices(&m_rig->session, &RotatorSession::portClosedNotice);
        QSignalSpy offers(&m_rig->session, &RotatorSession::disconnectOfferChanged);
        QCOMPARE(run(script), QString());
        QCOMPARE(notices.size(), 1);
        QVERIFY(!m_rig->session.disconnectOffered());
        QCOMPARE(m_rig->session.commanded(), commanded);
        QCOMPARE(static_cast<NativeLink&>(m_rig->session.link()).parser().pending(), pending);
        QCOMPARE(m_rig->session.switchOn(2), script == u"sw:2");
        m_rig->session.toggleConnection();
        QCOMPARE(m_rig->line(), QByteArray());
    }

    void connectionToggle() {
        QSignalSpy reports(&m_rig->session, &RotatorSession::portStateReported);
        m_rig->session.stop();
        m_rig->session.toggleConnection(); // disconnect, sending what is pending first
        QVERIFY(!m_rig->session.link().isOpen() && !m_rig->session.disconnectOffered());
        QTRY_COMPARE(m_rig->pty.received(), QByteArray("A\r\n"));
        m_rig->session.toggleConnection(); // connect
        QVERIFY(m_rig->session.link().isOpen() && m_rig->session.disconnectOffered());
        QVERIFY(reports.size() == 2 && !reports[0][0].toBool() && reports[1][0].toBool());

        // Re-opening with another number keeps the open port on its own.
        m_rig->session.openLink(QStringLiteral("8"), QStringLiteral("4800,N,8,1"));
        QVERIFY(m_rig->session.link().isOpen());
        QCOMPARE(m_rig->session.link().portNumber(), 7);
        QCOMPARE(m_rig->session.link().lineSettings(), QStringLiteral("4800,N,8,1"));
        m_rig->session.link().setLineSettings(QStringLiteral("nonsense"));
        QCOMPARE(m_rig->session.link().lineSettings(), QStringLiteral("4800,N,8,1"));
    }

    // Why a port did not open is told, for the operator.
    void openRefused_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("device"); // what COM8 leads to
        QTest::addColumn<QString>("reason");
        QTest::addRow("no device") << "9600,N,8,1" << "gone" << "^no such device: .*/COM8$";
        QTest::addRow("busy") << "9600,N,8,1" << "COM7" << "^busy: /dev/pts/\\d+ is in use";
        QTest::addRow("line") << "9600,E,7,2" << "new" << "cannot carry the line settings 9600,E,7,2$";
    }
    void openRefused() {
        QFETCH(QString, settings);
        QFETCH(QString, device);
        QFETCH(QString, reason);
        PseudoTerminal other;
        const QString com8 = m_rig->dir.filePath("COM8");
        if (device == u"new")
            QVERIFY(other.linkAs(m_rig->dir.path(), 8));
        else
            QVERIFY(QFile::link(device == u"gone" ? m_rig->dir.filePath("gone") : m_rig->pty.slavePath(), com8));
        NativeLink link;
        link.setWorkingDirectory(m_rig->dir.path());
        QVERIFY(link.setPortNumber(8) && link.setLineSettings(settings));
        QSignalSpy refused(&link, &ControllerLink::openRefused);
        QVERIFY(!link.open());
        QCOMPARE(refused.size(), 1);
        QVERIFY2(link.openError().contains(QRegularExpression(reason)), qPrintable(link.openError()));
        QCOMPARE(refused.first().first().toString(), link.openError());
    }

    // A port lost while connected is taken up again once its device is back, when
    // reconnecting is on; a port the operator closed, or tried himself, is not.
    void reconnect_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("operatorDoes"); // before the loss, or while waiting
        QTest::addColumn<bool>("reopened");
        QTest::addRow("off") << false << "" << false;
        QTest::addRow("on") << true << "" << true;
        QTest::addRow("on, disconnected by the operator") << true << "disconnect" << false;
        QTest::addRow("on, operator connects while waiting") << true << "connect" << false;
    }
    void reconnect() {
        QFETCH(bool, enabled);
        QFETCH(QString, operatorDoes);
        QFETCH(bool, reopened);
        Reconnector reconnector(m_rig->session);
        reconnector.setEnabled(enabled);
        QSignalSpy lost(&m_rig->session.link(), &ControllerLink::lost);
        QSignalSpy back(&reconnector, &Reconnector::reconnected);
        if (operatorDoes == u"disconnect")
            m_rig->session.toggleConnection();
        m_rig->pty.hangUp();
        if (operatorDoes != u"disconnect")
            QVERIFY(lost.wait());
        QCOMPARE(reconnector.isWaiting(), enabled && operatorDoes != u"disconnect");
        if (operatorDoes == u"connect")
            m_rig->session.toggleConnection(); // the device is not back: it stays closed
        QCOMPARE(reconnector.isWaiting(), reopened);
        QFileSystemWatcher news({m_rig->dir.path()});
        QSignalSpy changed(&news, &QFileSystemWatcher::directoryChanged);
        QVERIFY(m_rig->pty.reopen() && m_rig->pty.linkAs(m_rig->dir.path(), 7));
        // A whole retry interval passes, without waiting for it: the file system's news
        // of the device has been delivered, and the retry timer fires if it runs.
        QVERIFY(changed.wait());
        QCoreApplication::processEvents();
        if (auto* timer = reconnector.findChild<QTimer*>({}, Qt::FindDirectChildrenOnly); timer->isActive())
            QMetaObject::invokeMethod(timer, "timeout");
        QCoreApplication::processEvents();
        QCOMPARE(back.size(), reopened ? 1 : 0);
        QCOMPARE(m_rig->session.link().isOpen(), reopened);
        if (!reopened)
            return;
        QCOMPARE(back.first().first().toString(), QStringLiteral("COM7"));
        QVERIFY(m_rig->session.link().isOpen() && m_rig->session.disconnectOffered());
        QVERIFY(!reconnector.isWaiting());
        m_rig->session.aimAt(200);
        QCOMPARE(m_rig->line(), QByteArray("M200\r\n"));
    }

    // A controller that stops reading fills the line; the port stays open, and what
    // reaches the controller once it reads again is whole commands, the newest go-to
    // last and every command the session called sent.
    // A controller across the network is tried on the timer alone, less and less often.
    void reconnectAcrossTheNetwork() {
        Reconnector reconnector(m_rig->session);
        reconnector.setEnabled(true);
        m_rig->session.closeLink();
        m_rig->session.link().setDevice(QStringLiteral("127.0.0.1:1"));
        emit m_rig->session.lost();
        auto* timer = reconnector.findChild<QTimer*>({}, Qt::FindDirectChildrenOnly);
        QVERIFY(timer->isActive() && !reconnector.findChild<QFileSystemWatcher*>());
        QList<int> intervals;
        for (int tries = 0; tries < 7; ++tries) {
            QMetaObject::invokeMethod(timer, "timeout");
            intervals << timer->interval();
        }
        QCOMPARE(intervals, (QList<int>{2000, 4000, 8000, 16000, 32000, 32000, 32000}));
        QVERIFY(!m_rig->session.link().isOpen());
    }

    void stoppedController_data() {
        QTest::addColumn<QString>("kind"); // aim: go-tos and a stop among them, raw: text as typed
        QTest::addRow("go-tos and a stop") << "aim";
        QTest::addRow("text until refused") << "raw";
    }
    void stoppedController() {
        QFETCH(QString, kind);
        const int count = 30000, stopAt = kind == u"aim" ? 29000 : -1;
        RotatorSession& s = m_rig->session;
        m_rig->pty.setReading(false);
        QByteArrayList accepted;
        int refused = 0;
        for (int i = 0; i < count; ++i) {
            if (i == stopAt) {
                QVERIFY(s.stop());
                accepted << "A";
            } else if (kind == u"aim") {
                QCOMPARE(s.aimAt(i % 360), RotatorSession::AimResult::Sent);
            } else if (s.sendRaw(QStringLiteral("X%1").arg(i))) {
                accepted << "X" + QByteArray::number(i);
            } else {
                ++refused;
            }
        }
        QVERIFY(s.link().isOpen());
        QCOMPARE(refused > 0, kind == u"raw");
        m_rig->pty.setReading(true);
        QTRY_COMPARE(s.link().queuedCommands(), 0); // room for the rig's marker
        const QByteArray got = m_rig->line();
        QVERIFY2(QRegularExpression("^((M\\d{3}|A|X\\d+)\r\n)+$").match(QString::fromLatin1(got)).hasMatch(),
                 got.right(200).constData());
        QByteArrayList lines = got.split('\n');
        lines.removeLast();
        for (QByteArray& line : lines)
            line.chop(1);
        if (kind == u"aim") {
            QCOMPARE(lines.last(), QByteArray("M119")); // 29999 % 360
            QCOMPARE(lines.contains("A"), stopAt >= 0);
        } else {
            QCOMPARE(lines, accepted);
        }
    }

    // A command the device took only in part when the port closed must not prefix
    // the first command after reconnecting.
    void reconnectAfterCutCommand_data() {
        QTest::addColumn<bool>("hangUp"); // else the operator disconnects
        QTest::addRow("disconnect") << false;
        QTest::addRow("hang-up") << true;
    }
    void reconnectAfterCutCommand() {
        QFETCH(bool, hangUp);
        RotatorSession& s = m_rig->session;
        QSignalSpy notices(&s, &RotatorSession::portClosedNotice);
        QSignalSpy open(&s.link(), &ControllerLink::openChanged);
        m_rig->pty.setReading(false);
        // Longer than the terminal holds, so the device takes only its first part.
        QVERIFY(s.sendRaw(QString(30000, u'X')));
        if (hangUp) {
            m_rig->pty.hangUp();
            QTRY_VERIFY(!s.disconnectOffered()); // the loss has been told, once
            QVERIFY(notices.size() == 1 && open.size() == 1 && !s.link().isOpen());
            QVERIFY(m_rig->pty.reopen() && m_rig->pty.linkAs(m_rig->dir.path(), 7));
        } else {
            s.toggleConnection();
        }
        s.toggleConnection();
        QVERIFY(s.link().isOpen());
        QCOMPARE(s.aimAt(200), RotatorSession::AimResult::Sent);
        m_rig->pty.setReading(true);
        const QByteArray got = m_rig->line();
        QVERIFY(got.count('X') < 30000);
        QCOMPARE(got.mid(got.count('X')), QByteArray("\r\nM200\r\n"));
        // Once: the next connection starts with the command alone.
        s.toggleConnection();
        s.toggleConnection();
        s.aimAt(100);
        QCOMPARE(m_rig->line(), QByteArray("M100\r\n"));
        QCOMPARE(notices.size(), hangUp ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
