#include "formharness.h"
#include "windowtexts.h"
#include "pseudoterminal.h"
#include "ui/controls_widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {
using namespace WindowTexts;
} // namespace

// The window against a real pseudo-terminal standing in for the controller.
class TestLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Form1::prepareApplication(); }
    void init();
    void cleanup();
    void commandBytes_data();
    void commandBytes();
    void closedPortNotice_data();
    void closedPortNotice();
    void repliesLagBehindSettingsLine();
    void disconnectAndConnect();
    void failedConnectKeepsConnectCaption();
    void hangUpClosesPortOnce();
    void registrationMovesToNewPort();
    void registrationReportsFailedWrite();
    void portChoiceRegisters_data();
    void portChoiceRegisters();

private:
    void press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    std::unique_ptr<FormHarness> h;
    std::unique_ptr<PseudoTerminal> pty;
};

void TestLink::init() {
    h = std::make_unique<FormHarness>();
    h->writeStandardPictures();
    h->writeSettings(QStringLiteral("3,9600,N,8,1:0-0/0"));
    pty = std::make_unique<PseudoTerminal>();
    QVERIFY(pty->isOpen());
    QVERIFY(pty->linkAs(h->dir(), 3));
    Form1& f = h->start();
    QCOMPARE(f.Label1->text(), portTrue);
    QCOMPARE(f.Command6->text(), disconnectCaption);
}

void TestLink::cleanup() {
    h.reset();
    pty.reset();
}

void TestLink::commandBytes_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text3");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("label5");
    QTest::newRow("CCW") << "Command1" << "" << QByteArray("\x4c\x0d\x0a") << "184";
    QTest::newRow("stop copies azimuth") << "Command2" << "" << QByteArray("A\r\n") << "000";
    QTest::newRow("CW") << "Command3" << "" << QByteArray("R\r\n") << "179";
    QTest::newRow("+10 from nothing") << "Command4" << "" << QByteArray("M010\r\n") << "10";
    QTest::newRow("-10 from nothing") << "Command5" << "" << QByteArray("M350\r\n") << "350";
    QTest::newRow("raw empty") << "Command9" << "" << QByteArray("\x0d\x0a") << "";
    QTest::newRow("raw keeps blanks") << "Command9" << " L " << QByteArray(" L \r\n") << "";
    QTest::newRow("raw go-to") << "Command9" << "M090" << QByteArray("\x4d\x30\x39\x30\x0d\x0a")
                               << "";
    QTest::newRow("raw UTF-8") << "Command9" << "Ä" << QByteArray("\xc3\x84\r\n") << "";
}

void TestLink::commandBytes() {
    QFETCH(QString, button);
    QFETCH(QString, text3);
    QFETCH(QByteArray, bytes);
    Form1& f = *h->form;
    f.Text3->setText(text3);
    f.inputLine = QStringLiteral("AZ");
    QPushButton* b = nullptr;
    const std::array<std::pair<const char*, QPushButton*>, 6> buttons = {{
        {"Command1", f.Command1}, {"Command2", f.Command2}, {"Command3", f.Command3},
        {"Command4", f.Command4}, {"Command5", f.Command5}, {"Command9", f.Command9},
    }};
    for (const auto& [name, candidate] : buttons)
        if (button == QLatin1String(name))
            b = candidate;
    QVERIFY(b);
    if (b == f.Command9)
        f.SSTab1->setCurrentIndex(1);
    press(b);
    QTRY_COMPARE(pty->received(), bytes);
    QTEST(f.Label5->text(), "label5");
    // Rotation commands drop partly received replies; steps and raw commands keep them.
    const bool clears = b == f.Command1 || b == f.Command2 || b == f.Command3;
    QCOMPARE(f.inputLine, clears ? QString() : QStringLiteral("AZ"));
}

void TestLink::closedPortNotice_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("label5");
    QTest::newRow("CCW still sets target") << 1 << "184";
    QTest::newRow("stop keeps target") << 2 << "77";
    QTest::newRow("CW still sets target") << 3 << "179";
    QTest::newRow("+10 keeps target") << 4 << "77";
    QTest::newRow("-10 keeps target") << 5 << "77";
    QTest::newRow("raw") << 9 << "77";
}

