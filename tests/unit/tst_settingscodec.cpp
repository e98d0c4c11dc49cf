#include "app/settingscodec.h"
#include "platform/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsCodec : public QObject {
    Q_OBJECT
private slots:
    void extract_data();
    void extract();
    void linkFieldsOfOldLine_data();
    void linkFieldsOfOldLine();
    void registeredLineRoundTrips();
    void writersAreByteExact();
    void decodeFallsBackToLatin1();
    void firstLineIsBounded_data();
    void firstLineIsBounded();
    void unreadableFiles();
    void replaceIsAtomic();
};

// "~" in a column marks a field that is absent (the window keeps its value).
static QString show(const std::optional<QString>& v) { return v ? *v : QStringLiteral("~"); }

void TestSettingsCodec::extract_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("portNo");
    QTest::addColumn<QString>("lineSettings");
    QTest::addColumn<QString>("offset");
    QTest::addColumn<QString>("pictureNo");
    QTest::addColumn<QString>("controlPosition");
    QTest::newRow("default") << "3,9600,N,8,1:0-0/0" << "3" << "9600,N,8,1" << "0" << "0" << "0";
    QTest::newRow("negative offset uses last dash")
        << "5,4800,E,7,2:-12-2/1" << "5" << "4800,E,7,2" << "-12" << "2" << "1";
    QTest::newRow("one character after slash")
        << "3,9600,N,8,1:0-0/0XYZ" << "3" << "9600,N,8,1" << "0" << "0" << "0";
    QTest::newRow("no comma keeps port")
        << "39600:0-0/0" << "~" << "39600" << "0" << "0" << "0";
    QTest::newRow("no colon keeps line settings")
        << "3,9600,N,8,1-0/0" << "3" << "~" << "3,9600,N,8,1" << "0" << "0";
    QTest::newRow("slash at end gives empty flag") << "3,9600:0-1/" << "3" << "9600" << "0" << "1" << "";
    QTest::newRow("only slash") << "/" << "~" << "~" << "~" << "/" << "";
    QTest::newRow("character outside the basic plane")
        << QString::fromUtf8("7,42:-5-\xF0\x9F\x93\xA1/\xF0\x9F\x93\xA1") << "7" << "42" << "-5"
        << QString::fromUtf8("\xF0\x9F\x93\xA1") << QString::fromUtf8("\xF0\x9F\x93\xA1");
    QTest::newRow("wide text") << "１２,9600:＋5-3/1" << "１２" << "9600" << "＋5" << "3" << "1";
}

void TestSettingsCodec::extract() {
    QFETCH(QString, line);
    const ExtractedFields f = SettingsCodec::extract(line);
    QTEST(show(f.portNo), "portNo");
    QTEST(show(f.lineSettings), "lineSettings");
    QTEST(show(f.offset), "offset");
    QTEST(show(f.pictureNo), "pictureNo");
    QTEST(show(f.controlPosition), "controlPosition");
}

void TestSettingsCodec::linkFieldsOfOldLine_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("portNo");
    QTest::addColumn<QString>("lineSettings");
    QTest::newRow("no colon") << "3,9600,N,8,1" << "3" << "~";
    QTest::newRow("empty port") << ",4800,N,8,1:" << "" << "4800,N,8,1";
    QTest::newRow("empty line") << "" << "~" << "~";
}

void TestSettingsCodec::linkFieldsOfOldLine() {
    QFETCH(QString, line);
    const ExtractedFields f = SettingsCodec::extractLinkFields(line);
    QTEST(show(f.portNo), "portNo");
    QTEST(show(f.lineSettings), "lineSettings");
    QVERIFY(!f.offset && !f.pictureNo && !f.controlPosition);
}

void TestSettingsCodec::registeredLineRoundTrips() {
    const QString line = QStringLiteral("5,4800,E,7,2:-12-2/1");
    const ExtractedFields f = SettingsCodec::extract(line);
    QCOMPARE(SettingsCodec::registeredDataLine(*f.portNo, *f.lineSettings, *f.offset, *f.pictureNo,
                                               *f.controlPosition),
             line);
}

