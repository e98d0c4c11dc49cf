#include "fakemscomm.h"
#include "formharness.h"
#include "windowtexts.h"
#include "ui/controls_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {
using namespace WindowTexts;

std::unique_ptr<FakeMSComm> fakePorts(std::initializer_list<int> present, FakeMSComm** out) {
    auto port = std::make_unique<FakeMSComm>();
    for (int n : present)
        port->setPortExists(n);
    *out = port.get();
    return port;
}
} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Form1::prepareApplication(); }
    void windowAtCreation();
    void firstStart_data();
    void firstStart();
    void unreadableFileIsKept_data();
    void unreadableFileIsKept();
    void firstStartWriteFails();
    void normalStart_data();
    void normalStart();
};

void TestStartup::windowAtCreation() {
    FormHarness h;
    Form1& f = h.create(std::make_unique<FakeMSComm>());
    QCOMPARE(f.windowTitle(), QStringLiteral("AZIVEX"));
    QCOMPARE(f.Label1->text(), QStringLiteral("Label1"));
    QCOMPARE(f.Label4->text(), QStringLiteral("000"));
    QCOMPARE(f.Label5->text(), QString());
    QCOMPARE(f.Command6->text(), QStringLiteral("接続"));
    QCOMPARE(f.Text1->text(), QStringLiteral("3"));
    QCOMPARE(f.Text2->text(), QStringLiteral("9600,N,8,1"));
    QCOMPARE(f.Text5->text(), QStringLiteral("0"));
    QVERIFY(!f.Check1->isChecked());
    for (QRadioButton* o : f.Option1)
        QVERIFY(!o->isChecked());
    QCOMPARE(f.SSTab1->currentIndex(), 1);
    QCOMPARE(f.Combo1->currentText(), QStringLiteral("ポート選択"));
    // Design sizes: client area 3240 x 4725 twips, the map 3060 twips square.
    QCOMPARE(f.size(), QSize(216, 315));
    QCOMPARE(f.SSTab1->geometry(), QRect(2, 32, 211, 281));
    QCOMPARE(f.Picture1->size(), QSize(204, 204));
    QCOMPARE(f.Picture1->pos(), QPoint(4, 74));
    QCOMPARE(f.Command6->geometry(), QRect(176, 10, 39, 19));
    QCOMPARE(f.Command7->parentWidget(), f.Frame3);
    QCOMPARE(f.Command7->geometry(), QRect(2, 14, 47, 19));
    QCOMPARE(f.Command24->parentWidget(), f.Frame4);
    QCOMPARE(f.Command24->geometry(), QRect(148, 30, 47, 17));
    for (int n = 1; n <= 8; ++n) {
        QCOMPARE(f.primarySwitchButton(n)->text(), QStringLiteral("SW%1").arg(n));
        QCOMPARE(f.panelSwitchButton(n)->text(), QStringLiteral("SW%1").arg(n));
    }
    QCOMPARE(f.Label4->palette().color(QPalette::Window), QColor(255, 192, 255));
    QCOMPARE(f.Label4->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(f.Label4->font().family(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(f.Label4->font().pointSizeF(), 18.0);
    QVERIFY(f.Label4->font().bold());
    QCOMPARE(f.Command8->palette().color(QPalette::Button), QColor(128, 255, 128));
    QCOMPARE(f.Command1->icon().availableSizes().value(0), QSize(32, 32));
    QCOMPARE(f.windowIcon().availableSizes().value(0), QSize(48, 48));
}

void TestStartup::firstStart_data() {
    QTest::addColumn<QByteArray>("contents"); // "-" : no file at all
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("dataLine");
    QTest::newRow("no file") << QByteArray("-") << missingText << "3,9600,N,8,1:0-0/0";
    QTest::newRow("no slash") << QByteArray("3,9600,N,8,1\r\n") << recreatedText
                              << "3,9600,N,8,1:0-0/0";
    QTest::newRow("empty file") << QByteArray() << recreatedText << "3,9600,N,8,1:0-0/0";
    QTest::newRow("empty first line")
        << QByteArray("\r\n5,4800,N,8,1:0-0/0\r\n") << recreatedText << "3,9600,N,8,1:0-0/0";
    QTest::newRow("old line without port")
        << QByteArray(",4800,N,8,1:\r\n") << recreatedText << "3,4800,N,8,1:0-0/0";
    QTest::newRow("old line keeps port and settings")
        << QByteArray("7,19200,E,7,1:45-2\r\n") << recreatedText << "7,19200,E,7,1:0-0/0";
}

void TestStartup::firstStart() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, message);
    FormHarness h;
    if (contents != "-")
        h.writeFile(SettingsCodec::fileName, contents);
    FakeMSComm* port = nullptr;
    Form1& f = h.create(fakePorts({3, 7}, &port));
    QVERIFY(!f.load());
    QVERIFY(f.programEnded());
    QCOMPARE(h.messages.size(), 1);
    QCOMPARE(h.messages[0].title, QStringLiteral("AZIVEX"));
    QCOMPARE(h.messages[0].text, message);
    QTEST(h.dataLine(), "dataLine");
    QVERIFY(h.settingsBytes().endsWith(referenceBlock));
    QCOMPARE(port->openCount(), 0);
    QVERIFY(f.Label1->text().startsWith(QStringLiteral("ﾎﾟｰﾄ = ")));
}

void TestStartup::unreadableFileIsKept_data() {
    QTest::addColumn<bool>("folder");
    QTest::newRow("folder") << true;
    QTest::newRow("no permission") << false;
}

void TestStartup::unreadableFileIsKept() {
    QFETCH(bool, folder);
    FormHarness h;
    const QString path = h.path(SettingsCodec::fileName);
    if (folder) {
        QVERIFY(QDir(h.dir()).mkdir(SettingsCodec::fileName));
    } else {
        h.writeSettings(QStringLiteral("5,4800,N,8,1:7-1/1"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        QFile probe(path);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("running with rights that read any file");
    }
    Form1& f = h.create(std::make_unique<FakeMSComm>());
    QVERIFY(!f.load());
    QCOMPARE(h.messages.size(), 1);
    QCOMPARE(h.messages[0].text, unreadableText);
    QCOMPARE(QFileInfo(path).isDir(), folder);
    if (!folder) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(h.dataLine(), QStringLiteral("5,4800,N,8,1:7-1/1"));
    }
}

void TestStartup::firstStartWriteFails() {
    // A working directory that has gone away refuses every new file, whoever we are.
    FormHarness h;
    QTemporaryDir gone;
    QDir::setCurrent(gone.path());
    QVERIFY(gone.remove());
    Form1& f = h.create(std::make_unique<FakeMSComm>());
    QVERIFY(!f.load());
    QCOMPARE(h.messages.size(), 1);
    QCOMPARE(h.messages[0].text, notWrittenText);
    QDir::setCurrent(h.dir());
}

void TestStartup::normalStart_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("portPresent");
    QTest::addColumn<bool>("rewritten");
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("command6");
    QTest::addColumn<int>("windowHeight");
    QTest::newRow("panel shown") << "4,4800,N,8,1:5-2/1" << true << true
                                 << QStringLiteral("ﾎﾟｰﾄ = True") << QStringLiteral("切断")
                                 << 450 * 15 + 60 + 3000;
    QTest::newRow("panel hidden") << "4,4800,N,8,1:5-2/0" << true << false
                                  << QStringLiteral("ﾎﾟｰﾄ = True") << QStringLiteral("切断")
                                  << 450 * 15 + 2195;
    QTest::newRow("port absent") << "4,4800,N,8,1:5-2/0" << false << false
                                 << QStringLiteral("ﾎﾟｰﾄ = False") << QStringLiteral("接続")
                                 << 450 * 15 + 2195;
}

void TestStartup::normalStart() {
    QFETCH(QString, line);
    QFETCH(bool, portPresent);
    QFETCH(bool, rewritten);
    FormHarness h;
    h.writeStandardPictures();
    // Without its reference block, a rewrite of the file shows.
    h.writeFile(SettingsCodec::fileName, line.toUtf8() + "\r\n");
    FakeMSComm* port = nullptr;
    Form1& f = h.create(fakePorts({}, &port));
    port->setPortExists(4, portPresent);
    QVERIFY(f.load());
    QVERIFY(h.messages.isEmpty());
    QCOMPARE(f.Text1->text(), QStringLiteral("4"));
    QCOMPARE(f.Text2->text(), QStringLiteral("4800,N,8,1"));
    QCOMPARE(f.Text5->text(), QStringLiteral("5"));
    QCOMPARE(f.portNo, QStringLiteral("4"));
    QCOMPARE(f.lineSettings, QStringLiteral("4800,N,8,1"));
    QCOMPARE(f.pictureNo, QStringLiteral("2"));
    QVERIFY(f.Option1[2]->isChecked());
    QCOMPARE(f.startingUp, QString());
    QCOMPARE(f.inputLine, line);
    QCOMPARE(h.settingsBytes().endsWith(referenceBlock), rewritten);
    QCOMPARE(h.dataLine(), line);
    QCOMPARE(port->PortOpen(), portPresent);
    QCOMPARE(port->CommPort(), 4);
    QCOMPARE(port->Settings(), QStringLiteral("4800,N,8,1"));
    // Receive notifications are armed exactly when the port is open.
    QCOMPARE(port->RThreshold(), portPresent ? 1 : 0);
    QTEST(f.Label1->text(), "label1");
    QTEST(f.Command6->text(), "command6");
    QCOMPARE(f.SSTab1->currentIndex(), 0);
    QCOMPARE(f.Combo1->currentText(), QStringLiteral("ポート選択"));
    QTEST(f.windowHeightTwips(), "windowHeight");
    QCOMPARE(f.windowWidthTwips(), 450 * 15 + 60 + 400);
    QCOMPARE(f.headingLineWidth, qint16(5));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
