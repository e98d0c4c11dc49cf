// Drives the real azivex-simcontroller binary through its pseudo-terminal link.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 10000;

// The program's side of the line: the link opened like a serial port, raw.
class PortClient {
  public:
    ~PortClient() { close(); }

    bool open(const QString& path) {
        close();
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        termios t{};
        if (tcgetattr(m_fd, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(m_fd, TCSANOW, &t);
        }
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                         [this] { read(); });
        return true;
    }

    void close() {
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    bool write(const QByteArray& bytes) {
        return m_fd >= 0 &&
               ::write(m_fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    QByteArray data;

  private:
    void read() {
        char buf[1024];
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0) {
                data.append(buf, n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            // Drained, or the other end is gone (EIO): then stop watching.
            if (n == 0 || errno != EAGAIN)
                m_notifier->setEnabled(false);
            return;
        }
    }

    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

QList<int> reportsIn(const QByteArray& data) {
    static const QRegularExpression report(QStringLiteral("AZ=(\\d{3})\r\n"));
    QList<int> values;
    for (auto it = report.globalMatch(QString::fromLatin1(data)); it.hasNext();)
        values << it.next().captured(1).toInt();
    return values;
}

// Nothing but whole reports: no echo, no stray bytes, CR LF kept as it is.
bool onlyReports(const QByteArray& data) {
    static const QRegularExpression stream(QStringLiteral("\\A(AZ=\\d{3}\r\n)*\\z"));
    return stream.match(QString::fromLatin1(data)).hasMatch();
}

bool lastReportsAre(const QList<int>& values, int expected, int count) {
    if (values.size() < count)
        return false;
    for (qsizetype i = values.size() - count; i < values.size(); ++i)
        if (values[i] != expected)
            return false;
    return true;
}

} // namespace

class TestSimController : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void help();
    void badArguments_data();
    void badArguments();
    void linkPlacement_data();
    void linkPlacement();
    void stillReports_data();
    void stillReports();
    void movement_data();
    void movement();
    void stopWhileTurning();
    void outputs_data();
    void outputs();
    void reopenAfterClose();
    void endsOnSignal_data();
    void endsOnSignal();

  private:
    QString linkPath() const { return m_dir->filePath(QStringLiteral("COM3")); }
    // Starts the simulator on linkPath() and waits until the link is there.
    bool startSim(const QStringList& options);
    QString log() const { return QString::fromLocal8Bit(m_log); }

    QString m_binary;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_sim;
    QByteArray m_log;
    PortClient m_port;
};

void TestSimController::initTestCase() {
#ifdef AZIVEX_SIMCONTROLLER_PATH
    m_binary = QStringLiteral(AZIVEX_SIMCONTROLLER_PATH);
#else
    QSKIP("azivex-simcontroller is not part of this build");
#endif
    QVERIFY2(QFileInfo(m_binary).isExecutable(), qPrintable(m_binary));
}

void TestSimController::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_log.clear();
}

void TestSimController::cleanup() {
    m_port.close();
    m_port.data.clear();
    if (m_sim && m_sim->state() != QProcess::NotRunning) {
        m_sim->terminate();
        if (!m_sim->waitForFinished(kTimeoutMs))
            m_sim->kill();
        m_sim->waitForFinished(kTimeoutMs);
    }
    m_sim.reset();
    m_dir.reset();
}

bool TestSimController::startSim(const QStringList& options) {
    m_sim = std::make_unique<QProcess>();
    m_sim->setProcessChannelMode(QProcess::SeparateChannels);
    connect(m_sim.get(), &QProcess::readyReadStandardOutput, this,
            [this] { m_log += m_sim->readAllStandardOutput(); });
    m_sim->start(m_binary, QStringList(options) << linkPath());
    if (!m_sim->waitForStarted(kTimeoutMs))
        return false;
    // The link is made before the start-up lines are printed.
    QElapsedTimer waited;
    waited.start();
    while (!m_log.contains("link ") && m_sim->state() == QProcess::Running &&
           waited.elapsed() < kTimeoutMs)
        m_sim->waitForReadyRead(kTimeoutMs - static_cast<int>(waited.elapsed()));
    m_log += m_sim->readAllStandardOutput();
    return QFileInfo(linkPath()).isSymLink();
}

void TestSimController::help() {
    QProcess p;
    p.start(m_binary, {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(kTimeoutMs));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const char* option :
         {"--start", "--rate", "--moving-interval", "--still-interval", "--min", "--max"})
        QVERIFY2(text.contains(QLatin1String(option)), option);
}

void TestSimController::badArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    const QString link = QStringLiteral("COM3");
    QTest::newRow("unknown option") << QStringList{"--speed", "5", link};
    QTest::newRow("rate not a number") << QStringList{"--rate", "fast", link};
    QTest::newRow("rate zero") << QStringList{"--rate", "0", link};
    QTest::newRow("rate infinite") << QStringList{"--rate", "inf", link};
    QTest::newRow("interval zero") << QStringList{"--moving-interval", "0", link};
    QTest::newRow("interval fraction") << QStringList{"--still-interval", "2.5", link};
    QTest::newRow("interval missing value") << QStringList{link, "--still-interval"};
    QTest::newRow("min beyond max") << QStringList{"--min", "300", "--max", "200", link};
    QTest::newRow("max over three digits") << QStringList{"--max", "1000", link};
    QTest::newRow("start beyond max") << QStringList{"--start", "451", link};
    QTest::newRow("no link") << QStringList{};
    QTest::newRow("two links") << QStringList{link, QStringLiteral("COM4")};
}

