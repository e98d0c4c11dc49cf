#include "fakemscomm.h"
#include "platform/serialmscomm.h"
#include "pseudoterminal.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kPort = 7;

// Line state of the terminal as the device sees it, read through a descriptor of
// our own so that it shows what the service really set.
struct LineState {
    speed_t speed = 0;
    tcflag_t cflag = 0;
};

std::optional<LineState> lineState(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    termios t{};
    const bool ok = tcgetattr(fd, &t) == 0;
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return LineState{cfgetospeed(&t), t.c_cflag};
}

double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

class TestSerialMSComm : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void settingsText_data();
    void settingsText();
    void lineReachesDevice_data();
    void lineReachesDevice();
    void portNumber_data();
    void portNumber();
    void openNeedsDevice_data();
    void openNeedsDevice();
    void outputBytes_data();
    void outputBytes();
    void receive_data();
    void receive();
    void partialReaderGetsEverything();
    void belowThresholdStaysQuiet();
    void hangUpClosesOnceAndReopens_data();
    void hangUpClosesOnceAndReopens();
    void fakeKeepsTheSameRules();

private:
    bool openPort();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<SerialMSComm> m_port;
};

void TestSerialMSComm::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_pty = std::make_unique<PseudoTerminal>();
    QVERIFY(m_pty->isOpen());
    QVERIFY(m_pty->linkAs(m_dir->path(), kPort));
    m_port = std::make_unique<SerialMSComm>();
    m_port->setWorkingDirectory(m_dir->path());
    QVERIFY(m_port->setCommPort(kPort));
}

void TestSerialMSComm::cleanup() {
    m_port.reset();
    m_pty.reset();
    m_dir.reset();
}

bool TestSerialMSComm::openPort() {
    return m_port->setPortOpen(true) && m_port->PortOpen();
}

void TestSerialMSComm::settingsText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    // A pseudo-terminal carries only 8 data bits without parity; the open port refuses
    // the rest, as a device does with a line it cannot make.
    QTest::addColumn<bool>("terminalCarriesIt");
    QTest::newRow("default") << "9600,N,8,1" << true << true;
    QTest::newRow("two stop bits") << "4800,n,8,2" << true << true;
    QTest::newRow("fast") << "115200,N,8,1" << true << true;
    QTest::newRow("non-standard rate") << "250000,N,8,1" << true << true;
    QTest::newRow("blanks around fields") << " 9600 , N , 8 , 1 " << true << true;
    QTest::newRow("even, 7 bits") << "4800,E,7,2" << true << false;
    QTest::newRow("lower-case odd") << "19200,o,8,1" << true << false;
    QTest::newRow("mark") << "1200,M,7,1" << true << false;
    QTest::newRow("space") << "1200,s,7,1" << true << false;
    QTest::newRow("5 bits, 1.5 stop") << "110,N,5,1.5" << true << false;
    QTest::newRow("1.5 stop with 8 bits") << "9600,N,8,1.5" << false << false;
    QTest::newRow("unknown parity") << "9600,X,8,1" << false << false;
    QTest::newRow("4 data bits") << "9600,N,4,1" << false << false;
    QTest::newRow("9 data bits") << "9600,N,9,1" << false << false;
    QTest::newRow("3 stop bits") << "9600,N,8,3" << false << false;
    QTest::newRow("zero baud") << "0,N,8,1" << false << false;
    QTest::newRow("negative baud") << "-9600,N,8,1" << false << false;
    QTest::newRow("signed baud") << "+9600,N,8,1" << false << false;
    QTest::newRow("baud beyond 32 bits") << "99999999999,N,8,1" << false << false;
    QTest::newRow("three fields") << "9600,N,8" << false << false;
    QTest::newRow("five fields") << "9600,N,8,1,0" << false << false;
    QTest::newRow("empty field") << "9600,,8,1" << false << false;
    QTest::newRow("empty") << "" << false << false;
}

void TestSerialMSComm::settingsText() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(bool, terminalCarriesIt);
    const QString before = QStringLiteral("2400,N,8,2");

    // Closed: only the text is judged, and an accepted text decides the next open.
    QVERIFY(m_port->setSettings(before));
    QCOMPARE(m_port->setSettings(text), accepted);
    QCOMPARE(m_port->Settings(), accepted ? text : before);
    QCOMPARE(m_port->setPortOpen(true), !accepted || terminalCarriesIt);
    QCOMPARE(m_port->PortOpen(), !accepted || terminalCarriesIt);
    QVERIFY(m_port->setPortOpen(false));

    // Open: applied at once; refused, it leaves text and line as they were.
    QVERIFY(m_port->setSettings(before));
    QVERIFY(openPort());
    QCOMPARE(m_port->setSettings(text), terminalCarriesIt);
    QCOMPARE(m_port->Settings(), terminalCarriesIt ? text : before);
    QVERIFY(m_port->PortOpen());
    if (!terminalCarriesIt) {
        const std::optional<LineState> line = lineState(m_pty->slavePath());
        QVERIFY(line.has_value());
        QCOMPARE(uint(line->speed), uint(B2400));
        QVERIFY(line->cflag & CSTOPB);
    }
}

