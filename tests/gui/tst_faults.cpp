// Faults from outside the program: a working directory it may not write, settings
// files it cannot or should not read whole, a controller that hangs up or floods the
// line, map pictures that lie about their size. In each case nothing the operator
// had is lost, the operator is told where there is something to tell, and the
// window keeps answering.

#include "fakemscomm.h"
#include "formharness.h"
#include "windowtexts.h"
#include "platform/comports.h"
#include "pseudoterminal.h"
#include "ui/controls_widgets.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <random>
#include <thread>

#include <cerrno>
#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

namespace {
using namespace WindowTexts;

// AddressSanitizer keeps freed memory in quarantine, so peaks there say nothing.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool memoryMeasurable = false;
#else
constexpr bool memoryMeasurable = true;
#endif

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Root passes over permission bits. Taking the capabilities that allow it out of
// this thread's effective set makes a read-only directory or an unreadable file
// stop us like any other user; they stay permitted, so they come back at the end.
class WithoutFileOverride {
  public:
    WithoutFileOverride() {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        if (::syscall(SYS_capget, &header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        m_active = ::syscall(SYS_capset, &header, reduced) == 0;
    }
    ~WithoutFileOverride() {
        if (!m_active)
            return;
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        ::syscall(SYS_capset, &header, m_saved);
    }
    WithoutFileOverride(const WithoutFileOverride&) = delete;
    WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

  private:
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

// A directory nobody may create files in, for as long as this object lives.
class ReadOnlyDirectory {
  public:
    explicit ReadOnlyDirectory(const QString& dir) : m_dir(QFile::encodeName(dir)) {
        ::chmod(m_dir.constData(), 0555);
        m_rights = std::make_unique<WithoutFileOverride>();
    }
    ~ReadOnlyDirectory() {
        m_rights.reset();
        ::chmod(m_dir.constData(), 0700);
    }
    ReadOnlyDirectory(const ReadOnlyDirectory&) = delete;
    ReadOnlyDirectory& operator=(const ReadOnlyDirectory&) = delete;
    // Whether creating a file there really fails.
    bool holds() const {
        const QByteArray probe = m_dir + "/probe";
        const int fd = ::open(probe.constData(), O_CREAT | O_WRONLY, 0644);
        if (fd < 0)
            return true;
        ::close(fd);
        ::unlink(probe.constData());
        return false;
    }

  private:
    QByteArray m_dir;
    std::unique_ptr<WithoutFileOverride> m_rights;
};

// A bitmap file as the usual writers make it, to damage.
QByteArray bitmapBytes(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "BMP");
    return bytes;
}

void putLE32(QByteArray& bytes, int at, qint32 value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((static_cast<quint32>(value) >> (8 * i)) & 0xff);
}

// The controller's side of a pseudo-terminal, written by a thread of its own as
// fast as the terminal takes bytes, while the window's thread does what it likes.
// What the program sends is collected.
class FloodingController {
  public:
    enum class Kind { RandomBytes, Replies };

    FloodingController() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(name);
        // Kept open, so the master never reads as hung up while the program has its
        // end closed; raw, so bytes pass unchanged.
        m_slave = ::open(name, O_RDWR | O_NOCTTY);
        termios t{};
        if (m_slave >= 0 && ::tcgetattr(m_slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_slave, TCSANOW, &t);
        }
    }
    ~FloodingController() {
        stop();
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    FloodingController(const FloodingController&) = delete;
    FloodingController& operator=(const FloodingController&) = delete;

    bool linkAs(const QString& dir, int comNumber) const {
        if (m_slave < 0)
            return false;
        const QString link = QDir(dir).filePath(QStringLiteral("COM%1").arg(comNumber));
        QFile::remove(link);
        return QFile::link(m_slavePath, link);
    }

    void start(Kind kind, quint32 seed) {
        stop();
        m_stop = false;
        m_thread = std::thread([this, kind, seed] { run(kind, seed, std::nullopt); });
    }
    void stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // Sends these bytes behind whatever the terminal still holds, then only listens.
    void finishWith(const QByteArray& bytes) {
        stop();
        m_stop = false;
        m_thread = std::thread([this, bytes] { run(Kind::RandomBytes, 0, bytes); });
    }
    qint64 sentBytes() const { return m_sent; }
    QByteArray received() const {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

  private:
    // Writes the flood of the given kind, or only the given bytes once.
    void run(Kind kind, quint32 seed, const std::optional<QByteArray>& only) {
        std::mt19937 random(seed);
        QByteArray chunk = only.value_or(QByteArray());
        qsizetype at = 0;
        char in[4096];
        while (!m_stop) {
            const bool writing = !only || at < chunk.size();
            pollfd p{m_master, short(POLLIN | (writing ? POLLOUT : 0)), 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            if (p.revents & POLLIN) {
                const ssize_t n = ::read(m_master, in, sizeof in);
                if (n > 0) {
                    std::lock_guard lock(m_mutex);
                    if (m_received.size() < (1 << 20))
                        m_received.append(in, n);
                }
            }
            if (!(p.revents & POLLOUT))
                continue;
            if (at == chunk.size()) {
                chunk = kind == Kind::RandomBytes ? randomBytes(random) : replies(random);
                at = 0;
            }
            const ssize_t n =
                ::write(m_master, chunk.constData() + at, static_cast<size_t>(chunk.size() - at));
            if (n > 0) {
                at += n;
                m_sent += n;
            }
        }
    }
    static QByteArray randomBytes(std::mt19937& random) {
        QByteArray b(4096, Qt::Uninitialized);
        for (char& c : b)
            c = static_cast<char>(random() & 0xff);
        return b;
    }
    // Well-formed azimuth reports, every one a new value, so each is shown.
    static QByteArray replies(std::mt19937& random) {
        QByteArray b;
        for (int i = 0; i < 512; ++i)
            b += "AZ=" + QByteArray::number(random() % 360).rightJustified(3, '0') + "\r\n";
        return b;
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    std::thread m_thread;
    std::atomic<bool> m_stop{true};
    std::atomic<qint64> m_sent{0};
    mutable std::mutex m_mutex;
    QByteArray m_received;
};

// The longest time the event loop went without serving a fine-grained timer.
class StallMeter {
  public:
    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestNs = std::max(m_longestNs, now - m_lastNs);
            m_lastNs = now;
        });
        m_clock.start();
        m_timer.start();
    }
    double longestMs() const { return double(m_longestNs) / 1e6; }

  private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};

// Opens a named pipe for writing and closes it again once a reader hangs on it, so
// that a reader that should never have waited comes free; says whether it had to.
class PipeRescuer {
  public:
    explicit PipeRescuer(const QString& path, std::chrono::milliseconds after)
        : m_path(QFile::encodeName(path)), m_thread([this, after] { run(after); }) {}
    ~PipeRescuer() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    PipeRescuer(const PipeRescuer&) = delete;
    PipeRescuer& operator=(const PipeRescuer&) = delete;
    bool rescued() const { return m_rescued; }

  private:
    void run(std::chrono::milliseconds after) {
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_for(lock, after, [this] { return m_done; }))
            return;
        // Succeeds only while a reader has the pipe open or is opening it.
        while (!m_done) {
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                ::close(fd);
                m_rescued = true;
                return;
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_done; });
        }
    }

