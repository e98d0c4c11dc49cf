// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The core's plain functions: text numbers, the settings line and file, the
// controller protocol, serial port names, and the map and window arithmetic.
#include "core/session/geometry.h"
#include "core/application/layout.h"
#include "core/links/protocol.h"
#include "core/links/linesettings.h"
#include "core/links/rotationrange.h"
#include "core/links/serialports.h"
#include "core/settings/settings.h"
#include "core/settings/settingsfile.h"
#include "core/text/textnumber.h"
#include "core/application/uilanguage.h"
#include "core/settings/userfolder.h"
#include "testfiles.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <unistd.h>

namespace {
const QString none = QStringLiteral("<none>");
QString shown(const std::optional<QString>& v) {
    return v ? *v : none;
}
template <typename T> QString shown(const std::optional<T>& v) {
    return v ? QString::number(*v) : none;
}

// A tiny file system of its own, unmounted when done; mounting needs root.
struct SmallFileSystem {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("fs"));
    bool mounted = QDir().mkpath(path) && QProcess::execute(QStringLiteral("mount"),
                                                           {"-t", "tmpfs", "-o", "size=64k", "tmpfs", path}) == 0;
    ~SmallFileSystem() {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {path});
    }
    // Takes every byte left; true when the disk is full.
    bool fill() const {
        QFile filler(path + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {}
        return filler.error() != QFileDevice::NoError;
    }
};
} // namespace