void TestSerialMSComm::lineReachesDevice_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("speed");
    QTest::addColumn<bool>("twoStop");
    QTest::newRow("9600,N,8,1") << "9600,N,8,1" << uint(B9600) << false;
    QTest::newRow("4800,N,8,2") << "4800,N,8,2" << uint(B4800) << true;
    QTest::newRow("1200,n,8,1") << "1200,n,8,1" << uint(B1200) << false;
    QTest::newRow("115200,N,8,2") << "115200,N,8,2" << uint(B115200) << true;
}

void TestSerialMSComm::lineReachesDevice() {
    QFETCH(QString, text);
    QFETCH(uint, speed);
    QFETCH(bool, twoStop);
    const auto check = [&] {
        const std::optional<LineState> line = lineState(m_pty->slavePath());
        QVERIFY(line.has_value());
        QCOMPARE(uint(line->speed), speed);
        QCOMPARE(uint(line->cflag & CSIZE), uint(CS8));
        QCOMPARE(uint(line->cflag & PARENB), 0u);
        QCOMPARE(bool(line->cflag & CSTOPB), twoStop);
    };
    // Given before the open ...
    QVERIFY(m_port->setSettings(text));
    QVERIFY(openPort());
    check();
    if (QTest::currentTestFailed())
        return;
    // ... and to the open port, which applies it at once.
    QVERIFY(m_port->setPortOpen(false));
    QVERIFY(m_port->setSettings(QStringLiteral("600,N,8,1")));
    QVERIFY(openPort());
    QVERIFY(m_port->setSettings(text));
    check();
}

void TestSerialMSComm::portNumber_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("1") << 1 << true;
    QTest::newRow("32767") << 32767 << true;
    QTest::newRow("0") << 0 << false;
    QTest::newRow("negative") << -1 << false;
    QTest::newRow("32768") << 32768 << false;
}

void TestSerialMSComm::portNumber() {
    QFETCH(int, n);
    QFETCH(bool, accepted);
    QCOMPARE(m_port->setCommPort(n), accepted);
    QCOMPARE(m_port->CommPort(), accepted ? n : kPort);

    // While open every change is refused and the open port keeps its number.
    QVERIFY(m_port->setCommPort(kPort));
    QVERIFY(openPort());
    QVERIFY(!m_port->setCommPort(n == kPort ? kPort + 1 : n));
    QCOMPARE(m_port->CommPort(), kPort);
    QVERIFY(!m_port->setPortOpen(true)); // a second open is refused too ...
    QVERIFY(m_port->PortOpen());         // ... and leaves the port open
    QVERIFY(m_port->Output("x"));
    QTRY_COMPARE(m_pty->received(), QByteArray("x"));
}

void TestSerialMSComm::openNeedsDevice_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("linkTarget"); // "" for no COMn link
    QTest::newRow("link to a missing device") << 8 << "unplugged";
    QTest::newRow("no link, beyond the table") << 500 << "";
    QTest::newRow("no link, table device absent") << 40 << "";
    QTest::newRow("link to a file that is no terminal") << 9 << "plain";
}

void TestSerialMSComm::openNeedsDevice() {
    QFETCH(int, n);
    QFETCH(QString, linkTarget);
    QDir dir(m_dir->path());
    if (linkTarget == u"plain") {
        QFile f(dir.filePath(linkTarget));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    if (!linkTarget.isEmpty())
        QVERIFY(
            QFile::link(dir.filePath(linkTarget), dir.filePath(QStringLiteral("COM%1").arg(n))));
    QVERIFY(m_port->setCommPort(n));
    QVERIFY(!m_port->setPortOpen(true));
    QVERIFY(!m_port->PortOpen());
    QVERIFY(!m_port->Output("L\r\n"));
    // The failure leaves the port usable: back on the present device it opens.
    QVERIFY(m_port->setCommPort(kPort));
    QVERIFY(openPort());
}

void TestSerialMSComm::outputBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("command line") << QByteArray("L\r\n");
    QTest::newRow("empty command") << QByteArray("\r\n");
    QTest::newRow("go-to") << QByteArray("M090\r\n");
    QTest::newRow("switch") << QByteArray("Y31\r\n");
    QTest::newRow("NUL and high bytes") << QByteArray("\x00\x7f\x80\xb1\xff\r\n", 7);
    QTest::newRow("long line") << QByteArray(5000, 'Z') + "\r\n";
}

