// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The operating core without a window: the start-up sequence, the registration and
// AZIVEX.INI, in a working directory of its own with a pseudo-terminal as the
// controller on COM3. What the core tells a window is compared as a readable trace.
#include "core/geography/countryfile.h"
#include "core/geography/countrytable.h"
#include "core/settings/inifile.h"
#include "core/application/operatingcore.h"
#include "core/services/servicemodel.h"
#include "pseudoterminal.h"
#include "sessionrig.h"
#include "testfiles.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {
const QByteArray reference = "\r\n\r\nReference\r\n3(port No),9600,N,8,1(Baudot etc.):0(Offset)-"
                             "0(Picture No)/0(Control position)\r\n";
// Which file a name stands for: a file replaced has a new one.
ino_t fileId(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 ? st.st_ino : 0;
}
} // namespace

class TestOperatingCore : public QObject {
    Q_OBJECT
    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<OperatingCore> m_core;
    std::unique_ptr<ServiceModel> m_services;
    QStringList m_trace;

    Service& rotctld() { return m_services->service(Service::Kind::Rotctld); }
    void makeCore() {
        m_services.reset();
        m_core = std::make_unique<OperatingCore>();
        m_services = std::make_unique<ServiceModel>(m_core->store());
        OperatingCore* c = m_core.get();
        connect(c, &OperatingCore::statusChanged, this, [this](const QString& t) { m_trace << "status " + t; });
        connect(c, &OperatingCore::messageRequested, this, [this](const QString& t) { m_trace << "message " + t.section(u'」', 0, 0).section(u'。', 0, 0); });
        connect(c, &OperatingCore::pageWanted, this, [this](OperatingCore::Page p) { m_trace << QStringLiteral("page %1").arg(int(p)); });
        connect(c, &OperatingCore::settingsShown, this, [this](const Settings& s) { m_trace << QStringList{"shown", s.portNo, s.lineSettings, s.offset}.join(u'|'); });
        connect(c, &OperatingCore::started, this, [this] { m_trace << "started"; });
        connect(&c->session(), &RotatorSession::portStateReported, this, [this](bool open) { m_trace << QStringLiteral("port %1").arg(open); });
    }

  private slots:
    void init() {
        m_folder = std::make_unique<WorkingFolder>();
        QVERIFY(m_folder->enter());
        m_trace.clear();
        makeCore();
    }
    void cleanup() {
        m_services.reset();
        m_core.reset();
        m_folder.reset();
    }