    QByteArray m_path;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::atomic<bool> m_rescued{false};
    std::thread m_thread;
};

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { Form1::prepareApplication(); }
    void readOnlyFirstStart_data();
    void readOnlyFirstStart();
    void readOnlyRegistration_data();
    void readOnlyRegistration();
    void unreadableSettingsFile();
    void settingsFileIsPipe();
    void hugeSettingsFile_data();
    void hugeSettingsFile();
    void hangUpMidReply_data();
    void hangUpMidReply();
    void floodWhileClicking_data();
    void floodWhileClicking();
    void damagedPicture_data();
    void damagedPicture();

  private:
    static void press(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
};

void TestFaults::readOnlyFirstStart_data() {
    QTest::addColumn<QByteArray>("contents"); // "-": no file
    QTest::newRow("no settings file") << QByteArray("-");
    QTest::newRow("old-format settings file") << QByteArray("7,19200,E,7,1\r\nmy notes\r\n");
}

void TestFaults::readOnlyFirstStart() {
    QFETCH(QByteArray, contents);
    FormHarness h;
    const QString path = h.path(SettingsCodec::fileName);
    if (contents != "-")
        h.writeFile(SettingsCodec::fileName, contents);
    ReadOnlyDirectory readOnly(h.dir());
    if (!readOnly.holds())
        QSKIP("this process can write into a directory without write permission");
    Form1& f = h.create(std::make_unique<FakeMSComm>());
    QVERIFY(!f.load());
    QVERIFY(f.programEnded());
    // Told that the file could not be written, not that it was.
    QCOMPARE(h.messages.size(), 1);
    QCOMPARE(h.messages[0].title, QStringLiteral("AZIVEX"));
    QCOMPARE(h.messages[0].text, notWrittenText);
    // An old file is left as it was, port and notes included.
    if (contents == "-")
        QVERIFY(!QFileInfo::exists(path));
    else
        QCOMPARE(readAll(path), contents);
    QCOMPARE(QDir(h.dir()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
             contents == "-" ? 0 : 1);
}

void TestFaults::readOnlyRegistration_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("registration button") << "Command8";
    QTest::newRow("picture choice") << "Option1(1)";
    QTest::newRow("switch panel check box") << "Check1";
    QTest::newRow("port list choice") << "Combo1";
}