void TestLink::closedPortNotice() {
    QFETCH(int, button);
    Form1& f = *h->form;
    press(f.Command6); // disconnect
    QCOMPARE(f.Command6->text(), connectCaption);
    f.Label5->setText(QStringLiteral("77"));
    f.Label1->setText(QStringLiteral("something else"));
    QPushButton* const buttons[] = {nullptr,     f.Command1, f.Command2, f.Command3, f.Command4,
                                    f.Command5, nullptr,    nullptr,    nullptr,    f.Command9};
    f.SSTab1->setCurrentIndex(button == 9 ? 1 : 0);
    f.Label1->setText(QStringLiteral("something else"));
    press(buttons[button]);
    QCOMPARE(f.Label1->text(), portFalse);
    QCOMPARE(f.Command6->text(), connectCaption);
    QTEST(f.Label5->text(), "label5");
    // Nothing reached the controller: a byte sent now arrives first.
    press(f.Command6);
    press(f.Command9);
    QTRY_COMPARE(pty->received(), QByteArray("\r\n"));
}

void TestLink::repliesLagBehindSettingsLine() {
    Form1& f = *h->form;
    QCOMPARE(f.inputLine, QStringLiteral("3,9600,N,8,1:0-0/0"));
    const QByteArray replies = "AZ=001\r\nAZ=002\r\nAZ=003\r\nAZ=004\r\n";
    // Eighteen characters only work the settings line off.
    QVERIFY(pty->write(replies.left(18)));
    QTRY_COMPARE(f.inputLine, QString::fromLatin1(replies.left(18)));
    QCOMPARE(f.Label4->text(), QStringLiteral("000"));
    QVERIFY(pty->write(replies.mid(18, 1)));
    QTRY_COMPARE(f.Label4->text(), QStringLiteral("1"));
    QVERIFY(pty->write(replies.mid(19)));
    QTRY_COMPARE(f.Label4->text(), QStringLiteral("4"));
    QTRY_COMPARE(f.inputLine, QString());
    QVERIFY(pty->write("AZ=999\r\n"));
    QTRY_COMPARE(f.Label4->text(), QStringLiteral("639"));
}

void TestLink::disconnectAndConnect() {
    Form1& f = *h->form;
    press(f.Command6);
    QCOMPARE(f.Command6->text(), connectCaption);
    QCOMPARE(f.Label1->text(), portFalse);
    press(f.Command6);
    QCOMPARE(f.Command6->text(), disconnectCaption);
    QCOMPARE(f.Label1->text(), portTrue);
    f.inputLine.clear();
    QVERIFY(pty->write("AZ=123\r\n"));
    QTRY_COMPARE(f.Label4->text(), QStringLiteral("123"));
}

void TestLink::failedConnectKeepsConnectCaption() {
    Form1& f = *h->form;
    press(f.Command6);
    QVERIFY(QFile::remove(h->path("COM3")));
    for (int i = 0; i < 2; ++i) {
        press(f.Command6);
        QCOMPARE(f.Command6->text(), connectCaption);
        QCOMPARE(f.Label1->text(), portFalse);
    }
    QVERIFY(pty->linkAs(h->dir(), 3));
    press(f.Command6);
    QCOMPARE(f.Command6->text(), disconnectCaption);
    f.inputLine.clear();
    QVERIFY(pty->write("AZ=045\r\n"));
    QTRY_COMPARE(f.Label4->text(), QStringLiteral("45"));
}

void TestLink::hangUpClosesPortOnce() {
    Form1& f = *h->form;
    QSignalSpy lost(f.MSComm1, &MSComm::portLost);
    f.inputLine.clear();
    QVERIFY(pty->write("AZ=1"));
    QTRY_COMPARE(f.inputLine, QStringLiteral("AZ=1"));
    pty->hangUp();
    QTRY_COMPARE(f.Command6->text(), connectCaption);
    QCOMPARE(f.Label1->text(), portFalse);
    QVERIFY(!f.MSComm1->PortOpen());
    // No storm of errors once closed: the loss is reported once.
    QTest::qWait(200);
    QCOMPARE(lost.count(), 1);
    // The controller comes back on a new terminal behind the same COM3.
    QVERIFY(pty->reopen());
    QVERIFY(pty->linkAs(h->dir(), 3));
    press(f.Command6);
    QCOMPARE(f.Command6->text(), disconnectCaption);
    f.inputLine.clear();
    QVERIFY(pty->write("AZ=200\r\n"));
    QTRY_COMPARE(f.Label4->text(), QStringLiteral("200"));
}