    void startUp_data() {
        QTest::addColumn<QByteArray>("file"); // "-": none; "dir", "pipe": a folder, a named pipe
        QTest::addColumn<bool>("runs");
        QTest::addColumn<QByteArray>("written"); // empty: the file is not replaced
        QTest::addColumn<QStringList>("trace");
        const QStringList begin{"status 初期化中", "page 0"};
        // clang-format off
        QTest::addRow("no file") << QByteArray("-") << false << "3,9600,N,8,1:0-0/0" + reference << begin + QStringList{"page 1", "message 「AZIVEX.DAT（環境設定ファイル）"};
        QTest::addRow("old format") << QByteArray("7,19200,E,7,1\r\nmy notes") << false << "7,9600,N,8,1:0-0/0" + reference << begin + QStringList{"message 環境設定のバージョンアップが有りましたので「AZIVEX.DAT"};
        QTest::addRow("old format, empty port") << QByteArray(",4800,N,8,1:") << false << "3,4800,N,8,1:0-0/0" + reference << begin + QStringList{"message 環境設定のバージョンアップが有りましたので「AZIVEX.DAT"};
        QTest::addRow("unreadable") << QByteArray("dir") << false << QByteArray() << begin + QStringList{"message 「AZIVEX.DAT（環境設定ファイル）"};
        QTest::addRow("a pipe, never waited on") << QByteArray("pipe") << false << QByteArray() << begin + QStringList{"message 「AZIVEX.DAT（環境設定ファイル）"};
        QTest::addRow("panel shown: registered once") << QByteArray("3,9600,N,8,1:-Z-2/1") << true << "3,9600,N,8,1:-Z-2/1" + reference << begin + QStringList{"shown|3|9600,N,8,1|-Z", "status ", "port 1", "status 環境ファイルに登録完了", "port 1", "started"};
        QTest::addRow("panel shown, empty offset") << QByteArray("3,9600,N,8,1:-1/1") << true << "3,9600,N,8,1:0-1/1" + reference << begin + QStringList{"shown|3|9600,N,8,1|0", "status ", "port 1", "status 環境ファイルに登録完了", "port 1", "started"};
        QTest::addRow("panel hidden") << QByteArray("3,9600,N,8,1:5-2/0") << true << QByteArray() << begin + QStringList{"shown|3|9600,N,8,1|5", "port 1", "started"};
        QTest::addRow("absent port") << QByteArray("4,4800,N,8,1:-7-1/0") << true << QByteArray() << begin + QStringList{"shown|4|4800,N,8,1|-7", "port 0", "started"};
        QTest::addRow("empty fields fall back") << QByteArray(",:-/") << true << QByteArray() << begin + QStringList{"shown|3|9600,N,8,1|", "port 1", "started"};
        // clang-format on
    }
    void startUp() {
        QFETCH(QByteArray, file);
        QFETCH(bool, runs);
        QFETCH(QByteArray, written);
        QFETCH(QStringList, trace);
        if (file == "dir")
            QVERIFY(QDir().mkdir("AZIVEX.DAT"));
        else if (file == "pipe")
            QVERIFY(::mkfifo("AZIVEX.DAT", 0600) == 0);
        else if (file != "-")
            QVERIFY(writeFile("AZIVEX.DAT", file + reference));
        const ino_t before = fileId("AZIVEX.DAT");
        // Standard pictures to copy in; the operator's own are kept.
        QTemporaryDir installed;
        for (const char* name : {"world1.bmp", "world2.bmp", "world3.bmp"})
            QVERIFY(writeFile(installed.filePath(name), "standard"));
        QVERIFY(writeFile("WORLD2.BMP", "mine"));
        m_core->setStandardPicturesFolder(installed.path());
        QCOMPARE(m_core->start(), runs);
        QCOMPARE(QFileInfo::exists("world1.bmp"), file == "-"); // only on a first start
        QCOMPARE(readFile("WORLD2.BMP"), QByteArray("mine"));
        QCOMPARE(m_trace, trace);
        QCOMPARE(m_core->session().link().isOpen(), trace.contains("port 1"));
        if (written.isEmpty())
            QCOMPARE(fileId("AZIVEX.DAT"), before);
        else
            QCOMPARE(readFile("AZIVEX.DAT"), written);
        QVERIFY(!QFileInfo::exists(OperatingCore::iniFileName)); // nothing was set
    }

    void registration_data() {
        QTest::addColumn<QStringList>("entered"); // port, line settings, offset, panel
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QStringList>("trace");
        // clang-format off
        QTest::addRow("offset emptied") << QStringList{"3", "9600,N,8,1", "", "0"} << QByteArray("3,9600,N,8,1:0-2/0") << QStringList{"shown|3|9600,N,8,1|0", "status ", "port 1", "status 環境ファイルに登録完了"};
        QTest::addRow("other port, panel") << QStringList{"4", "4800,N,8,1", "-3", "1"} << QByteArray("4,4800,N,8,1:-3-2/1") << QStringList{"shown|4|4800,N,8,1|-3", "status ", "port 0", "status 環境ファイルに登録完了"};
        QTest::addRow("not writable") << QStringList{"3", "9600,N,8,1", "1", "0"} << QByteArray("<unreadable>") << QStringList{"shown|3|9600,N,8,1|1", "status ", "port 1", "status 環境ファイルに登録できませんでした"};
        // clang-format on
    }
    void registration() {
        QFETCH(QStringList, entered);
        QFETCH(QByteArray, written);
        QFETCH(QStringList, trace);
        QVERIFY(writeFile("AZIVEX.DAT", "3,9600,N,8,1:0-2/0" + reference));
        QVERIFY(m_core->start());
        m_trace.clear();
        if (written == "<unreadable>")
            QVERIFY(QFile::remove("AZIVEX.DAT") && QDir().mkdir("AZIVEX.DAT"));
        m_core->registerSettings({entered[0], entered[1], entered[2], "7", entered[3]});
        QCOMPARE(m_trace, trace);
        QCOMPARE(readFile("AZIVEX.DAT"), written == "<unreadable>" ? written : written + reference);
        QCOMPARE(m_core->session().offset(), entered[2].isEmpty() ? "0" : entered[2]);
    }