void TestFaults::readOnlyRegistration() {
    QFETCH(QString, action);
    FormHarness h;
    h.writeStandardPictures();
    h.writeSettings(QStringLiteral("3,9600,N,8,1:5-0/0"));
    PseudoTerminal pty;
    QVERIFY(pty.linkAs(h.dir(), 3));
    Form1& f = h.start();
    QVERIFY(f.MSComm1->PortOpen());
    const QByteArray before = h.settingsBytes();
    f.SSTab1->setCurrentIndex(1);
    f.Text5->setText(QStringLiteral("12"));
    {
        ReadOnlyDirectory readOnly(h.dir());
        if (!readOnly.holds())
            QSKIP("this process can write into a directory without write permission");
        if (action == QLatin1String("Command8")) {
            press(f.Command8);
        } else if (action == QLatin1String("Option1(1)")) {
            f.SSTab1->setCurrentIndex(0);
            press(f.Option1[1]);
            QVERIFY(f.Option1[1]->isChecked());
            QCOMPARE(f.Picture1->size(), QSize(304, 304));
        } else if (action == QLatin1String("Check1")) {
            press(f.Check1);
            QVERIFY(f.Check1->isChecked());
        } else {
            int row = -1;
            for (int i = 0; i < f.Combo1->count(); ++i)
                if (comNumberFromEntry(f.Combo1->itemText(i)) == 3)
                    row = i;
            QVERIFY2(row >= 0, "COM3 is in the port list");
            chooseComboEntry(f.Combo1, row);
        }
        // Told, the file untouched, no stray file beside it, the link back up.
        QCOMPARE(f.Label1->text(), notRegisteredText);
        QCOMPARE(h.settingsBytes(), before);
        QCOMPARE(QDir(h.dir()).entryList({QStringLiteral("AZIVEX*")}, QDir::Files | QDir::Hidden),
                 QStringList{SettingsCodec::fileName});
        QVERIFY(f.MSComm1->PortOpen());
        QCOMPARE(f.Command6->text(), disconnectCaption);
        QVERIFY(h.messages.isEmpty());
        // The operator's change is still in the window...
        QCOMPARE(f.Text5->text(), QStringLiteral("12"));
    }
    // ...and is saved once the directory can be written again.
    f.SSTab1->setCurrentIndex(1);
    press(f.Command8);
    QCOMPARE(f.Label1->text(), registeredText);
    const QString expected =
        QStringLiteral("3,9600,N,8,1:12-%1/%2").arg(f.pictureNo, f.Check1->isChecked() ? "1" : "0");
    QCOMPARE(h.dataLine(), expected);
    if (action == QLatin1String("Option1(1)"))
        QCOMPARE(f.pictureNo, QStringLiteral("1"));
}

void TestFaults::unreadableSettingsFile() {
    FormHarness h;
    const QString path = h.path(SettingsCodec::fileName);
    h.writeSettings(QStringLiteral("5,4800,N,8,1:7-1/1"));
    const QByteArray before = h.settingsBytes();
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    {
        WithoutFileOverride asAnyone;
        QFile probe(path);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("this process reads files without read permission");
        Form1& f = h.create(std::make_unique<FakeMSComm>());
        QVERIFY(!f.load());
        QVERIFY(f.programEnded());
        QCOMPARE(h.messages.size(), 1);
        QCOMPARE(h.messages[0].text, unreadableText);
    }
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QCOMPARE(h.settingsBytes(), before);
}