void TestSerialMSComm::outputBytes() {
    QFETCH(QByteArray, bytes);
    QVERIFY(!m_port->Output(bytes)); // closed: nothing goes out
    QVERIFY(openPort());
    QVERIFY(m_port->Output(bytes));
    QTRY_COMPARE(m_pty->received(), bytes);
}

void TestSerialMSComm::receive_data() {
    QTest::addColumn<QList<QByteArray>>("chunks"); // written by the controller, in turn
    QTest::addColumn<int>("inputLen");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("longestRead"); // the longest one Input() may return

    const QByteArray replies = QByteArray("AZ=123\r\nAZ=124\r\n").repeated(1000);
    QTest::newRow("one reply, one by one") << QList<QByteArray>{"AZ=123\r\n"} << 1 << 1 << 1;
    QTest::newRow("replies in pieces, one by one")
        << QList<QByteArray>{"AZ", "=1", "23\r\nAZ=1", "24\r\n"} << 1 << 1 << 1;
    QTest::newRow("16000 bytes, one by one") << QList<QByteArray>{replies} << 1 << 1 << 1;
    QTest::newRow("all bytes of every value") << QList<QByteArray>{[] {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        return all;
    }()} << 1 << 1 << 1;
    QTest::newRow("read length 3") << QList<QByteArray>{replies} << 3 << 1 << 3;
    QTest::newRow("read everything waiting")
        << QList<QByteArray>{replies} << 0 << 1 << int(replies.size());
    QTest::newRow("threshold 8") << QList<QByteArray>{"AZ=1", "23\r\n", "AZ=124\r\n"} << 1 << 8
                                 << 1;
}

void TestSerialMSComm::receive() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(int, inputLen);
    QFETCH(int, threshold);
    QFETCH(int, longestRead);
    QByteArray sent;
    for (const QByteArray& chunk : chunks)
        sent += chunk;

    QVERIFY(openPort());
    m_port->setInputLen(inputLen);
    m_port->setRThreshold(threshold);
    QByteArray got;
    int tooLong = 0;
    int wrongKind = 0;
    int belowThreshold = 0;
    connect(m_port.get(), &MSComm::OnComm, this, [&] {
        if (m_port->CommEvent() != MSComm::comEvReceive)
            ++wrongKind;
        if (m_port->InBufferCount() < threshold)
            ++belowThreshold;
        while (m_port->InBufferCount()) {
            const QByteArray read = m_port->Input();
            if (read.isEmpty() || read.size() > longestRead)
                ++tooLong;
            got += read;
        }
    });
    for (const QByteArray& chunk : chunks) {
        const qsizetype before = got.size() + m_port->InBufferCount();
        QVERIFY(m_pty->write(chunk));
        // Each piece is complete on our side before the next is written, so a
        // threshold above the piece size is really exercised.
        QTRY_COMPARE(got.size() + m_port->InBufferCount(), before + chunk.size());
    }
    QTRY_COMPARE(got, sent);
    QCOMPARE(tooLong, 0);
    QCOMPARE(wrongKind, 0);
    QCOMPARE(belowThreshold, 0);
}

void TestSerialMSComm::partialReaderGetsEverything() {
    // A handler that takes one byte per notification, without a loop, is told again
    // until it has taken everything.
    QVERIFY(openPort());
    m_port->setInputLen(1);
    m_port->setRThreshold(1);
    QByteArray got;
    connect(m_port.get(), &MSComm::OnComm, this, [&] { got += m_port->Input(); });
    const QByteArray sent("AZ=045\r\nAZ=046\r\n");
    QVERIFY(m_pty->write(sent));
    QTRY_COMPARE(got, sent);
    QCOMPARE(m_port->InBufferCount(), 0);
}

void TestSerialMSComm::belowThresholdStaysQuiet() {
    QVERIFY(openPort());
    QSignalSpy notified(m_port.get(), &MSComm::OnComm);
    QCOMPARE(m_port->RThreshold(), 0); // initially no notifications at all
    QCOMPARE(m_port->InputLen(), 0);
    QVERIFY(m_pty->write("AZ=001\r\n"));
    QTRY_COMPARE(m_port->InBufferCount(), 8);
    QCOMPARE(notified.count(), 0);
    QCOMPARE(m_port->Input(), QByteArray("AZ=001\r\n")); // read length 0: everything
    QCOMPARE(m_port->InBufferCount(), 0);
    QCOMPARE(m_port->Input(), QByteArray());

    m_port->setRThreshold(4);
    QVERIFY(m_pty->write("AZ="));
    QTRY_COMPARE(m_port->InBufferCount(), 3);
    QCOMPARE(notified.count(), 0);
    QVERIFY(m_pty->write("0"));
    QTRY_COMPARE(notified.count(), 1);

    // Closing drops what was waiting; settings of the reader survive the reopen.
    QVERIFY(m_port->setPortOpen(false));
    QCOMPARE(m_port->InBufferCount(), 0);
    QVERIFY(openPort());
    QCOMPARE(m_port->RThreshold(), 4);
}