void TestSimController::badArguments() {
    QFETCH(QStringList, arguments);
    QProcess p;
    p.setWorkingDirectory(m_dir->path());
    p.start(m_binary, arguments);
    QVERIFY(p.waitForFinished(kTimeoutMs));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(!p.readAllStandardError().trimmed().isEmpty());
    QVERIFY(QDir(m_dir->path())
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                .isEmpty());
}

void TestSimController::linkPlacement_data() {
    QTest::addColumn<QString>("existing");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("nothing there") << QString() << true;
    QTest::newRow("dangling link") << QStringLiteral("link") << true;
    QTest::newRow("regular file") << QStringLiteral("file") << false;
    QTest::newRow("directory") << QStringLiteral("dir") << false;
}

void TestSimController::linkPlacement() {
    QFETCH(QString, existing);
    QFETCH(bool, accepted);
    const QByteArray content("keep me\n");
    if (existing == QLatin1String("link")) {
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("gone")), linkPath()));
    } else if (existing == QLatin1String("file")) {
        QFile f(linkPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    } else if (existing == QLatin1String("dir")) {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("COM3")));
    }

    if (!accepted) {
        QProcess p;
        p.start(m_binary, {linkPath()});
        QVERIFY(p.waitForFinished(kTimeoutMs));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(!p.readAllStandardError().isEmpty());
        const QFileInfo info(linkPath());
        QVERIFY(!info.isSymLink());
        if (existing == QLatin1String("file")) {
            QFile f(linkPath());
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), content);
        } else {
            QVERIFY(info.isDir());
        }
        return;
    }

    QVERIFY(startSim({}));
    const QString target = QFileInfo(linkPath()).symLinkTarget();
    QVERIFY2(target.startsWith(QLatin1String("/dev/pts/")), qPrintable(target));
    QVERIFY2(log().contains(target) && log().contains(linkPath()), qPrintable(log()));
}

void TestSimController::stillReports_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QByteArray>("report");
    QTest::newRow("0") << QStringLiteral("0") << QByteArray("AZ=000\r\n");
    QTest::newRow("123") << QStringLiteral("123") << QByteArray("AZ=123\r\n");
    QTest::newRow("450") << QStringLiteral("450") << QByteArray("AZ=450\r\n");
    QTest::newRow("fraction rounds") << QStringLiteral("7.6") << QByteArray("AZ=008\r\n");
}

void TestSimController::stillReports() {
    QFETCH(QString, start);
    QFETCH(QByteArray, report);
    const int stillMs = 50;
    // A short moving interval too: reports at that pace would mean the rotator
    // is taken for turning.
    QVERIFY(startSim({"--start", start, "--still-interval", QString::number(stillMs),
                      "--moving-interval", "5"}));
    QVERIFY(m_port.open(linkPath()));
    QTRY_VERIFY_WITH_TIMEOUT(m_port.data.contains(report), kTimeoutMs);

    m_port.data.clear();
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(m_port.data.size() >= 4 * report.size(), kTimeoutMs);
    const qint64 elapsed = clock.elapsed();
    // Four reports span at least three intervals (the first may come at once).
    QVERIFY2(elapsed >= 3 * stillMs - 10, qPrintable(QString::number(elapsed)));
    QVERIFY(onlyReports(m_port.data));
    QCOMPARE(m_port.data.left(4 * report.size()), report.repeated(4));
}