void TestFaults::settingsFileIsPipe() {
    // A named pipe has no line to give until someone writes to it; start-up must not
    // wait for one.
    FormHarness h;
    const QString path = h.path(SettingsCodec::fileName);
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    bool loaded = true;
    bool rescued = false;
    {
        PipeRescuer rescuer(path, std::chrono::seconds(3));
        Form1& f = h.create(std::make_unique<FakeMSComm>());
        loaded = f.load();
        rescued = rescuer.rescued();
    }
    QVERIFY2(!rescued, "start-up waited for someone to write to the pipe");
    QVERIFY(!loaded);
    QCOMPARE(h.messages.size(), 1);
    QCOMPARE(h.messages[0].text, unreadableText);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QVERIFY(S_ISFIFO(st.st_mode));
}

void TestFaults::hugeSettingsFile_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("starts");
    QTest::newRow("data line, then 100 MB without a line end")
        << QByteArray("4,4800,N,8,1:7-0/0") << true;
    QTest::newRow("100 MB without a line end or a slash") << QByteArray() << false;
}

void TestFaults::hugeSettingsFile() {
    QFETCH(QByteArray, head);
    QFETCH(bool, starts);
    FormHarness h;
    h.writeStandardPictures();
    const QString path = h.path(SettingsCodec::fileName);
    constexpr qint64 size = 100LL * 1024 * 1024;
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(head), head.size());
        const QByteArray block(1 << 20, 'x');
        while (file.size() < size)
            QVERIFY(file.write(block.left(std::min<qint64>(block.size(), size - file.size()))) > 0);
    }
    const bool measured = resetPeakResident() && memoryMeasurable;
    const qint64 residentBefore = residentKiB();
    Form1& f = h.create(std::make_unique<FakeMSComm>());
    const bool loaded = f.load();
    const qint64 growth = peakResidentKiB() - residentBefore;
    qInfo("peak memory growth while starting on a 100 MB settings file: %lld KiB",
          static_cast<long long>(growth));
    if (measured)
        QVERIFY2(growth < 16 * 1024, qPrintable(QStringLiteral("%1 KiB").arg(growth)));
    QCOMPARE(loaded, starts);
    if (starts) {
        QVERIFY(h.messages.isEmpty());
        QCOMPARE(f.Text1->text(), QStringLiteral("4"));
        QCOMPARE(f.Text2->text(), QStringLiteral("4800,N,8,1"));
        QCOMPARE(f.Text5->text(), QStringLiteral("7"));
        QVERIFY(f.Option1[0]->isChecked());
        // Start-up itself writes nothing.
        QCOMPARE(QFileInfo(path).size(), size);
    } else {
        QCOMPARE(h.messages.size(), 1);
        QCOMPARE(h.messages[0].text, recreatedText);
        QCOMPARE(h.dataLine(), QStringLiteral("3,9600,N,8,1:0-0/0"));
    }
}

void TestFaults::hangUpMidReply_data() {
    QTest::addColumn<QByteArray>("partial");
    for (const char* partial : {"A", "AZ", "AZ=", "AZ=2", "AZ=27"})
        QTest::newRow(partial) << QByteArray(partial);
}