void TestSerialMSComm::hangUpClosesOnceAndReopens_data() {
    QTest::addColumn<QString>("firstTouch"); // what meets the vanished device first
    QTest::newRow("event loop") << "";
    QTest::newRow("line settings") << "settings";
    QTest::newRow("output") << "output";
}

void TestSerialMSComm::hangUpClosesOnceAndReopens() {
    QFETCH(QString, firstTouch);
    QVERIFY(openPort());
    m_port->setInputLen(1);
    m_port->setRThreshold(1);
    QSignalSpy lost(m_port.get(), &MSComm::portLost);
    QSignalSpy notified(m_port.get(), &MSComm::OnComm);

    m_pty->hangUp();
    if (firstTouch == u"settings")
        m_port->setSettings(QStringLiteral("4800,N,8,1"));
    else if (firstTouch == u"output")
        m_port->Output("L\r\n");
    QCOMPARE(lost.count(), 0); // never from inside a call
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(!m_port->PortOpen());
    QVERIFY(!m_port->Output("L\r\n"));

    // Nothing more happens, and the process stays idle: no error storm.
    const double cpuBefore = processCpuSeconds();
    QTest::qWait(200);
    const double cpuUsed = processCpuSeconds() - cpuBefore;
    QCOMPARE(lost.count(), 1);
    QCOMPARE(notified.count(), 0);
    QVERIFY2(cpuUsed < 0.05, qPrintable(QStringLiteral("%1 s of CPU while idle").arg(cpuUsed)));

    // The device comes back (a new terminal behind the same COMn): the port opens
    // and works again with the line set as before.
    QVERIFY(m_pty->reopen());
    QVERIFY(m_pty->linkAs(m_dir->path(), kPort));
    QVERIFY(openPort());
    QVERIFY(m_port->Output("L\r\n"));
    QTRY_COMPARE(m_pty->received(), QByteArray("L\r\n"));
    QVERIFY(m_pty->write("AZ=010\r\n"));
    QTRY_COMPARE(notified.count(), 1);
    QCOMPARE(m_port->Input(), QByteArray("A"));
}

// The fake other tests drive the window with must keep the rules checked above on
// the real service, or those tests would prove nothing.
void TestSerialMSComm::fakeKeepsTheSameRules() {
    FakeMSComm fake;
    QSignalSpy lost(&fake, &MSComm::portLost);
    QVERIFY(fake.setCommPort(3));
    QVERIFY(!fake.setPortOpen(true)); // COM3 absent
    QVERIFY(!fake.Output("L\r\n"));
    fake.setPortExists(3);
    QVERIFY(!fake.setSettings(QStringLiteral("9600,N,8,1.5")));
    QVERIFY(fake.setSettings(QStringLiteral("4800,e,7,2")));
    QVERIFY(fake.setPortOpen(true));
    QVERIFY(!fake.setPortOpen(true));
    QVERIFY(!fake.setCommPort(4));
    QCOMPARE(fake.CommPort(), 3);
    QVERIFY(fake.Output("L\r\n"));
    QVERIFY(fake.Output("\r\n"));
    QCOMPARE(fake.outputs(), (QList<QByteArray>{"L\r\n", "\r\n"}));

    // Notifications come from the event loop, only at the threshold, and are repeated
    // for a handler that takes one byte at a time.
    fake.setInputLen(1);
    QByteArray got;
    int inside = 0;
    connect(&fake, &MSComm::OnComm, this, [&] {
        ++inside;
        if (fake.CommEvent() == MSComm::comEvReceive)
            got += fake.Input();
    });
    fake.inject("AZ=1"); // threshold still 0
    QTRY_COMPARE(fake.InBufferCount(), 4);
    QCoreApplication::processEvents();
    QCOMPARE(inside, 0);
    fake.setRThreshold(1);
    fake.inject("23\r\n");
    QCOMPARE(inside, 0); // not from inside inject()
    QTRY_COMPARE(got, QByteArray("AZ=123\r\n"));

    fake.loseDevice();
    QVERIFY(!fake.PortOpen());
    QCOMPARE(lost.count(), 0);
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(!fake.setPortOpen(true));
    fake.setPortExists(3);
    QVERIFY(fake.setPortOpen(true));
    QCOMPARE(fake.openCount(), 2);
}

QTEST_GUILESS_MAIN(TestSerialMSComm)
#include "tst_serialmscomm.moc"