void TestSimController::movement_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("direction");

    QTest::newRow("R rises to --max") << QStringList{"--start", "0", "--max", "200"}
                                      << QByteArray("R\r\n") << "cmd R" << 200 << 1;
    QTest::newRow("R to the default end stop")
        << QStringList{"--start", "300"} << QByteArray("R\r\n") << "cmd R" << 450 << 1;
    QTest::newRow("R with bare CR") << QStringList{"--start", "100", "--max", "150"}
                                    << QByteArray("R\r") << "cmd R" << 150 << 1;
    QTest::newRow("L falls to --min")
        << QStringList{"--start", "100", "--min", "20"} << QByteArray("L\n") << "cmd L" << 20 << -1;
    QTest::newRow("L at the end stop")
        << QStringList{"--start", "0"} << QByteArray("L\r\n") << "cmd L" << 0 << 0;
    QTest::newRow("M090 from below")
        << QStringList{"--start", "0"} << QByteArray("M090\r\n") << "cmd M090" << 90 << 1;
    QTest::newRow("M090 from above")
        << QStringList{"--start", "300"} << QByteArray("M090\r\n") << "cmd M090" << 90 << -1;
    QTest::newRow("M past --max clamps") << QStringList{"--start", "100", "--max", "180"}
                                         << QByteArray("M300\r\n") << "cmd M300" << 180 << 1;
    QTest::newRow("M past --min clamps") << QStringList{"--start", "100", "--min", "50"}
                                         << QByteArray("M000\r\n") << "cmd M000" << 50 << -1;
    QTest::newRow("M-30 ignored") << QStringList{"--start", "50"} << QByteArray("M-30\r\n")
                                  << "ignored M-30" << 50 << 0;
    QTest::newRow("M with four digits ignored")
        << QStringList{"--start", "50"} << QByteArray("M0900\r\n") << "ignored M0900" << 50 << 0;
    QTest::newRow("lower case ignored")
        << QStringList{"--start", "50"} << QByteArray("r\r\n") << "ignored r" << 50 << 0;
}

void TestSimController::movement() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, command);
    QFETCH(QString, logged);
    QFETCH(int, expected);
    QFETCH(int, direction);

    QVERIFY(startSim(options + QStringList{"--rate", "600", "--moving-interval", "20",
                                           "--still-interval", "100"}));
    QVERIFY(m_port.open(linkPath()));
    QTRY_VERIFY_WITH_TIMEOUT(!reportsIn(m_port.data).isEmpty(), kTimeoutMs);
    const int start = reportsIn(m_port.data).constLast();

    m_port.data.clear();
    QVERIFY(m_port.write(command));
    QTRY_VERIFY2_WITH_TIMEOUT(log().contains(logged), qPrintable(log()), kTimeoutMs);
    const qsizetype seenAtCommand = reportsIn(m_port.data).size();
    // Settled: three reports in a row on the expected azimuth, after the command.
    QTRY_VERIFY2_WITH_TIMEOUT(reportsIn(m_port.data).size() >= seenAtCommand + 3 &&
                                  lastReportsAre(reportsIn(m_port.data), expected, 3),
                              m_port.data.right(80).constData(), kTimeoutMs);

    QVERIFY(onlyReports(m_port.data));
    const QList<int> values = reportsIn(m_port.data);
    QList<int> distinct;
    int previous = start;
    for (const int v : values) {
        if (direction > 0)
            QVERIFY2(v >= previous && v <= expected, qPrintable(QString::number(v)));
        else if (direction < 0)
            QVERIFY2(v <= previous && v >= expected, qPrintable(QString::number(v)));
        else
            QCOMPARE(v, start);
        if (!distinct.contains(v))
            distinct << v;
        previous = v;
    }
    QCOMPARE(values.constLast(), expected);
    // A turn is reported on the way, not as a jump to the end.
    if (direction != 0)
        QVERIFY2(distinct.size() >= 3, m_port.data.constData());
}