void TestFaults::hangUpMidReply() {
    QFETCH(QByteArray, partial);
    FormHarness h;
    h.writeStandardPictures();
    h.writeSettings(QStringLiteral("3,9600,N,8,1:0-0/1"));
    const QByteArray settingsBefore = h.settingsBytes();
    PseudoTerminal pty;
    QVERIFY(pty.linkAs(h.dir(), 3));
    Form1& f = h.start();
    QVERIFY(f.MSComm1->PortOpen());
    f.inputLine.clear();
    QVERIFY(pty.write("AZ=045\r\n"));
    QTRY_COMPARE(f.Label4->text(), QStringLiteral("45"));
    QTest::mouseClick(f.Picture1, Qt::LeftButton, {}, QPoint(194, 102));
    press(f.Command13); // switch 1 on from the panel
    QTRY_COMPARE(pty.received(), QByteArray("M090\r\nY11\r\n"));
    QVERIFY(pty.write(partial));
    QTRY_COMPARE(f.inputLine, QString::fromLatin1(partial));

    pty.hangUp();
    // Told: the port shows closed and the button offers to connect.
    QTRY_COMPARE(f.Command6->text(), connectCaption);
    QCOMPARE(f.Label1->text(), portFalse);
    QVERIFY(!f.MSComm1->PortOpen());
    // Nothing the window showed is lost.
    QCOMPARE(f.Label4->text(), QStringLiteral("45"));
    QCOMPARE(f.Label5->text(), QStringLiteral("90"));
    QCOMPARE(f.Command7->text(), QStringLiteral("ON"));
    QCOMPARE(f.Command13->text(), QStringLiteral("ON"));
    // A switch worked while the line is down is shown, and the notice repeated.
    f.Label1->clear();
    press(f.Command14);
    QCOMPARE(f.Label1->text(), portFalse);
    QCOMPARE(f.Command10->text(), QStringLiteral("ON"));
    QCOMPARE(f.Command14->text(), QStringLiteral("ON"));

    // The controller comes back behind the same COM3; Connect.
    QVERIFY(pty.reopen());
    pty.clearReceived();
    QVERIFY(pty.linkAs(h.dir(), 3));
    press(f.Command6);
    QCOMPARE(f.Command6->text(), disconnectCaption);
    QCOMPARE(f.Label1->text(), portTrue);
    // The first whole reply after the broken one is shown.
    QVERIFY(pty.write("AZ=200\r\n"));
    QTRY_COMPARE(f.Label4->text(), QStringLiteral("200"));
    // Commands go out on the new line.
    press(f.Command4);
    QTRY_COMPARE(pty.received(), QByteArray("M100\r\n"));
    QVERIFY(h.messages.isEmpty());
    QCOMPARE(h.settingsBytes(), settingsBefore);
}

void TestFaults::floodWhileClicking_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("random bytes") << int(FloodingController::Kind::RandomBytes);
    QTest::newRow("a new azimuth in every reply") << int(FloodingController::Kind::Replies);
}

void TestFaults::floodWhileClicking() {
    QFETCH(int, kind);
    constexpr int floodMs = 4000;
    constexpr double allowedStallMs = 250;
    FormHarness h;
    h.writeStandardPictures();
    h.writeSettings(QStringLiteral("3,9600,N,8,1:0-0/1"));
    FloodingController controller;
    QVERIFY(controller.linkAs(h.dir(), 3));
    Form1& f = h.start();
    QVERIFY(f.MSComm1->PortOpen());
    f.inputLine.clear();

    // The operator keeps working the operating tab: rotation and step buttons, the
    // map, the panel switches, other pictures, a look at the settings tab.
    std::mt19937 random(20240611u + static_cast<quint32>(kind));
    int clicks = 0;
    QTimer operatorHand;
    operatorHand.setInterval(15);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        ++clicks;
        const unsigned pick = random() % 20;
        if (f.SSTab1->currentIndex() != 0) {
            f.SSTab1->setCurrentIndex(0);
        } else if (pick < 5) {
            QPushButton* const rotation[] = {f.Command1, f.Command2, f.Command3, f.Command4,
                                             f.Command5};
            press(rotation[pick]);
        } else if (pick < 12) {
            const QSize s = f.Picture1->size();
            QTest::mouseClick(
                f.Picture1, Qt::LeftButton, {},
                QPoint(int(random() % unsigned(s.width())), int(random() % unsigned(s.height()))));
        } else if (pick < 17) {
            press(f.panelSwitchButton(int(random() % 8) + 1));
        } else if (pick < 19) {
            press(f.Option1[random() % 3]);
        } else {
            f.SSTab1->setCurrentIndex(1);
        }
    });

    const bool measured = resetPeakResident() && memoryMeasurable;
    const qint64 residentBefore = residentKiB();
    controller.start(FloodingController::Kind(kind), 7u);
    StallMeter meter;
    operatorHand.start();
    QEventLoop loop;
    QTimer::singleShot(floodMs, &loop, &QEventLoop::quit);
    loop.exec();
    operatorHand.stop();
    controller.stop();
    const double stallMs = meter.longestMs();
    const qint64 growth = peakResidentKiB() - residentBefore;
    qInfo("flood of %lld bytes in %d ms, %d operator actions: longest event-loop stall %.1f ms, "
          "peak memory growth %lld KiB",
          static_cast<long long>(controller.sentBytes()), floodMs, clicks, stallMs,
          static_cast<long long>(growth));
    QVERIFY(controller.sentBytes() > 0);
    QVERIFY(clicks > floodMs / 15 / 2);
    QVERIFY2(stallMs < allowedStallMs, qPrintable(QStringLiteral("%1 ms").arg(stallMs)));
    if (measured)
        QVERIFY2(growth < 64 * 1024, qPrintable(QStringLiteral("%1 KiB").arg(growth)));

    // Still listening once the flood is over: a reply no flood value can give shows.
    QVERIFY(f.MSComm1->PortOpen());
    controller.finishWith("AZ=999\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(f.Label4->text(), QStringLiteral("639"), 15000);
    // Every command went out whole, one line each.
    controller.stop();
    const QByteArray sent = controller.received();
    QVERIFY(!sent.isEmpty());
    static const QRegularExpression commands(
        QStringLiteral("^(?:(?:[LRA]|M\\d{3}|Y[1-8][01])\\r\\n)+$"));
    QVERIFY2(commands.match(QString::fromLatin1(sent)).hasMatch(), sent.left(200).constData());
    QVERIFY(h.messages.isEmpty());
    QVERIFY(!f.programEnded());
}