    // Hand-written text is kept byte for byte; a value set changes its own line, or
    // joins its section, or starts its section, on the file as it is on disk then.
    void iniFile_data() {
        QTest::addColumn<QByteArray>("before"); // "-": no file
        QTest::addColumn<QString>("listen");    // what [rotctld] listen reads
        QTest::addColumn<QByteArray>("edit");   // appended by hand after the file was read
        QTest::addColumn<QByteArray>("after");  // once listen is set to 4600
        const QByteArray header = "; AZIVEX settings beyond AZIVEX.DAT; see the README for every key.\n";
        // clang-format off
        QTest::addRow("no file") << QByteArray("-") << "" << QByteArray() << header + "\n[rotctld]\nlisten=4600\n";
        QTest::addRow("changed in place") << QByteArray("# mine\r\n[RotCtlD]\r\n LISTEN = 127.0.0.1:4533 \r\nmore=1\r\n[x]\r\ny=2\r\n") << "127.0.0.1:4533" << QByteArray() << QByteArray("# mine\r\n[RotCtlD]\r\n LISTEN = 4600\r\nmore=1\r\n[x]\r\ny=2\r\n");
        QTest::addRow("joins its section") << QByteArray("[rotctld]\nold=1\n\n; later\n[link]\nreconnect=true") << "" << QByteArray() << QByteArray("[rotctld]\nold=1\nlisten=4600\n\n; later\n[link]\nreconnect=true");
        QTest::addRow("commented out") << QByteArray("[rotctld]\n;listen=1\n") << "" << QByteArray() << QByteArray("[rotctld]\nlisten=4600\n;listen=1\n");
        QTest::addRow("new section") << QByteArray("[link]\nreconnect=false\n") << "" << QByteArray() << QByteArray("[link]\nreconnect=false\n\n[rotctld]\nlisten=4600\n");
        QTest::addRow("Latin-1, CR alone, comments kept") << QByteArray("; Stra\xdf" "e\r[rotctld]\rlisten=1;2 ; M\xfcller\r[link]\rreconnect=false # no\r") << "1;2" << QByteArray() << QByteArray("; Stra\xdf" "e\r[rotctld]\rlisten=4600 ; M\xfcller\r[link]\rreconnect=false # no\r");
        QTest::addRow("a comment for a value") << QByteArray("[rotctld]\nlisten= ;none yet\n") << "" << QByteArray() << QByteArray("[rotctld]\nlisten=4600 ;none yet\n");
        QTest::addRow("edited by hand meanwhile") << QByteArray("[rotctld]\nlisten=1\n") << "1" << QByteArray("[aim]\npreset1=EU|JN58\n; \xe9\n") << QByteArray("[rotctld]\nlisten=4600\n[aim]\npreset1=EU|JN58\n; \xe9\n");
        // clang-format on
    }
    void iniFile() {
        QFETCH(QByteArray, before);
        QFETCH(QString, listen);
        QFETCH(QByteArray, edit);
        QFETCH(QByteArray, after);
        if (before != "-")
            QVERIFY(writeFile("AZIVEX.INI", before));
        IniFile ini(QStringLiteral("AZIVEX.INI"));
        QCOMPARE(ini.load(), before == "-" ? IniFile::State::Missing : IniFile::State::Loaded);
        QCOMPARE(ini.value(ServiceModel::Keys::rotctldListen, {}), listen);
        QCOMPARE(ini.flag(OperatingCore::Keys::linkReconnect, true), !before.contains("reconnect=false"));
        QVERIFY(edit.isEmpty() || writeFile("AZIVEX.INI", before + edit));
        QVERIFY(ini.set(ServiceModel::Keys::rotctldListen, QStringLiteral("4600")));
        QCOMPARE(readFile("AZIVEX.INI"), after);
        QVERIFY(ini.load() == IniFile::State::Loaded);
        QCOMPARE(ini.value(ServiceModel::Keys::rotctldListen, {}), QStringLiteral("4600"));
    }

