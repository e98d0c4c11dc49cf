#include "platform/comports.h"
#include "pseudoterminal.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

class TestComPorts : public QObject {
    Q_OBJECT
private slots:
    void table_data();
    void table();
    void tableRoundTrip();
    void deviceNumber_data();
    void deviceNumber();
    void workingDirEntry_data();
    void workingDirEntry();
    void entryNumber_data();
    void entryNumber();
    void presentPortsListLinks();
};

void TestComPorts::table_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1") << 1 << "/dev/ttyS0";
    QTest::newRow("COM32") << 32 << "/dev/ttyS31";
    QTest::newRow("COM33") << 33 << "/dev/ttyUSB0";
    QTest::newRow("COM64") << 64 << "/dev/ttyUSB31";
    QTest::newRow("COM65") << 65 << "/dev/ttyACM0";
    QTest::newRow("COM96") << 96 << "/dev/ttyACM31";
    QTest::newRow("COM0") << 0 << "";
    QTest::newRow("COM97") << 97 << "";
    QTest::newRow("negative") << -3 << "";
    QTest::newRow("COM32767") << 32767 << "";
}

void TestComPorts::table() {
    QFETCH(int, n);
    QFETCH(QString, device);
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    QCOMPARE(comDevicePath(n, empty.path()), device);
}

void TestComPorts::tableRoundTrip() {
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    for (int n = 1; n <= 96; ++n)
        QCOMPARE(comNumberForDevice(comDevicePath(n, empty.path())), std::optional<int>(n));
}

void TestComPorts::deviceNumber_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("n"); // 0: no number
    QTest::newRow("ttyS0") << "/dev/ttyS0" << 1;
    QTest::newRow("ttyS31") << "/dev/ttyS31" << 32;
    QTest::newRow("ttyS32 beyond its range") << "/dev/ttyS32" << 0;
    QTest::newRow("ttyUSB0") << "/dev/ttyUSB0" << 33;
    QTest::newRow("ttyUSB31") << "/dev/ttyUSB31" << 64;
    QTest::newRow("ttyACM0") << "/dev/ttyACM0" << 65;
    QTest::newRow("ttyACM31") << "/dev/ttyACM31" << 96;
    QTest::newRow("leading zero") << "/dev/ttyS01" << 0;
    QTest::newRow("no digits") << "/dev/ttyUSB" << 0;
    QTest::newRow("sign") << "/dev/ttyUSB-1" << 0;
    QTest::newRow("trailing text") << "/dev/ttyACM0x" << 0;
    QTest::newRow("pseudo-terminal") << "/dev/pts/3" << 0;
    QTest::newRow("other directory") << "/tmp/ttyS0" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestComPorts::deviceNumber() {
    QFETCH(QString, device);
    QFETCH(int, n);
    const std::optional<int> expected = n ? std::optional<int>(n) : std::nullopt;
    QCOMPARE(comNumberForDevice(device), expected);
}

void TestComPorts::workingDirEntry_data() {
    QTest::addColumn<QString>("entryKind"); // what "COM<n>" in the directory is
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("entryWins");
    QTest::newRow("link within the table") << "link" << 1 << true;
    QTest::newRow("link beyond the table") << "link" << 200 << true;
    QTest::newRow("link with a missing target") << "broken" << 33 << true;
    QTest::newRow("device node") << "device" << 2 << true;
    QTest::newRow("stray regular file") << "file" << 3 << false;
    QTest::newRow("nothing") << "none" << 65 << false;
}

void TestComPorts::workingDirEntry() {
    QFETCH(QString, entryKind);
    QFETCH(int, n);
    QFETCH(bool, entryWins);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString entry = dir.filePath(QStringLiteral("COM%1").arg(n));
    if (entryKind == u"link") {
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), entry));
    } else if (entryKind == u"broken") {
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("unplugged")), entry));
    } else if (entryKind == u"device") {
        // The node of /dev/null, made in the directory itself.
        if (::mknod(QFile::encodeName(entry).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("device nodes cannot be made here");
    } else if (entryKind == u"file") {
        QFile f(entry);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    const QString expected = entryWins ? entry : comDevicePath(n, empty.path());
    QCOMPARE(comDevicePath(n, dir.path()), expected);
}

void TestComPorts::entryNumber_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("n"); // 0: no number
    QTest::newRow("USB serial") << "USB Serial Port (COM3)" << 3;
    QTest::newRow("mixed-case Comm before the number")
        << "Prolific USB-to-Serial Comm Port (COM12)" << 12;
    QTest::newRow("COM in the device name") << "COMTEC (COM4)" << 4;
    QTest::newRow("two port parts, last wins") << "Bridge (COM5) (COM6)" << 6;
    QTest::newRow("our own list entry") << "/dev/ttyUSB0 (COM33)" << 33;
    QTest::newRow("not at the end") << "Port (COM3) spare" << 0;
    QTest::newRow("no closing parenthesis") << "Port (COM3" << 0;
    QTest::newRow("no digits") << "Port (COM)" << 0;
    QTest::newRow("letters in the number") << "Port (COM1a)" << 0;
    QTest::newRow("lower case") << "Port (com3)" << 0;
    QTest::newRow("zero") << "Port (COM0)" << 0;
    QTest::newRow("too large") << "Port (COM99999)" << 0;
    QTest::newRow("overflow") << "Port (COM99999999999999999999)" << 0;
    QTest::newRow("selection prompt") << "ポート選択" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestComPorts::entryNumber() {
    QFETCH(QString, entry);
    QFETCH(int, n);
    const std::optional<int> expected = n ? std::optional<int>(n) : std::nullopt;
    QCOMPARE(comNumberFromEntry(entry), expected);
}

void TestComPorts::presentPortsListLinks() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PseudoTerminal seven;
    PseudoTerminal one;
    QVERIFY(seven.isOpen() && one.isOpen());
    QVERIFY(seven.linkAs(dir.path(), 7));
    QVERIFY(one.linkAs(dir.path(), 1)); // shadows the table's /dev/ttyS0
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("unplugged")),
                        dir.filePath(QStringLiteral("COM8"))));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), dir.filePath(QStringLiteral("COMX"))));

    const QStringList entries = listPresentPorts(dir.path());
    QVERIFY2(entries.contains(seven.slavePath() + QStringLiteral(" (COM7)")),
             qPrintable(entries.join(u'|')));
    QVERIFY2(entries.contains(one.slavePath() + QStringLiteral(" (COM1)")),
             qPrintable(entries.join(u'|')));

    // Every entry carries its number at the end, numbers ascend without repeats, and
    // the link with no device behind it is left out.
    int previous = 0;
    for (const QString& entry : entries) {
        const std::optional<int> n = comNumberFromEntry(entry);
        QVERIFY2(n.has_value(), qPrintable(entry));
        QVERIFY2(*n > previous, qPrintable(entries.join(u'|')));
        QVERIFY2(*n != 8, qPrintable(entry));
        previous = *n;
    }

    // Without the links only the table's devices remain.
    for (const QString& entry : listPresentPorts(QString())) {
        const std::optional<int> n = comNumberFromEntry(entry);
        QVERIFY2(n && *n <= 96, qPrintable(entry));
    }
}

QTEST_GUILESS_MAIN(TestComPorts)
#include "tst_comports.moc"