void TestSimController::stopWhileTurning() {
    QVERIFY(startSim({"--rate", "100", "--moving-interval", "20", "--still-interval", "100"}));
    QVERIFY(m_port.open(linkPath()));
    QVERIFY(m_port.write("R\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(
        !reportsIn(m_port.data).isEmpty() && reportsIn(m_port.data).constLast() >= 20, kTimeoutMs);
    QVERIFY(m_port.write("A\r\n"));
    QTRY_VERIFY2_WITH_TIMEOUT(log().contains(QLatin1String("cmd A")), qPrintable(log()),
                              kTimeoutMs);
    // Turning reports differ by about two degrees each, so three equal ones mean still.
    QTRY_VERIFY_WITH_TIMEOUT(
        lastReportsAre(reportsIn(m_port.data), reportsIn(m_port.data).constLast(), 3), kTimeoutMs);
    const int stoppedAt = reportsIn(m_port.data).constLast();
    QVERIFY2(stoppedAt >= 20 && stoppedAt < 450, qPrintable(QString::number(stoppedAt)));

    const qsizetype count = reportsIn(m_port.data).size();
    QTRY_VERIFY_WITH_TIMEOUT(reportsIn(m_port.data).size() >= count + 3, kTimeoutMs);
    QVERIFY(lastReportsAre(reportsIn(m_port.data), stoppedAt, 6));
    QVERIFY(onlyReports(m_port.data));
}

void TestSimController::outputs_data() {
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("logged");

    QTest::newRow("switch 3 on and off")
        << QByteArray("Y31\r\nY30\r\n")
        << QStringList{"cmd Y31", "output 3 on", "cmd Y30", "output 3 off"};
    QTest::newRow("switch 8") << QByteArray("Y81\r\n") << QStringList{"output 8 on"};
    QTest::newRow("on twice") << QByteArray("Y11\r\nY11\r\n")
                              << QStringList{"output 1 on", "output 1 already on"};
    QTest::newRow("off while off") << QByteArray("Y20\r\n") << QStringList{"output 2 already off"};
    QTest::newRow("mixed line ends") << QByteArray("Y41\rY51\nY40\r\n")
                                     << QStringList{"output 4 on", "output 5 on", "output 4 off"};
    QTest::newRow("empty lines skipped")
        << QByteArray("\r\n\r\n\n\rY61\r\n") << QStringList{"cmd Y61", "output 6 on"};
    QTest::newRow("switch 9") << QByteArray("Y91\r\n") << QStringList{"ignored Y91"};
    QTest::newRow("state 2") << QByteArray("Y32\r\n") << QStringList{"ignored Y32"};
    QTest::newRow("unknown text") << QByteArray("XYZ\r\n") << QStringList{"ignored XYZ"};
    QTest::newRow("control bytes shown escaped")
        << QByteArray("\x01Q\r\n") << QStringList{"ignored \\x01Q"};
}

void TestSimController::outputs() {
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, logged);

    QVERIFY(startSim({"--still-interval", "50"}));
    QVERIFY(m_port.open(linkPath()));
    QVERIFY(m_port.write(sent));
    QTRY_VERIFY2_WITH_TIMEOUT(log().contains(logged.constLast()), qPrintable(log()), kTimeoutMs);

    const QStringList lines = log().split(QLatin1Char('\n'));
    qsizetype from = 0;
    for (const QString& line : logged) {
        const qsizetype at = lines.indexOf(line, from);
        QVERIFY2(at >= 0, qPrintable(line + QLatin1String(" in order in\n") + log()));
        from = at + 1;
    }
    // Only the expected output changes, and ignored text moves nothing.
    QStringList outputLines;
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("output ")))
            outputLines << line;
    QStringList expectedOutputLines;
    for (const QString& line : logged)
        if (line.startsWith(QLatin1String("output ")))
            expectedOutputLines << line;
    QCOMPARE(outputLines, expectedOutputLines);
    QTRY_VERIFY_WITH_TIMEOUT(reportsIn(m_port.data).size() >= 2, kTimeoutMs);
    QVERIFY(lastReportsAre(reportsIn(m_port.data), 0, reportsIn(m_port.data).size()));
}

void TestSimController::reopenAfterClose() {
    QVERIFY(startSim({"--rate", "600", "--moving-interval", "20", "--still-interval", "50"}));
    for (int round = 1; round <= 3; ++round) {
        QVERIFY(m_port.open(linkPath()));
        m_port.data.clear();
        QTRY_VERIFY_WITH_TIMEOUT(reportsIn(m_port.data).size() >= 2, kTimeoutMs);
        QVERIFY(onlyReports(m_port.data));
        const QString line = QStringLiteral("output %1 on").arg(round);
        QVERIFY(m_port.write("Y" + QByteArray::number(round) + "1\r\n"));
        QTRY_VERIFY2_WITH_TIMEOUT(log().contains(line), qPrintable(log()), kTimeoutMs);
        m_port.close();
    }
    QVERIFY(m_port.open(linkPath()));
    QVERIFY(m_port.write("M100\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(lastReportsAre(reportsIn(m_port.data), 100, 2), kTimeoutMs);
    QCOMPARE(m_sim->state(), QProcess::Running);
}

void TestSimController::endsOnSignal_data() {
    QTest::addColumn<int>("signo");
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGINT") << int(SIGINT) << false;
    QTest::newRow("SIGTERM while the port is open") << int(SIGTERM) << true;
}

void TestSimController::endsOnSignal() {
    QFETCH(int, signo);
    QFETCH(bool, portOpen);
    QVERIFY(startSim({"--still-interval", "50"}));
    if (portOpen) {
        QVERIFY(m_port.open(linkPath()));
        QTRY_VERIFY_WITH_TIMEOUT(!m_port.data.isEmpty(), kTimeoutMs);
    }
    QCOMPARE(::kill(static_cast<pid_t>(m_sim->processId()), signo), 0);
    QVERIFY(m_sim->waitForFinished(kTimeoutMs));
    QCOMPARE(m_sim->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_sim->exitCode(), 0);
    QVERIFY(!QFileInfo::exists(linkPath()) && !QFileInfo(linkPath()).isSymLink());
}

QTEST_GUILESS_MAIN(TestSimController)
#include "tst_simcontroller.moc"