    // AZIVEX.INI edited by hand while the program runs: what changed takes effect at
    // the next reading, a save from the window keeps every other byte, and a value
    // that cannot be used is said in the status line once.
    void handEdits() {
        QVERIFY(writeFile("AZIVEX.DAT", "3,9600,N,8,1:0-0/0" + reference));
        QVERIFY(writeFile("AZIVEX.INI", "[rotctld]\nlisten=4533\n"));
        QVERIFY(m_core->start());
        QSignalSpy rotctld(&this->rotctld(), &Service::addressChanged);
        QSignalSpy listeners(&m_services->service(Service::Kind::N1mm), &Service::addressChanged);
        QSignalSpy n1mm(m_services.get(), &ServiceModel::n1mmSettingsChanged);
        const QByteArray edited = "[rotctld]\nlisten=4534\n; Stra\xdf" "e\r\n[aim]\npark=200 ; my mast\n"
                                  "preset1=EU|JN58\n[n1mm]\nlisten=12040\nrotor=TB\n[station]\nlocator=JN58\n";
        for (int reading = 0; reading < 2; ++reading) {
            QVERIFY(writeFile("AZIVEX.INI", edited));
            m_core->reloadIni();
        }
        QCOMPARE(m_core->session().parkAzimuth().value_or(-1), 200.0);
        QCOMPARE(m_core->aiming().presets().value(0).target, QStringLiteral("JN58"));
        QCOMPARE(m_core->aiming().station().shown, QStringLiteral("JN58"));
        QCOMPARE(rotctld.size(), 1);
        QCOMPARE(rotctld[0][0], QStringLiteral("4534"));
        QCOMPARE(listeners.size(), 1);
        QCOMPARE(n1mm.size(), 1);
        QVERIFY(m_core->setReconnectEnabled(true));
        QCOMPARE(readFile("AZIVEX.INI"), edited + "\n[link]\nreconnect=true\n");

        m_trace.clear();
        for (const char* text : {"[aim]\npark=south\n[link]\nreconnect=maybe\n", "[aim]\npark=south\n\n[link]\nreconnect=maybe\n"}) {
            QVERIFY(writeFile("AZIVEX.INI", text));
            m_core->reloadIni();
        }
        QCOMPARE(m_trace, (QStringList{"status AZIVEX.INI の [aim] park は使えません: south",
                                       "status AZIVEX.INI の [link] reconnect は使えません: maybe"}));
        QVERIFY(!m_core->session().parkAzimuth());
        QVERIFY(writeFile("AZIVEX.INI", "[aim]\npark=90\n"));
        QTRY_COMPARE_WITH_TIMEOUT(m_core->session().parkAzimuth().value_or(-1), 90.0, 2000);
    }