// The tables below are laid out by hand.
// clang-format off
class TestCore : public QObject {
    Q_OBJECT
  private slots:
    void numbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("whole");
        for (auto [text, value, whole] : std::initializer_list<std::tuple<const char*, double, const char*>>{
            {"", 0, "<none>"}, {" 4 ", 4, "4"}, {"3.5", 3.5, "4"}, {"2.5", 2.5, "2"},
            {"-0.5", -0.5, "0"}, {"-1.5", -1.5, "-2"}, {"4a", 4, "<none>"},
            {"-12.5e1x", -125, "<none>"}, {"1D2", 100, "<none>"}, {"\t- 3\n", -3, "<none>"},
            {"&H1F", 31, "<none>"}, {"&H7", 7, "<none>"}, {"&O17", 15, "<none>"}, {"&17", 15, "<none>"},
            {"&HFFFF", -1, "<none>"}, {"&H10000", 65536, "<none>"}, {"&X1", 0, "<none>"},
            {"abc", 0, "<none>"}, {".5", 0.5, "0"}, {"+7", 7, "7"}, {"1.2.3", 1.2, "<none>"},
            {"1e", 1, "<none>"}, {"3,9600", 3, "<none>"}, {"32767.4", 32767.4, "32767"},
            {"32767.5", 32767.5, "<none>"}, {"-32768.5", -32768.5, "-32768"},
            {"1e999", 0, "<none>"}, {"e5", 0, "<none>"}})
            QTest::addRow("%s", text) << QString::fromUtf8(text) << value << QString(whole);
    }
    void numbers() {
        QFETCH(QString, text);
        QTEST(numericValue(text), "value");
        QTEST(shown(wholeNumberOf(text)), "whole");
    }

    void digits() {
        QVERIFY(isAllDigits(u"") && isAllDigits(u"0123456789"));
        for (const char16_t* text : {u"12a", u"/", u":", u"１", u" 1", u"1.0"})
            QVERIFY2(!isAllDigits(text), qPrintable(QString::fromUtf16(text)));
    }

    void settingsLine_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields"); // port, line settings, offset, picture, panel
        QTest::addRow("signed offset") << "5,4800,E,7,2:-12-2/1" << QStringList{"5", "4800,E,7,2", "-12", "2", "1"};
        QTest::addRow("one character after the slash") << "3,9600,N,8,1:0-0/0XYZ" << QStringList{"3", "9600,N,8,1", "0", "0", "0"};
        QTest::addRow("no comma, no colon") << "9600/x" << QStringList{none, none, none, "9", "x"};
        QTest::addRow("no dash") << "3,9600:5/1" << QStringList{"3", "9600", none, "3", "1"};
        QTest::addRow("empty fields") << ",:-/" << QStringList{"", "", "", "/", ""};
        QTest::addRow("wide characters") << "3,9600,N,8,1:0-😀/😀" << QStringList{"3", "9600,N,8,1", "0", "😀", "😀"};
    }
    void settingsLine() {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        QVERIFY(SettingsCodec::isCurrentFormat(line));
        const SettingsFields f = SettingsCodec::extract(line);
        QCOMPARE((QStringList{shown(f.portNo), shown(f.lineSettings), shown(f.offset),
                              shown(f.pictureNo), shown(f.controlPosition)}),
                 fields);
        const SettingsFields link = SettingsCodec::extractLinkFields(line);
        QCOMPARE(shown(link.portNo), fields[0]);
        QVERIFY(!link.offset && !link.pictureNo && !link.controlPosition);
    }

    // The files the start-up and registration write are the operating core's test.
    void settingsText() {
        QCOMPARE(SettingsCodec::fileText("é").left(2), QByteArray("\xc3\xa9"));
        QCOMPARE(SettingsCodec::decodeLine("3,\xc3\xa9"), QStringLiteral("3,é"));
        QCOMPARE(SettingsCodec::decodeLine("3,\xe9"), QStringLiteral("3,é"));
    }

    void settingsFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("AZIVEX.DAT");
        const QByteArrayView mark = SettingsCodec::marker; // a missing or unreadable file: the operating core's test
        for (const auto& [contents, first] : std::initializer_list<std::pair<QByteArray, QByteArray>>{
            {"abc\r\ndef", "abc"}, {"", ""}, {"\nx/", ""}, {"a/b\rc", "a/b"},
            {QByteArray(5000, 'x'), QByteArray(4096, 'x')}}) {
            QVERIFY(writeFile(path, contents));
            const SettingsFile::FirstLine line = SettingsFile::readFirstLine(path, mark);
            QCOMPARE(line.status, SettingsFile::ReadStatus::Ok);
            QCOMPARE(line.bytes, first);
        }
        // No temporary file can be renamed over a name this long; the file itself is
        // rewritten in place.
        const QString longName = dir.filePath(QString(250, u'n'));
        QVERIFY(writeFile(longName, "old contents, longer\r\n"));
        QString why;
        QVERIFY2(SettingsFile::replaceContents(longName, "in place\r\n", mark, &why), qPrintable(why));
        QCOMPARE(readFile(longName), QByteArray("in place\r\n"));
        QVERIFY(!SettingsFile::replaceContents(dir.filePath(QString(256, u'm')), "x", mark));
    }

    // On a full disk the old file stays whole and the save says it failed, whether
    // the file is replaced or rewritten in place.
    void fullDisk_data() {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<int>("newSize");
        QTest::addColumn<bool>("saved");
        QTest::addRow("replaced") << false << 50 << false;
        QTest::addRow("in place, within its room") << true << 200 << true;
        QTest::addRow("in place, needing more room") << true << 9000 << false;
    }
    void fullDisk() {
        QFETCH(bool, inPlace);
        QFETCH(int, newSize);
        QFETCH(bool, saved);
        SmallFileSystem fs;
        if (!fs.mounted)
            QSKIP("cannot mount a small file system here (mounting needs root)");
        const QString path = fs.path + QStringLiteral("/AZIVEX.DAT");
        const QByteArray old = SettingsCodec::fileText("5,4800,N,8,1:12-1/0");
        QVERIFY(writeFile(path, old));
        QVERIFY(fs.fill());
        const QByteArray wanted = SettingsCodec::fileText(QString(newSize, u'9'));
        QString error;
        QCOMPARE(inPlace ? SettingsFile::rewriteInPlace(path, wanted, &error)
                         : SettingsFile::replaceContents(path, wanted, SettingsCodec::marker, &error),
                 saved);
        QCOMPARE(readFile(path), saved ? wanted : old);
        QCOMPARE(error.isEmpty(), saved);
        QCOMPARE(QDir(fs.path).count(), 4u); // ".", "..", the file and the filler
    }

    // A linked settings file works when it is the operator's own settings file, and
    // nothing else is ever read as settings or written.
    void linkedSettingsFile_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("kind"); // file, folder, nothing, foreign (another owner)
        QTest::addColumn<bool>("followed");
        const QByteArray settings = SettingsCodec::fileText("3,9600,N,8,1:7-1/0");
        QTest::addRow("own settings file") << settings << "file" << true;
        QTest::addRow("own file, not settings") << QByteArray("root:x:0:0:root:/root:/bin/sh\n") << "file" << false;
        QTest::addRow("another user's settings") << settings << "foreign" << false;
        QTest::addRow("a folder") << QByteArray() << "folder" << false;
        QTest::addRow("nothing") << QByteArray() << "nothing" << false;
    }
    void linkedSettingsFile() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, kind);
        QFETCH(bool, followed);
        QTemporaryDir dir;
        const QString real = dir.filePath("elsewhere");
        const QString link = dir.filePath("AZIVEX.DAT");
        if (kind == u"folder")
            QVERIFY(QDir().mkpath(real));
        else if (kind != u"nothing")
            QVERIFY(writeFile(real, contents));
        if (kind == u"foreign" && ::chown(QFile::encodeName(real).constData(), 65534, 65534) != 0)
            QSKIP("only root can give a file to another user");
        QVERIFY(QFile::link(real, link));
        const SettingsFile::FirstLine first = SettingsFile::readFirstLine(link, SettingsCodec::marker);
        QCOMPARE(first.status, followed ? SettingsFile::ReadStatus::Ok : SettingsFile::ReadStatus::Unreadable);
        QCOMPARE(first.reason.isEmpty(), followed);
        const QByteArray next = SettingsCodec::fileText("3,9600,N,8,1:7-2/0");
        QCOMPARE(SettingsFile::replaceContents(link, next, SettingsCodec::marker), followed);
        QVERIFY(QFileInfo(link).isSymLink());
        if (kind != u"folder")
            QCOMPARE(readFile(real), followed ? next : kind == u"nothing" ? "<unreadable>" : contents);
    }

    void caseInsensitiveNames() { // the pictures' are the window test's
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QVERIFY(writeFile("azivex.dat", "x"));
        QCOMPARE(WorkingDir::resolve("AZIVEX.DAT"), QStringLiteral("azivex.dat"));
        QDir::setCurrent(old);
    }

    void commands() {
        for (auto [azimuth, command] : std::initializer_list<std::pair<const char*, const char*>>{
            {"", "<none>"}, {"5", "M005"}, {"45", "M045"}, {"184", "M184"}, {"-30", "M-30"},
            {"639", "M639"}, {"1234", "<none>"}, {"12.5", "<none>"}})
            QCOMPARE(shown(Protocol::goTo(azimuth)), QString(command));
    }

    void steps_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("by");
        QTest::addColumn<QString>("to");
        for (auto [from, by, to] : std::initializer_list<std::tuple<const char*, int, const char*>>{
            {"", 10, "10"}, {"", -10, "350"}, {"350", 10, "0"}, {"349", 10, "359"},
            {"0", -10, "350"}, {"10", -10, "360"}, {"11", -10, "1"}, {"5", -10, "355"},
            {"639", 10, "289"}, {"639", -10, "629"}, {"184", 10, "194"}, {"179", -10, "169"},
            {"000", 10, "10"}, {"12.5", 10, "22.5"}})
            QTest::addRow("%s%+d", from, by) << QString(from) << by << QString(to);
    }
    void steps() {
        QFETCH(QString, from);
        QFETCH(int, by);
        QTEST(Protocol::stepAzimuth(from, by), "to");
    }

    void replies_data() {
        QTest::addColumn<QString>("seed");
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("shown"); // azimuth@character it was shown at
        QTest::addColumn<QString>("left");
        QTest::addRow("two replies") << "" << QByteArray("AZ=123\r\nAZ=124\r\n") << "123@6 124@14" << "";
        QTest::addRow("leading zeros") << "" << QByteArray("AZ=045") << "45@6" << "";
        QTest::addRow("360") << "" << QByteArray("AZ=360") << "0@6" << "";
        QTest::addRow("359") << "" << QByteArray("AZ=359") << "359@6" << "";
        QTest::addRow("999") << "" << QByteArray("AZ=999") << "639@6" << "";
        QTest::addRow("short reply") << "" << QByteArray("AZ=12\r\nAZ=130\r\n") << "130@13" << "";
        QTest::addRow("extra digit") << "" << QByteArray("AZ=0451\r\n") << "45@6" << "";
        QTest::addRow("lower case") << "" << QByteArray("az=045\r\n") << "" << "";
        QTest::addRow("letter among digits") << "" << QByteArray("AZ=1a3\r\nAZ=200") << "200@14" << "";
        QTest::addRow("waiting A") << "" << QByteArray("AXYZ") << "" << "AXYZ";
        QTest::addRow("A given up") << "" << QByteArray("AXYZ12") << "" << "XYZ12";
        QTest::addRow("wrong separator") << "" << QByteArray("AZ:123AZ=1") << "" << "3AZ=1";
        QTest::addRow("settings line first") << "3,9600,N,8,1:0-0/0" << QByteArray("AZ=001\r\nAZ=002\r\nAZ=003\r\nAZ=004\r\nAZ=005\r\n") << "1@19 2@22 3@25 4@30 5@38" << "";
    }
    void replies() {
        QFETCH(QString, seed);
        QFETCH(QByteArray, stream);
        ReplyParser parser;
        parser.seed(seed);
        QStringList got;
        for (int i = 0; i < stream.size(); ++i)
            for (const QString& azimuth : parser.feed(stream.mid(i, 1)))
                got << azimuth + u'@' + QString::number(i + 1);
        QTEST(got.join(u' '), "shown");
        QTEST(parser.pending(), "left");
        parser.seed(seed);
        QCOMPARE(parser.feed(stream).size(), got.size());
    }

    void lineSettings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // baud parity data stop
        for (auto [text, parsed] : std::initializer_list<std::pair<const char*, const char*>>{
            {"9600,N,8,1", "9600 0 8 1"}, {" 4800 , e , 7 , 2 ", "4800 2 7 2"}, {"300,O,5,2", "300 3 5 2"},
            {"1200,m,6,1", "1200 5 6 1"}, {"19200,S,7,1", "19200 4 7 1"}, {"110,N,5,1.5", "110 0 5 2"}})
            QTest::addRow("%s", text) << text << parsed;
        for (const char* bad : {"9600,N,8", "9600,N,8,1,1", "x,N,8,1", "0,N,8,1", "-9600,N,8,1",
                                ",N,8,1", "9600,Q,8,1", "9600,NN,8,1", "9600,,8,1", "9600,N,9,1",
                                "9600,N,4,1", "9600,N,8,1.5", "9600,N,8,3", "96 00,N,8,1"})
            QTest::addRow("%s", bad) << bad << none;
    }
    void lineSettings() {
        QFETCH(QString, text);
        const std::optional<LineSettings> s = parseLineSettings(text);
        QTEST(s ? QString::asprintf("%d %d %d %d", s->baudRate, int(s->parity), int(s->dataBits), int(s->stopBits)) : none,
              "parsed");
    }

    void portNames() {
        QTemporaryDir dir;
        for (auto [n, path] : std::initializer_list<std::pair<int, const char*>>{
            {1, "/dev/ttyS0"}, {32, "/dev/ttyS31"}, {33, "/dev/ttyUSB0"}, {64, "/dev/ttyUSB31"},
            {65, "/dev/ttyACM0"}, {96, "/dev/ttyACM31"}, {97, ""}, {0, ""}, {-1, ""}, {32767, ""},
            {32768, ""}}) {
            QCOMPARE(comDevicePath(n, dir.path()), QString(path));
            if (*path)
                QCOMPARE(shown(comNumberForDevice(path)), QString::number(n));
        }
        for (auto [device, n] : std::initializer_list<std::pair<const char*, const char*>>{
            {"/dev/ttyACM32", "<none>"}, {"/dev/ttyS01", "<none>"}, {"/dev/ttyX0", "<none>"}, {"/dev/ttyUSB", "<none>"},
            {"/dev/ttyS-1", "<none>"}, {"ttyS0", "<none>"}, {"COM3", "3"}, {"\\\\.\\COM12", "12"}, {"com4", "4"}, {"COM0", "<none>"},
            {"COM32768", "<none>"}, {"\\\\.\\LPT1", "<none>"}, {"COMX", "<none>"}})
            QCOMPARE(shown(comNumberForDevice(device)), QString(n));

        // A COMn link in the working directory, present target or not, comes first;
        // a stray file of that name is no port.
        QVERIFY(QFile::link("/dev/null", dir.filePath("COM1")));
        QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("COM2")));
        QVERIFY(writeFile(dir.filePath("COM3"), "x"));
        QVERIFY(writeFile(dir.filePath("dev%1x"), ""));
        QVERIFY(QFile::link(dir.filePath("dev%1x"), dir.filePath("COM70")));
        QVERIFY(QFile::link("/dev/null", dir.filePath("COM70x")));
        QCOMPARE(comDevicePath(1, dir.path()), dir.filePath("COM1"));
        QCOMPARE(comDevicePath(2, dir.path()), dir.filePath("COM2"));
        QCOMPARE(comDevicePath(3, dir.path()), QStringLiteral("/dev/ttyS2"));
        const QStringList present = listPresentPorts(dir.path());
        QVERIFY2(present.contains(QStringLiteral("/dev/null (COM1)")),
                 qPrintable(present.join('|')));
        QVERIFY(present.contains(dir.filePath("dev%1x") + " (COM70)"));
        QVERIFY(present.filter("(COM2)").isEmpty() && present.filter("(COM3)").isEmpty());

        for (auto [entry, n] : std::initializer_list<std::pair<const char*, const char*>>{
            {"Prolific USB-to-Serial Comm Port (COM12)", "12"}, {"COMTEC (COM4)", "4"}, {"x (COM0)", "<none>"},
            {"x (COM32768)", "<none>"}, {"(COM5) x", "<none>"}, {"x (COM5", "<none>"}})
            QCOMPARE(shown(comNumberFromEntry(entry)), QString(n));
    }

    void language_data() {
        // clang-format off
        QTest::addColumn<QStringList>("env"); // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
        QTest::addColumn<QString>("shown");
        QTest::addRow("unset") << QStringList{"", "", "", ""} << "ja";
        QTest::addRow("C.UTF-8") << QStringList{"", "", "", "C.UTF-8"} << "ja";
        QTest::addRow("POSIX") << QStringList{"", "", "", "POSIX"} << "ja";
        QTest::addRow("Japanese") << QStringList{"", "", "", "ja_JP.UTF-8"} << "ja";
        QTest::addRow("US English") << QStringList{"", "", "", "en_US.UTF-8"} << "en";
        QTest::addRow("German") << QStringList{"", "", "", "de_DE@euro"} << "en";
        QTest::addRow("LC_MESSAGES over LANG") << QStringList{"", "", "en_GB", "ja_JP.UTF-8"} << "en";
        QTest::addRow("LC_ALL over LC_MESSAGES") << QStringList{"", "ja_JP", "en_GB", "en_US"} << "ja";
        QTest::addRow("C in LC_ALL") << QStringList{"", "C", "", "en_US"} << "ja";
        QTest::addRow("LANGUAGE first") << QStringList{"en_US:ja", "", "", "ja_JP.UTF-8"} << "en";
        QTest::addRow("LANGUAGE's first entry") << QStringList{":ja:en", "", "", "en_US.UTF-8"} << "ja";
        QTest::addRow("LANGUAGE under C") << QStringList{"en", "", "", "C.UTF-8"} << "ja";
        QTest::addRow("LANGUAGE alone") << QStringList{"en", "", "", ""} << "ja";
        // clang-format on
    }
    void language() {
        QFETCH(QStringList, env);
        QFETCH(QString, shown);
        QCOMPARE(UiLanguage::code(UiLanguage::fromEnvironment(env[0], env[1], env[2], env[3])), shown);
        for (const auto& [setting, chosen] : {std::pair{"EN ", "en"}, {"ja", "ja"}}) {
            QCOMPARE(UiLanguage::code(*UiLanguage::fromSetting(setting)), chosen);
        }
        QVERIFY(!UiLanguage::fromSetting("auto") && !UiLanguage::fromSetting("fr"));
    }

    void clickToAim_data() {
        QTest::addColumn<QPoint>("click");
        QTest::addColumn<QRect>("map"); // left, top, right, bottom
        QTest::addColumn<QString>("offset");
        QTest::addColumn<QString>("target");
        const QRect map(QPoint(0, 0), QPoint(204, 204)); // right and bottom one past the map
        QTest::addRow("north") << QPoint(102, 0) << map << "0" << "0";
        QTest::addRow("east") << QPoint(204, 102) << map << "0" << "90";
        QTest::addRow("south") << QPoint(102, 204) << map << "0" << "180";
        QTest::addRow("west") << QPoint(0, 102) << map << "0" << "270";
        QTest::addRow("centre") << QPoint(102, 102) << map << "0" << "270";
        QTest::addRow("north-east") << QPoint(204, 0) << map << "" << "45";
        QTest::addRow("negative sum") << QPoint(102, 0) << map << "-100" << "260";
        QTest::addRow("offset text") << QPoint(102, 204) << map << "5deg" << "185";
        QTest::addRow("moved map") << QPoint(1102, 2000) << QRect(QPoint(1000, 1898), QPoint(1204, 2102)) << "0" << "270";
        QTest::addRow("sum beyond 16 bits") << QPoint(102, 0) << map << "40000" << none;
        QTest::addRow("pointer beyond 16 bits") << QPoint(40000, 0) << map << "0" << none;
        QTest::addRow("centre distance beyond 16 bits") << QPoint(-1000, 0) << QRect(QPoint(0, 0), QPoint(65534, 10)) << "0" << none;
        QTest::addRow("map beyond 16 bits") << QPoint(0, 0) << QRect(QPoint(-40000, 0), QPoint(40000, 9)) << "0" << none;
    }
    void clickToAim() {
        QFETCH(QPoint, click);
        QFETCH(QRect, map);
        QFETCH(QString, offset);
        const std::optional<double> d = MapGeometry::clickDegrees(click.x(), click.y(), map.left(), map.top(), map.right(), map.bottom());
        QTEST(d ? shown(MapGeometry::aimTarget(*d, offset)) : none, "target");
    }

    void aimTargets() {
        for (auto [d, offset, t] : std::initializer_list<std::tuple<double, const char*, const char*>>{
            {359.6, "0", "360"}, {0.5, "0", "0"}, {1.5, "", "2"}, {-0.4, "-1", "359"},
            {-360.6, "0", "-1"}, {90, "0.5", "90"}, {90, "1.5", "92"}, {40000, "0", "<none>"}})
            QCOMPARE(shown(MapGeometry::aimTarget(d, offset)), QString(t));
    }

    // A range's positions for a bearing: the one nearest where the antenna is, the
    // bearing itself when nothing is known, none in a dead zone.
    void rotationRange_data() {
        QTest::addColumn<QString>("range");
        QTest::addColumn<double>("bearing");
        QTest::addColumn<double>("from"); // NaN: not known
        QTest::addColumn<QString>("position"); // "none", or what is sent
        const double unknown = qQNaN();
        QTest::addRow("0-450 from 400 to 30") << "0-450" << 30.0 << 400.0 << "390";
        QTest::addRow("0-450 from 400 to 100") << "0-450" << 100.0 << 400.0 << "100";
        QTest::addRow("0-450 from 100 to 10") << "0-450" << 10.0 << 100.0 << "10";
        QTest::addRow("0-450 unknown") << "0-450" << 30.0 << unknown << "30";
        QTest::addRow("0-450 at the stop") << "0-450" << 0.0 << 440.0 << "360";
        QTest::addRow("-180-180 270") << " -180 - 180 " << 270.0 << unknown << "-90";
        QTest::addRow("-180-180 from -170 to 180") << "-180-180" << 180.0 << -170.0 << "-180";
        QTest::addRow("0-340 dead zone") << "0-340" << 350.0 << 10.0 << "none";
        QTest::addRow("0-360 as it is") << "0-360" << 370.0 << 10.0 << "370";
        QTest::addRow("-90-450 from -80 to 350") << "-90-450" << 350.0 << -80.0 << "-10";
        QTest::addRow("reversed") << "450-0" << 10.0 << unknown << "invalid";
        QTest::addRow("over two turns") << "0-720.5" << 10.0 << unknown << "invalid";
        QTest::addRow("a tie from 180") << "0-540" << 0.0 << 180.0 << "0";
        QTest::addRow("words") << "0 to 450" << 10.0 << unknown << "invalid";
    }
    void rotationRange() {
        QFETCH(QString, range);
        QFETCH(double, bearing);
        QFETCH(double, from);
        QFETCH(QString, position);
        const std::optional<RotationRange> r = RotationRange::parse(range);
        QCOMPARE(r.has_value(), position != u"invalid");
        if (!r)
            return;
        QCOMPARE(RotationRange::parse(r->text()), r);
        const std::optional<double> p = r->position(bearing, qIsNaN(from) ? std::nullopt : std::optional(from));
        QCOMPARE(p ? QString::number(*p) : QStringLiteral("none"), position);
    }

    void layout() {
        for (auto [inner, width, window, pen] : std::initializer_list<std::tuple<int, int, QList<int>, int>>{
            {3000, 3060, {5195, 3460, 4235, 3220, 2710}, 3},
            {3015, 3060, {5210, 3460, 4250, 3220, 2710}, 4},
            {4995, 5055, {7190, 5455, 6230, 5215, 4705}, 4},
            {5000, 6000, {7195, 6400, 6235, 6160, 5650}, 5}}) {
            const WindowLayout l = WindowLayout::forPicture(inner, width);
            QCOMPARE((QList<int>{l.windowHeight, l.windowWidth, l.tabHeight, l.tabWidth,
                                 l.connectButtonLeft}),
                     window);
            QCOMPARE(l.headingLineWidth, pen);
        }
        const WindowLayout panel = WindowLayout::forPicture(3000, 3060).withPanel(3060);
        QCOMPARE(
            (QList<int>{panel.windowHeight, panel.tabHeight, panel.panelTop, panel.windowWidth}),
            (QList<int>{6060, 5010, 4170, 3460}));
        QCOMPARE((QList<int>{Twips::toPixels(7), Twips::toPixels(8), Twips::toPixels(-8),
                             Twips::fromPixels(3)}),
                 (QList<int>{0, 1, -1, 45}));
    }
};
// clang-format on

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