void TestSettingsCodec::writersAreByteExact() {
    const QByteArray reference =
        "\r\n\r\nReference\r\n"
        "3(port No),9600,N,8,1(Baudot etc.):0(Offset)-0(Picture No)/0(Control position)\r\n";
    QCOMPARE(SettingsCodec::fileText(SettingsCodec::defaultDataLine("3", "9600,N,8,1", "0")),
             "3,9600,N,8,1:0-0/0" + reference);
    QCOMPARE(SettingsCodec::recreatedDataLine("3", "4800,N,8,1"), QStringLiteral("3,4800,N,8,1:0-0/0"));
    QCOMPARE(SettingsCodec::fileText(QStringLiteral("4,ä:1-2/1")), QByteArray("4,\xc3\xa4:1-2/1") + reference);
}

void TestSettingsCodec::decodeFallsBackToLatin1() {
    QCOMPARE(SettingsCodec::decodeLine("3,9600,N,8,1:0-0/0"), QStringLiteral("3,9600,N,8,1:0-0/0"));
    QCOMPARE(SettingsCodec::decodeLine("3,\xc3\xa4:0-0/0"), QStringLiteral("3,ä:0-0/0"));
    // Shift-JIS bytes are not UTF-8: the ASCII fields survive.
    const QString s = SettingsCodec::decodeLine("7,9600,N,8,1:\x83\x65-1/0");
    QCOMPARE(SettingsCodec::extract(s).portNo.value(), QStringLiteral("7"));
    QCOMPARE(SettingsCodec::extract(s).pictureNo.value(), QStringLiteral("1"));
}

void TestSettingsCodec::firstLineIsBounded_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("crlf") << QByteArray("3,9600,N,8,1:0-0/0\r\n\r\nReference\r\n")
                          << QByteArray("3,9600,N,8,1:0-0/0");
    QTest::newRow("lf only") << QByteArray("1,2:3-4/5\nmore") << QByteArray("1,2:3-4/5");
    QTest::newRow("no line end") << QByteArray("1,2:3-4/5") << QByteArray("1,2:3-4/5");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("empty first line") << QByteArray("\r\n3,9600:0-0/0\r\n") << QByteArray();
    QTest::newRow("huge line") << QByteArray(1 << 20, 'x') << QByteArray(4096, 'x');
}

void TestSettingsCodec::firstLineIsBounded() {
    QFETCH(QByteArray, contents);
    QTemporaryDir dir;
    const QString path = dir.filePath("AZIVEX.DAT");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(contents);
    f.close();
    const SettingsFile::FirstLine first = SettingsFile::readFirstLine(path);
    QCOMPARE(first.status, SettingsFile::ReadStatus::Ok);
    QTEST(first.bytes, "line");
}

void TestSettingsCodec::unreadableFiles() {
    QTemporaryDir dir;
    QCOMPARE(SettingsFile::readFirstLine(dir.filePath("none")).status,
             SettingsFile::ReadStatus::Missing);
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    QVERIFY(SettingsFile::exists(dir.filePath("folder")));
    QCOMPARE(SettingsFile::readFirstLine(dir.filePath("folder")).status,
             SettingsFile::ReadStatus::Unreadable);
    const QString locked = dir.filePath("locked");
    QFile f(locked);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("3,9600:0-0/0");
    f.close();
    QVERIFY(f.setPermissions(QFileDevice::Permissions()));
    QFile probe(locked);
    if (probe.open(QIODevice::ReadOnly))
        QSKIP("running with rights that read any file");
    QCOMPARE(SettingsFile::readFirstLine(locked).status, SettingsFile::ReadStatus::Unreadable);
}

void TestSettingsCodec::replaceIsAtomic() {
    QTemporaryDir dir;
    const QString path = dir.filePath("AZIVEX.DAT");
    QVERIFY(SettingsFile::replaceContents(path, "first\r\n"));
    QVERIFY(SettingsFile::replaceContents(path, "second\r\n"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("second\r\n"));
    // Nothing is left beside the file.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"AZIVEX.DAT"});
    // A folder in the way is not replaced.
    QVERIFY(QDir(dir.path()).mkdir("blocked"));
    QVERIFY(!SettingsFile::replaceContents(dir.filePath("blocked"), "x"));
    QVERIFY(QFileInfo(dir.filePath("blocked")).isDir());
}

QTEST_GUILESS_MAIN(TestSettingsCodec)
#include "tst_settingscodec.moc"