    // [link] sets the controller, its range and its timing; a hand edit puts a new
    // link in place, still open; a value that cannot be used is said once and left
    // at its default; the window's choice saves only the keys it changed.
    void linkKeys() {
        QVERIFY(writeFile("AZIVEX.DAT", "3,9600,N,8,1:0-0/0" + reference));
        QVERIFY(writeFile("AZIVEX.INI", "[link]\nrange=0-450 ; my tower\npoll=250\n"));
        QVERIFY(m_core->start());
        RotatorSession& s = m_core->session();
        QCOMPARE(s.range(), RotationRange(0, 450));
        QCOMPARE(s.link().pollInterval(), 250);
        const ControllerLink* first = &s.link();
        QSignalSpy changed(m_core.get(), &OperatingCore::linkSetupChanged);
        m_trace.clear();
        QVERIFY(writeFile("AZIVEX.INI", "[link]\nrange=0-340\nprotocol=morse\ntimeout=0\n"));
        m_core->reloadIni();
        m_core->reloadIni();
        QCOMPARE(changed.size(), 1);
        QVERIFY(&s.link() != first && s.link().isOpen());
        QCOMPARE(s.range(), RotationRange(0, 340));
        QCOMPARE(s.link().timeout(), 3000);
        QCOMPARE(m_trace.filter("使えません"), (QStringList{"status AZIVEX.INI の [link] protocol は使えません: morse",
                                                    "status AZIVEX.INI の [link] timeout は使えません: 0"}));
        LinkSetup setup = m_core->linkSetup();
        setup.range.reset();
        setup.device = m_folder->pty.slavePath();
        QVERIFY(m_core->setLinkSetup(setup));
        QCOMPARE(readFile("AZIVEX.INI"), "[link]\nrange=\nprotocol=morse\ntimeout=0\ndevice=" + setup.device.toLatin1() + '\n');
        QCOMPARE(s.range(), RotationRange());
        QVERIFY(s.link().isOpen() && s.link().portName() == setup.device);
    }