void TestLink::registrationMovesToNewPort() {
    Form1& f = *h->form;
    PseudoTerminal second;
    QVERIFY(second.linkAs(h->dir(), 4));
    f.SSTab1->setCurrentIndex(1);
    f.Text1->setText(QStringLiteral("4"));
    press(f.Command8);
    QCOMPARE(f.Label1->text(), QStringLiteral("環境ファイルに登録完了"));
    QCOMPARE(f.Command6->text(), disconnectCaption);
    QCOMPARE(h->dataLine(), QStringLiteral("4,9600,N,8,1:0-0/0"));
    QCOMPARE(f.MSComm1->CommPort(), 4);
    f.SSTab1->setCurrentIndex(0);
    press(f.Command1);
    QTRY_COMPARE(second.received(), QByteArray("L\r\n"));
    QCOMPARE(pty->received(), QByteArray());
    // Replies on the new port are shown.
    f.inputLine.clear();
    QVERIFY(second.write("AZ=321\r\n"));
    QTRY_COMPARE(f.Label4->text(), QStringLiteral("321"));
}

void TestLink::registrationReportsFailedWrite() {
    Form1& f = *h->form;
    QVERIFY(QFile::remove(h->path(SettingsCodec::fileName)));
    QVERIFY(QDir(h->dir()).mkdir(SettingsCodec::fileName));
    f.SSTab1->setCurrentIndex(1);
    f.Text5->clear();
    press(f.Command8);
    QCOMPARE(f.Label1->text(), QStringLiteral("環境ファイルに登録できませんでした"));
    QCOMPARE(f.Text5->text(), QStringLiteral("0"));
    // The link is re-opened all the same.
    QCOMPARE(f.Command6->text(), disconnectCaption);
    QVERIFY(f.MSComm1->PortOpen());
}

void TestLink::portChoiceRegisters_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("text1");
    QTest::newRow("listed link") << "" << "4";
    QTest::newRow("COM in the device name") << "COMTEC (COM4)" << "4";
    QTest::newRow("mixed case Comm") << "Prolific USB-to-Serial Comm Port (COM4)" << "4";
    QTest::newRow("no number: nothing happens") << "Bluetooth (COMx)" << "3";
}

void TestLink::portChoiceRegisters() {
    QFETCH(QString, entry);
    PseudoTerminal second;
    QVERIFY(second.linkAs(h->dir(), 4));
    // A new window lists the COM4 link among the present ports.
    h->form.reset();
    Form1& f = h->start();
    f.SSTab1->setCurrentIndex(1);
    int row = -1;
    if (entry.isEmpty()) {
        for (int i = 0; i < f.Combo1->count(); ++i)
            if (f.Combo1->itemText(i).endsWith(QStringLiteral("(COM4)")))
                row = i;
        QVERIFY2(row >= 0, qPrintable(QStringLiteral("COM4 not listed")));
    } else {
        f.Combo1->addItem(entry);
        row = f.Combo1->count() - 1;
    }
    f.Label1->clear();
    emit f.Combo1->activated(row);
    QTEST(f.Text1->text(), "text1");
    if (f.Text1->text() == QLatin1String("4")) {
        QCOMPARE(f.Label1->text(), QStringLiteral("環境ファイルに登録完了"));
        QCOMPARE(h->dataLine(), QStringLiteral("4,9600,N,8,1:0-0/0"));
        f.SSTab1->setCurrentIndex(0);
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QTRY_COMPARE(second.received(), QByteArray("R\r\n"));
    } else {
        QCOMPARE(f.Label1->text(), QString());
        QCOMPARE(h->dataLine(), QStringLiteral("3,9600,N,8,1:0-0/0"));
    }
}

QTEST_MAIN(TestLink)
#include "tst_link.moc"