void TestFaults::damagedPicture_data() {
    QTest::addColumn<QByteArray>("contents");
    const QByteArray bmp = bitmapBytes(300, 300);
    // Writers that do not know the size in advance leave the size field 0.
    QByteArray truncated = bmp.left(bmp.size() / 3);
    putLE32(truncated, 2, 0);
    QTest::newRow("truncated, size field 0") << truncated;
    QByteArray cut = bmp.left(bmp.size() - 1);
    putLE32(cut, 2, static_cast<qint32>(cut.size()));
    QTest::newRow("one byte short, size field agrees") << cut;
    // A header and no pixels, claiming 8000 x 8000.
    QByteArray big = bmp.left(54);
    putLE32(big, 2, 0);
    putLE32(big, 18, 8000);
    putLE32(big, 22, 8000);
    QTest::newRow("8000 x 8000 header only") << big;
    QByteArray huge = bmp.left(54);
    putLE32(huge, 2, 54);
    putLE32(huge, 18, 50000);
    putLE32(huge, 22, 50000);
    QTest::newRow("50000 x 50000 header only, size field agrees") << huge;
    QByteArray topDown = huge;
    putLE32(topDown, 22, -50000);
    QTest::newRow("50000 x -50000 header only") << topDown;
}

void TestFaults::damagedPicture() {
    QFETCH(QByteArray, contents);
    FormHarness h;
    h.writeStandardPictures();
    h.writeSettings(QStringLiteral("3,9600,N,8,1:0-0/0"));
    Form1& f = h.start(std::make_unique<FakeMSComm>());
    const QImage shownBefore = f.Picture1->bitmap();
    h.writeFile(QStringLiteral("world2.bmp"), contents);
    const bool measured = resetPeakResident() && memoryMeasurable;
    const qint64 residentBefore = residentKiB();
    press(f.Option1[1]);
    const qint64 growth = peakResidentKiB() - residentBefore;
    qInfo("peak memory growth on choosing the picture: %lld KiB", static_cast<long long>(growth));
    if (measured)
        QVERIFY2(growth < 32 * 1024, qPrintable(QStringLiteral("%1 KiB").arg(growth)));
    // Refused: the picture shown before stays, the window is sized for it, and the
    // choice itself is kept and registered.
    QVERIFY(h.messages.isEmpty());
    QCOMPARE(f.Picture1->bitmap(), shownBefore);
    QCOMPARE(f.windowHeightTwips(), 3000 + 2195);
    QVERIFY(f.Option1[1]->isChecked());
    QCOMPARE(f.pictureNo, QStringLiteral("1"));
    QCOMPARE(h.dataLine(), QStringLiteral("3,9600,N,8,1:0-1/0"));
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