    // A typed target aims from the station as a click does (offset added); the
    // station, the park and the presets come from AZIVEX.INI.
    void aimAtTargets_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("longPath");
        QTest::addColumn<QByteArray>("sent");
        const QByteArray tokyo = "[station]\nlocator=pm95VQ\n[aim]\npark=200\npreset2=Europe|JN58\npreset3=broken\n";
        // clang-format off
        QTest::addRow("locator, short path") << tokyo << "FN42" << false << QByteArray("M032\r\n");
        QTest::addRow("locator, long path") << tokyo << " fn42 " << true << QByteArray("M212\r\n");
        QTest::addRow("callsign") << tokyo << "DL1ABC" << false << QByteArray("M341\r\n");
        QTest::addRow("unknown") << tokyo << "?!" << false << QByteArray();
        QTest::addRow("a word, no call") << tokyo << "XYZZY" << false << QByteArray();
        QTest::addRow("no station: the pictures' centre") << QByteArray() << "FN42" << false << QByteArray("M032\r\n");
        QTest::addRow("station by coordinates") << QByteArray("[station]\nlatitude=-33.87\nlongitude=151.21\n") << "FN42" << false << QByteArray("M073\r\n");
        QTest::addRow("station unreadable") << QByteArray("[station]\nlocator=ZZ99\n") << "FN42" << false << QByteArray("M032\r\n");
        QTest::addRow("station not a number") << QByteArray("[station]\nlatitude=nan\nlongitude=0\n") << "FN42" << false << QByteArray("M032\r\n");
        // clang-format on
    }
    void aimAtTargets() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, text);
        QFETCH(bool, longPath);
        QFETCH(QByteArray, sent);
        if (!QFileInfo::exists(CountryFile::systemPath()))
            QSKIP("the country file of hamradio-files is not installed");
        QVERIFY(writeFile("AZIVEX.DAT", "3,9600,N,8,1:10-0/0" + reference));
        QVERIFY(ini.isEmpty() || writeFile("AZIVEX.INI", ini));
        QVERIFY(m_core->start());
        QCOMPARE(m_core->aiming().station().set, ini.contains("=pm95") || ini.contains("-33"));
        QCOMPARE(m_core->session().parkAzimuth().has_value(), ini.contains("park"));
        QCOMPARE(m_core->aiming().presets().size(), ini.contains("preset2") ? 1 : 0);
        // A call waits for the country file, read from the first look-up on.
        QCOMPARE(m_core->aiming().lookUp(text).target.kind == Target::Kind::CountriesLoading, text.endsWith(u'C') || text.endsWith(u'Y'));
        QTRY_VERIFY(!m_core->aiming().countries().isLoading());
        m_core->aiming().aimAtTarget(text, longPath);
        m_core->session().sendRaw(QStringLiteral("#"));
        QTRY_VERIFY(m_folder->pty.received().endsWith("#\r\n"));
        QCOMPARE(m_folder->pty.received().chopped(3), sent);
    }

    // The web page gets its token when first switched on, from the window or by hand,
    // and keeps it until a new one is asked for.
    void webToken() {
        QVERIFY(writeFile("AZIVEX.DAT", "3,9600,N,8,1:0-0/0" + reference));
        QVERIFY(m_core->start());
        using K = Service::Kind;
        QSignalSpy webSettings(m_services.get(), &ServiceModel::webSettingsChanged);
        QVERIFY(m_services->webToken().isEmpty() && m_services->setAddress(K::Rotctld, "4533"));
        QVERIFY(m_services->webToken().isEmpty() && m_services->setAddress(K::Web, "0.0.0.0:8073"));
        const QString token = m_services->webToken();
        QVERIFY2(QRegularExpression("^[0-9a-f]{32}$").match(token).hasMatch(), qPrintable(token));
        QVERIFY(m_services->setAddress(K::Web, {}) && m_services->setAddress(K::Web, "8074"));
        QCOMPARE(m_services->webToken(), token);
        QVERIFY(m_services->newWebToken() && m_services->webToken() != token);
        QCOMPARE(webSettings.size(), 2);
        QVERIFY(writeFile("AZIVEX.INI", "[web]\nlisten=8075\n"));
        m_core->reloadIni();
        QCOMPARE(m_services->service(K::Web).address(), QStringLiteral("8075"));
        QCOMPARE(readFile("AZIVEX.INI"), "[web]\nlisten=8075\ntoken=" + m_services->webToken().toLatin1() + "\n");
        QCOMPARE(m_services->webToken().size(), 32);
    }

    // The core's own keys: defaults, the command line's choice for one run, and a
    // file that cannot be read, which is said once and never overwritten.
    void iniKeys() {
        QVERIFY(writeFile("AZIVEX.DAT", "3,9600,N,8,1:0-0/0" + reference));
        QVERIFY(m_core->start());
        QCOMPARE(rotctld().address(), QString());
        QVERIFY(!m_core->reconnectEnabled());
        QSignalSpy listen(&rotctld(), &Service::addressChanged);
        m_services->overrideAddress(Service::Kind::Rotctld, QStringLiteral("4700"));
        QCOMPARE(rotctld().address(), QStringLiteral("4700"));
        QVERIFY(!QFileInfo::exists("AZIVEX.INI"));
        QVERIFY(m_core->setReconnectEnabled(true) && m_core->reconnectEnabled());
        QCOMPARE(rotctld().address(), QStringLiteral("4700"));
        QVERIFY(m_services->setAddress(Service::Kind::Rotctld, QString()));
        QCOMPARE(rotctld().address(), QString());
        QCOMPARE(listen.size(), 2);

        QVERIFY(QFile::remove("AZIVEX.INI") && QDir().mkdir("AZIVEX.INI"));
        makeCore();
        m_trace.clear();
        QVERIFY(m_core->start());
        QCOMPARE(m_trace.filter("AZIVEX.INI"), QStringList{"status AZIVEX.INI を読み込めませんでした"});
        QVERIFY(!m_core->setReconnectEnabled(true));
        QVERIFY(QFileInfo("AZIVEX.INI").isDir());
    }
};

QTEST_GUILESS_MAIN(TestOperatingCore)
#include "tst_operatingcore.moc"
