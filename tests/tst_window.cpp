// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The real window over a pseudo-terminal standing in for the controller, in a
// working directory of its own: start-up, registration, the link, the map, the
// switches and the window's layout, and golden images of what the operator sees.
#include "gui/appstyle.h"
#include "gui/icons.h"
#include "gui/mainwindow.h"
#include "gui/messagebox.h"
#include "core/services/servicemodel.h"
#include "gui/servicesdialog.h"
#include "gui/targetdialog.h"
#include "net/networkservices.h"
#include "pseudoterminal.h"
#include "sessionrig.h"
#include "testfiles.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QPainter>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QtEndian>

namespace {
const QByteArray reference = "\r\n\r\nReference\r\n3(port No),9600,N,8,1(Baudot etc.):0(Offset)-"
                             "0(Picture No)/0(Control position)\r\n";
QString portState(bool open) {
    return QStringLiteral("ﾎﾟｰﾄ = ") + (open ? "True" : "False");
}
QString missingPicture(const char* name, bool standard) {
    return QStringLiteral("「%1」画像ファイルが有りませんので変更できませんでした。\r\n\r\n")
               .arg(name) +
           (standard
                ? QStringLiteral("バージョンアップで取り込むことができます。")
                : QStringLiteral("ユーザ作成ファイルに変更する場合はファイルを作成してください。"));
}
} // namespace

class TestWindow : public QObject {
    Q_OBJECT
    QString m_home;
    std::unique_ptr<WorkingFolder> m_folder;
    std::unique_ptr<OperatingCore> m_core;
    std::unique_ptr<ServiceModel> m_services;
    std::unique_ptr<MainWindow> m_window;
    void makeWindow() {
        m_window.reset();
        m_services.reset();
        m_core = std::make_unique<OperatingCore>();
        m_services = std::make_unique<ServiceModel>(m_core->store());
        m_window = std::make_unique<MainWindow>(*m_core, *m_services);
    }
    Service& service(Service::Kind kind) { return m_services->service(kind); }
    QStringList m_messages;

    template <typename T = QWidget> T* w(const QString& name) {
        T* found = m_window->findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    QString text(const char* name) { return w(name)->property("text").toString(); }
    void click(const QString& name) { QTest::mouseClick(w(name), Qt::LeftButton); }
    bool start(const QByteArray& dataLine = "3,9600,N,8,1:0-0/0") {
        if (!dataLine.isEmpty() && !writeFile("AZIVEX.DAT", dataLine + reference))
            return false;
        makeWindow();
        return m_core->start();
    }
    // What reached the controller, once everything sent before has arrived.
    QByteArray line(PseudoTerminal* port = nullptr) {
        port = port ? port : &m_folder->pty;
        w<QLineEdit>("rawCommandEdit")->setText(QStringLiteral("#"));
        QTest::keyClick(w("rawCommandEdit"), Qt::Key_Return); // sends as the button does
        if (!QTest::qWaitFor([&] { return port->received().endsWith("#\r\n"); }))
            return "<timed out>" + port->received();
        const QByteArray got = port->received().chopped(3);
        port->clearReceived();
        return got;
    }
    void clickMap(QPoint at) { QTest::mouseClick(w("mapView"), Qt::LeftButton, {}, at); }
    QImage grabTab(int tab) {
        m_window->findChild<QTabBar*>()->setCurrentIndex(tab);
        return m_window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    void compareGolden(const QImage& image, const QString& name) {
        const QString path = QStringLiteral(AZIVEX_SOURCE_DIR "/tests/golden/%1.png").arg(name);
        if (qEnvironmentVariableIsSet("AZIVEX_UPDATE_GOLDEN")) {
            QVERIFY(image.save(path));
            return;
        }
        const QImage golden = QImage(path).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.size(), golden.size());
        int differing = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb a = image.pixel(x, y), b = golden.pixel(x, y);
                if (std::abs(qRed(a) - qRed(b)) > 8 || std::abs(qGreen(a) - qGreen(b)) > 8 ||
                    std::abs(qBlue(a) - qBlue(b)) > 8)
                    ++differing;
            }
        if (differing)
            image.save(QDir(m_home).filePath(name + "-actual.png"));
        QVERIFY2(differing == 0, qPrintable(QStringLiteral("%1 pixels differ from %2; the actual "
                                                           "picture is in the test's directory")
                                                .arg(differing)
                                                .arg(path)));
    }

  private slots:
    void initTestCase() {
        AppStyle::install();
        AppMessageBox::setRecorder([this](const QString& title, const QString& text) {
            QCOMPARE(title, QStringLiteral("AZIVEX"));
            m_messages << text;
        });
        m_home = QDir::currentPath();
    }
    void init() {
        m_folder = std::make_unique<WorkingFolder>();
        QVERIFY(m_folder->enter());
        for (const char* map : {"world1.bmp", "world2.bmp", "world3.bmp"})
            QVERIFY(QFile::copy(QStringLiteral(AZIVEX_MAPS_DIR "/") + map, map));
        m_messages.clear();
    }
    void cleanup() {
        m_window.reset();
        m_services.reset();
        m_core.reset();
        m_folder.reset();
    }

    void registration_data() {
        // clang-format off
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("status");
        QTest::addRow("picture") << "pictureButton2" << QByteArray("3,9600,N,8,1:0-2/0") << "環境ファイルに登録完了";
        QTest::addRow("panel on and off") << "showPanelCheck showPanelCheck" << QByteArray("3,9600,N,8,1:0-0/0") << "環境ファイルに登録完了";
        QTest::addRow("panel on") << "showPanelCheck" << QByteArray("3,9600,N,8,1:0-0/1") << "環境ファイルに登録完了";
        QTest::addRow("new port typed") << "port:4 offset:-3 registerButton" << QByteArray("4,9600,N,8,1:-3-0/0") << "環境ファイルに登録完了";
        QTest::addRow("port list") << "list:4" << QByteArray("4,9600,N,8,1:0-0/0") << "環境ファイルに登録完了";
        QTest::addRow("after disconnect") << "connectButton registerButton" << QByteArray("3,9600,N,8,1:0-0/0") << "環境ファイルに登録完了";
        QTest::addRow("tab change") << "showPanelCheck tab" << QByteArray("3,9600,N,8,1:0-0/1") << portState(true);
        // clang-format on
    }
    void registration() {
        QFETCH(QString, action);
        QFETCH(QByteArray, written);
        QFETCH(QString, status);
        PseudoTerminal com4;
        QVERIFY(com4.linkAs(m_folder->dir.path(), 4));
        QVERIFY(start());
        m_window->show();
        for (const QString& step : action.split(u' ')) {
            const QString arg = step.section(u':', 1);
            if (step.startsWith(u"offset:"))
                w<QLineEdit>("offsetEdit")->setText(arg);
            else if (step.startsWith(u"port:"))
                w<QLineEdit>("portEdit")->setText(arg);
            else if (step.startsWith(u"list:")) {
                auto* list = w<QComboBox>("portList");
                QTRY_VERIFY(list->findText("(COM" + arg + ")", Qt::MatchEndsWith) >= 0);
                const int row = list->findText("(COM" + arg + ")", Qt::MatchEndsWith);
                list->setCurrentIndex(row);
                emit list->activated(row);
                QCOMPARE(list->lineEdit()->cursorPosition(), 0); // the device's name shows
            } else if (step == u"tab") {
                m_window->findChild<QTabBar*>()->setCurrentIndex(1);
                m_window->findChild<QTabBar*>()->setCurrentIndex(0);
            } else
                click(step);
        }
        QCOMPARE(text("statusLabel"), status);
        QCOMPARE(readFile("AZIVEX.DAT"), written + reference);
        QCOMPARE(text("offsetEdit"), action.contains("offset:-3") ? "-3" : "0");
        // The port the file names is the one open now.
        QCOMPARE(line(written.startsWith('4') ? &com4 : &m_folder->pty), QByteArray());
    }

    // The buttons' commands are the randomized operator's; here the link's states.
    void link() {
        QVERIFY(start());
        // The settings line waits in front of the first replies: shown at the 19th
        // and 22nd characters, the third (25th) never arrives.
        m_folder->pty.write("AZ=001\r\nAZ=002\r\nAZ=003\r\n");
        QTRY_COMPARE(text("headingLabel"), QStringLiteral("2"));
        click("stopButton"); // the heading shown becomes the target
        click("stepCwButton");
        QCOMPARE(line(), QByteArray("A\r\nM012\r\n"));
        m_folder->pty.hangUp(); // the connect button's own toggling is the randomized operator's
        QTRY_COMPARE(text("connectButton"), QStringLiteral("接続"));
        QCOMPARE(text("statusLabel"), portState(false));
        w<QLabel>("statusLabel")->clear();
        click("stopButton");
        QCOMPARE(text("statusLabel"), portState(false));
        QCOMPARE(text("targetLabel"), QStringLiteral("12"));
        QCOMPARE(text("headingLabel"), QStringLiteral("2"));
    }

    void mapClicks_data() {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QString>("offset");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("longPath"); // a right-click there
        // The map's outer rectangle is 204 pixels square, its centre at (102, 102).
        QTest::addRow("east") << QPoint(203, 102) << "0" << "90" << "270";
        QTest::addRow("north, offset") << QPoint(102, 1) << "-10" << "350" << "170";
    }
    void mapClicks() {
        QFETCH(QPoint, at);
        QFETCH(QString, offset);
        QFETCH(QString, target);
        QFETCH(QString, longPath);
        QVERIFY(start());
        w<QLineEdit>("offsetEdit")->setText(offset);
        clickMap(at);
        QCOMPARE(text("targetLabel"), target);
        QCOMPARE(text("statusLabel"), QString());
        QCOMPARE(line(), "M" + target.rightJustified(3, u'0').toLatin1() + "\r\n");
        QTest::mouseClick(w("mapView"), Qt::RightButton, {}, at);
        QCOMPARE(text("targetLabel"), longPath);
        QCOMPARE(line(), "M" + longPath.rightJustified(3, u'0').toLatin1() + "\r\n");
        QTest::mousePress(w("mapView"), Qt::LeftButton, {}, at); // released as another button
        QTest::mouseRelease(w("mapView"), Qt::RightButton, {}, at);
        QCOMPARE(line(), QByteArray());
        click("connectButton");
        clickMap(at);
        QCOMPARE(text("statusLabel"), portState(false));
        QCOMPARE(text("targetLabel"), target);
    }

    // Keys turn the antenna unless a text box has them; T opens the target field,
    // where Enter aims the short path and Ctrl+Enter the long path.
    void keyboard() {
        QVERIFY(writeFile("AZIVEX.INI", "[station]\nlocator=PM95vq\n[aim]\npark=200\npreset1=n|0\npreset2=W|FN42\n"));
        QVERIFY(start());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        for (const Qt::Key key : {Qt::Key_Left, Qt::Key_S, Qt::Key_Right, Qt::Key_Plus, Qt::Key_Escape,
                                  Qt::Key_P, Qt::Key_2, Qt::Key_3, Qt::Key_1})
            QTest::keyClick(m_window.get(), key);
        QCOMPARE(line(), QByteArray("L\r\nA\r\nR\r\nM189\r\nA\r\nM200\r\nM022\r\nM000\r\n"));
        w("rawCommandEdit")->setFocus();
        QTest::keyClicks(w("rawCommandEdit"), "S+");
        QCOMPARE(line(), QByteArray());
        w("mapView")->setFocus();
        QTest::keyClick(m_window.get(), Qt::Key_T);
        auto* edit = w<QLineEdit>("targetEdit");
        QTRY_VERIFY(edit->hasFocus());
        const auto redPixels = [this] {
            const QImage map = w("mapView")->grab().toImage();
            int count = 0;
            for (int y = 0; y < map.height(); ++y)
                for (int x = 0; x < map.width(); ++x)
                    count += map.pixelColor(x, y) == QColor(255, 0, 0);
            return count;
        };
        QCOMPARE(redPixels(), 0);
        QTest::keyClicks(edit, "fn42");
        QCOMPARE(w<QLabel>("takenAsLabel")->text(), QStringLiteral("FN42"));
        QVERIFY(redPixels() > 10); // the place, on a picture centred on the station
        QCOMPARE(w<QLabel>("bearingsLabel")->text().left(24), QStringLiteral("SP 022°  LP 202°  10,800"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(line(), QByteArray("M022\r\nM202\r\n"));
        QCOMPARE(text("targetLabel"), QStringLiteral("202"));
        edit->setText(QStringLiteral("?!"));
        QVERIFY(!w("shortPathButton")->isEnabled());
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(line(), QByteArray());
    }

    // Pictures 4 and 5 drawn from the window, centred on the station, and picture 4
    // chosen; an existing picture is replaced only when the operator says so.
    void stationPictures() {
        QVERIFY(writeFile("AZIVEX.INI", "[station]\nlocator=JN58td\n"));
        QVERIFY(start());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window.get(), Qt::Key_T);
        w<QSpinBox>("picture4Size")->setValue(100);
        w<QSpinBox>("picture5Size")->setValue(120);
        click("drawPicturesButton");
        QVERIFY(!w("drawPicturesButton")->isEnabled()); // drawing, the window running on
        QTRY_COMPARE_WITH_TIMEOUT(m_window->findChild<QRadioButton*>()->group()->checkedId(), 3, 30000);
        QCOMPARE(QImage("world4.bmp").size(), QSize(100, 100));
        QCOMPARE(QImage("world5.bmp").size(), QSize(120, 120));
        QCOMPARE(w("mapView")->width(), 104);
        QCOMPARE(readFile("AZIVEX.DAT").mid(15, 1), QByteArray("3"));
        QVERIFY(readFile("AZIVEX.INI").contains("[maps]\ncentre=48.1458, 11.625"));
        QCOMPARE(m_messages, QStringList());
        QTRY_VERIFY(w("drawPicturesButton")->isEnabled());
        AppMessageBox::setNextAnswer(false);
        click("drawPicturesButton");
        QCOMPARE(m_messages, QStringList{"world4.bmp、world5.bmp を置き換えますか？"});
        QVERIFY(w("drawPicturesButton")->isEnabled()); // nothing started
    }

    // The dialog shows each service's state as it changes. OK saves the rows the operator
    // changed and no others: not an address given for this run, nor keys changed meanwhile
    // (as a file edited by hand); Cancel saves nothing.
    void servicesDialog_data() {
        QTest::addColumn<QString>("meanwhile"); // errors, datagrams, edits (by hand)
        QTest::addColumn<QStringList>("states");  // rotctld, N1MM, PstRotator, WSJT-X: text|tip
        QTest::addColumn<QStringList>("edits");   // control=text or tick, by the operator
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("saved");
        const QByteArray edited = "[n1mm]\nlisten=127.0.0.1:12040\n[pstrotator]\nlisten=12002\n[wsjtx]\nlisten=127.0.0.1:2237\nfollow=false\n[link]\nreconnect=false\n";
        const QStringList every{"rotctldEdit=4999", "n1mmCheck=0", "pstrotatorEdit= 12001 ", "wsjtxEdit=127.0.0.1:2238", "wsjtxFollowCheck=0", "reconnectCheck=0"};
        // clang-format off
        QTest::addRow("OK, nothing changed") << "errors edits" << QStringList{"127.0.0.1:47102 を開けません: used|", "127.0.0.1:12040 を開けません: used|", "12000 を開けません: used|", "127.0.0.1:2237 を開けません: used|"} << QStringList() << true << edited;
        QTest::addRow("OK, every row changed") << "datagrams" << QStringList{"127.0.0.1:47102 で待ち受け中|", "127.0.0.1:12040 で待ち受け中 (理解できない受信 1 件)|最後に無視した受信: <a/>", "12000 で待ち受け中 (理解できない受信 2 件)|最後に無視した受信: ?", "127.0.0.1:2237 で受信中（状態 1 件）|読めないデータグラム 1 件（最後: too short）"}
            << every << true << QByteArray("[n1mm]\nlisten=\n[pstrotator]\nlisten=12001\n[wsjtx]\nlisten=127.0.0.1:2238\nfollow=false\n[link]\nreconnect=false\n\n[rotctld]\nlisten=4999\n");
        QTest::addRow("Cancel") << "edits" << QStringList{"127.0.0.1:47102 で待ち受け中|", "127.0.0.1:12040 で待ち受け中|", "12000 で待ち受け中|", "127.0.0.1:2237 で受信中（状態 0 件）|"} << every << false << edited;
        // clang-format on
    }
    void servicesDialog() {
        QFETCH(QString, meanwhile);
        QFETCH(QStringList, states);
        QFETCH(QStringList, edits);
        QFETCH(bool, ok);
        QFETCH(QByteArray, saved);
        QVERIFY(writeFile("AZIVEX.INI", "[n1mm]\nlisten=127.0.0.1:12040\n[pstrotator]\nlisten=12000\n[wsjtx]\nlisten=127.0.0.1:2237\nfollow=true\n[link]\nreconnect=true\n"));
        QVERIFY(start());
        using K = Service::Kind;
        m_services->overrideAddress(K::Rotctld, QStringLiteral("127.0.0.1:47102")); // as --rotctld does
        WsjtxFollower& wsjtx = m_core->wsjtx();
        ServicesDialog dialog(*m_core, *m_services, m_window.get());
        QCOMPARE(dialog.findChild<QLineEdit*>("rotctldEdit")->text(), service(K::Rotctld).address());
        if (meanwhile.contains("errors"))
            for (const K kind : {K::Rotctld, K::N1mm, K::PstRotator, K::Wsjtx})
                service(kind).setError("used");
        if (meanwhile.contains("datagrams")) {
            service(K::N1mm).setCounters({0, 0, 1, "<a/>"});
            service(K::PstRotator).setCounters({0, 3, 2, "?"});
            service(K::Wsjtx).setCounters({0, 1, 1, "too short"});
        }
        for (qsizetype i = 0; i < states.size(); ++i) {
            const auto* state = dialog.findChild<QLabel*>(QStringList{"rotctldState", "n1mmState", "pstrotatorState", "wsjtxState"}[i]);
            QCOMPARE(state->text() + u'|' + state->toolTip(), states[i]);
        }
        if (meanwhile == u"datagrams") // every row laid out, its state in full
            compareGolden(dialog.grab().toImage().convertToFormat(QImage::Format_RGB32), "services-dialog");
        if (meanwhile.contains("edits"))
            QVERIFY(m_services->setAddress(K::PstRotator, "12002") && wsjtx.setFollow(false) && m_core->setReconnectEnabled(false));
        for (const QString& edit : edits) {
            if (auto* check = dialog.findChild<QCheckBox*>(edit.section(u'=', 0, 0)))
                check->setChecked(edit.endsWith(u'1'));
            else
                dialog.findChild<QLineEdit*>(edit.section(u'=', 0, 0))->setText(edit.section(u'=', 1));
        }
        QSignalSpy served(&service(K::Rotctld), &Service::addressChanged);
        ok ? dialog.accept() : dialog.reject();
        QCOMPARE(readFile("AZIVEX.INI"), saved);
        // The rotctld server is told the address, or tries again the one it could not open.
        QCOMPARE(served.value(0).value(0).toString(), ok ? service(K::Rotctld).address() : QString());
        QCOMPARE(service(K::Rotctld).address(), ok && !edits.isEmpty() ? "4999" : "127.0.0.1:47102");
    }

    // The dialog over the running servers: a port another program holds, then freed
    // and tried again on OK; a tracker connected; a datagram not understood.
    void servicesDialogLive() {
        QTcpServer rival;
        QUdpSocket probe;
        QVERIFY(rival.listen(QHostAddress::LocalHost, 0) && probe.bind(QHostAddress::LocalHost, 0));
        const QString tcp = QStringLiteral("127.0.0.1:%1").arg(rival.serverPort());
        const QString udp = QStringLiteral("127.0.0.1:%1").arg(probe.localPort());
        probe.close();
        QVERIFY(writeFile("AZIVEX.INI", ("[rotctld]\nlisten=" + tcp + "\n[pstrotator]\nlisten=" + udp + "\n").toUtf8()));
        QVERIFY(start());
        NetworkServices servers(*m_core, *m_services);
        ServicesDialog dialog(*m_core, *m_services, m_window.get());
        const auto state = [&](const char* name) { return dialog.findChild<QLabel*>(name)->text(); };
        QVERIFY2(state("rotctldState").startsWith(tcp + " を開けません: "), qPrintable(state("rotctldState")));
        QCOMPARE(state("pstrotatorState"), udp + " で待ち受け中");
        QUdpSocket sender;
        sender.writeDatagram("hello", QHostAddress::LocalHost, quint16(udp.section(u':', 1).toUInt()));
        QTRY_COMPARE(state("pstrotatorState"), udp + " で待ち受け中 (理解できない受信 1 件)");
        rival.close();
        dialog.accept();
        QCOMPARE(state("rotctldState"), tcp + " で待ち受け中");
        QTcpSocket tracker;
        tracker.connectToHost(QHostAddress::LocalHost, quint16(tcp.section(u':', 1).toUInt()));
        QTRY_COMPARE(state("rotctldState"), tcp + " で待ち受け中 (接続 1)");
        QCOMPARE(readFile("AZIVEX.INI"), ("[rotctld]\nlisten=" + tcp + "\n[pstrotator]\nlisten=" + udp + "\n").toUtf8());
    }

    // The Controller part saves only the keys the operator changed; what cannot be
    // used keeps the dialog open, saying why.
    void controllerPart_data() {
        QTest::addColumn<QStringList>("edits"); // control=text
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QByteArray>("saved");
        const QByteArray before = "[link]\nrange=0-450\npoll=700\n";
        // clang-format off
        QTest::addRow("nothing changed") << QStringList() << "" << before;
        QTest::addRow("device") << QStringList{"deviceEdit= /dev/ttyAZX9 "} << "" << before + "device=/dev/ttyAZX9\n";
        QTest::addRow("GS-232B, own range") << QStringList{"protocolList=GS-232B", "rangeEdit=", "pollBox=1000"} << "" << QByteArray("[link]\nrange=\npoll=1000\nprotocol=gs232b\n");
        QTest::addRow("Hamlib model") << QStringList{"protocolList=Hamlib", "hamlibModelList=603"} << "" << before + "protocol=hamlib\nhamlib_model=603\n";
        QTest::addRow("Hamlib, no model") << QStringList{"protocolList=Hamlib"} << "Hamlib のモデルを選んでください。" << before;
        QTest::addRow("not a range") << QStringList{"pollBox=900", "rangeEdit=0-4x0"} << "「0-4x0」は回転範囲になりません。0-450、-180-180、0-340 のように書きます。" << before;
        // clang-format on
    }
    void controllerPart() {
        QFETCH(QStringList, edits);
        QFETCH(QString, refusal);
        QFETCH(QByteArray, saved);
        QVERIFY(writeFile("AZIVEX.INI", "[link]\nrange=0-450\npoll=700\n"));
        QVERIFY(start());
        ServicesDialog dialog(*m_core, *m_services, m_window.get());
        for (const QString& edit : edits) {
            QWidget* c = dialog.findChild<QWidget*>(edit.section(u'=', 0, 0));
            c->setProperty(c->inherits("QComboBox") ? "currentText" : c->inherits("QSpinBox") ? "value" : "text", edit.section(u'=', 1));
        }
        dialog.accept();
        QCOMPARE(dialog.result(), refusal.isEmpty() ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(dialog.findChild<QLabel*>("controllerState")->text(), refusal);
        QCOMPARE(readFile("AZIVEX.INI"), saved);
        QCOMPARE(m_core->session().range().text(), saved.contains("range=\n") ? "0-360" : "0-450");
    }

    // The range under the lines on picture 1: the overlap (bearing 60 on 0-450) or the
    // dead zone (350 on 0-340) tinted and the stop at north marked, nothing on 0-360;
    // the heading's mark while the antenna stands in the overlap; "---" and no heading
    // line while the controller is silent, until its next report.
    void rangeShown_data() {
        QTest::addColumn<QString>("range");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("mark"); // and the position in the tooltip; empty: none
        QTest::addColumn<QString>("drawn"); // where the map is drawn on: overlap, dead, stop
        QTest::addColumn<QString>("clicked"); // the status after a click at bearing 350
        // clang-format off
        QTest::addRow("0-450 at 400") << "0-450" << QByteArray("AZ=400\r\n") << "+360 400" << "overlap stop" << "";
        QTest::addRow("0-450 at 40") << "0-450" << QByteArray("AZ=040\r\n") << "" << "overlap stop" << "";
        QTest::addRow("0-340") << "0-340" << QByteArray("AZ=300\r\n") << "" << "dead stop" << "350° は回転範囲 0-340 の外です";
        QTest::addRow("0-360") << "0-360" << QByteArray("AZ=300\r\n") << "" << "" << "";
        // clang-format on
    }
    void rangeShown() {
        QFETCH(QString, range);
        QFETCH(QByteArray, reply);
        QFETCH(QString, mark);
        QFETCH(QString, drawn);
        QFETCH(QString, clicked);
        QVERIFY(writeFile("AZIVEX.INI", "[link]\ntimeout=1\nrange=" + range.toLatin1() + "\n"));
        QVERIFY(start());
        const QString heading = QString::number(reply.mid(3, 3).toInt() % 360);
        m_folder->pty.write(reply.repeated(3)); // the first waits behind the settings line
        QTRY_COMPARE(text("headingLabel"), heading);
        const QLabel* overlap = w("headingLabel")->findChild<QLabel*>();
        QCOMPARE(overlap->isVisibleTo(m_window.get()) ? overlap->text() + u' ' + mark.section(u' ', 1) : QString(), mark);
        QCOMPARE(w("headingLabel")->toolTip().endsWith(mark.section(u' ', 1) + u'°'), !mark.isEmpty());
        const QImage bare(QStringLiteral("world1.bmp"));
        const auto shown = [this](QPoint at) { return w("mapView")->grab().toImage().pixelColor(at + QPoint(2, 2)); };
        const auto at = [](double bearing, double reach) { return (QPointF(100, 100) + 100 * reach * QPointF(std::sin(qDegreesToRadians(bearing)), -std::cos(qDegreesToRadians(bearing)))).toPoint(); };
        for (const auto& [part, spot] : {std::pair{"overlap", at(60, 0.6)}, {"dead", at(350, 0.6)}, {"stop", at(0, 0.93)}})
            QVERIFY2((shown(spot) != bare.pixelColor(spot)) == drawn.contains(part), part);
        QCOMPARE(shown(at(heading.toInt(), 0.5)), QColor(0, 0, 255));
        clickMap(QPoint(88, 23));
        QCOMPARE(text("statusLabel"), clicked);
        click("cwButton"); // no report follows
        QTRY_COMPARE(text("headingLabel"), QStringLiteral("---"));
        QCOMPARE(text("statusLabel"), QStringLiteral("コントローラが応答しません"));
        QVERIFY(shown(at(heading.toInt(), 0.5)) != QColor(0, 0, 255) && overlap->isHidden());
        m_folder->pty.write(reply);
        QTRY_COMPARE(text("headingLabel"), heading);
        QCOMPARE(text("statusLabel"), clicked);
        QCOMPARE(overlap->isVisibleTo(m_window.get()), !mark.isEmpty());
    }

    void pictures_data() {
        // clang-format off
        QTest::addColumn<QString>("files"); // changes to the folder: -name removes, +name copies
        QTest::addColumn<int>("chosen");
        QTest::addColumn<bool>("panel");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<int>>("sizes"); // client w, h; tab w, h; map w; connect x; panel y
        QTest::addColumn<int>("recorded");
        QTest::addRow("world3 with panel") << "" << 2 << true << QString() << QList<int>{473, 623, 465, 584, 454, 431, 528} << 2;
        QTest::addRow("world2 missing") << "-world2.bmp" << 1 << false << missingPicture("world2.bmp", true) << QList<int>{223, 315, 215, 282, 204, 181, -1} << 1;
        QTest::addRow("world4 missing") << "" << 3 << true << missingPicture("world4.bmp", false) << QList<int>{223, 373, 215, 334, 204, 181, 278} << 0;
        QTest::addRow("world5 as WORLD5.BMP") << "+WORLD5.BMP" << 4 << false << QString() << QList<int>{323, 415, 315, 382, 304, 281, -1} << 4;
        QTest::addRow("world1 missing") << "-world1.bmp" << 0 << false << missingPicture("world1.bmp", true) << QList<int>{323, 415, 315, 382, 304, 281, -1} << 0;
        QTest::addRow("world4 truncated") << "~world4.bmp" << 3 << false << QString() << QList<int>{323, 415, 315, 382, 304, 281, -1} << 3;
        QTest::addRow("world4 huge") << "!world4.bmp" << 3 << false << QString() << QList<int>{323, 415, 315, 382, 304, 281, -1} << 3;
        // clang-format on
    }
    void pictures() {
        QFETCH(QString, files);
        QFETCH(int, chosen);
        QFETCH(bool, panel);
        QFETCH(QString, message);
        QFETCH(QList<int>, sizes);
        QFETCH(int, recorded);
        // Start on world2, so a picture that cannot be shown leaves it in place.
        QVERIFY(start(panel ? "3,9600,N,8,1:0-1/1" : "3,9600,N,8,1:0-1/0"));
        m_window->show();
        const QString name = files.mid(1);
        QByteArray bmp = readFile("world2.bmp");
        if (files.startsWith(u'-'))
            QVERIFY(QFile::remove(name));
        else if (files.startsWith(u'+'))
            QVERIFY(QFile::copy("world2.bmp", name));
        else if (files.startsWith(u'~')) { // a larger picture, cut short by a byte
            const QByteArray larger = readFile("world3.bmp");
            QVERIFY(writeFile(name, larger.left(larger.size() - 1)));
        }
        else if (files.startsWith(u'!')) {
            qToLittleEndian<qint32>(20000, bmp.data() + 18);
            qToLittleEndian<qint32>(20000, bmp.data() + 22);
            QVERIFY(writeFile(name, bmp));
        }
        auto* group = m_window->findChild<QRadioButton*>()->group();
        group->button(chosen)->click();
        if (chosen == 1) // already chosen: choose it anew
            emit group->idToggled(1, true);
        QCOMPARE(m_messages, message.isEmpty() ? QStringList{} : QStringList{message});
        auto* tabs = m_window->findChild<QTabBar*>()->parentWidget();
        auto* panelBox = w<QGroupBox>("switchPanel");
        QCOMPARE((QList<int>{m_window->width(), m_window->height(), tabs->width(), tabs->height(),
                             w("mapView")->width(), w("connectButton")->x(),
                             panelBox->isVisible() ? panelBox->y() : -1}),
                 sizes);
        QCOMPARE(group->checkedId(), recorded == 0 && chosen > 2 ? 0 : chosen);
        QCOMPARE(readFile("AZIVEX.DAT").mid(15, 1), QByteArray::number(recorded));
    }

    // Every control's name, kind, caption, tooltip, font and place, against a golden
    // text: the window's words are kept byte for byte.
    void controlTexts() {
        makeWindow();
        QStringList lines;
        for (QWidget* c : m_window->findChildren<QWidget*>()) {
            if (c->objectName().isEmpty() && c->toolTip().isEmpty())
                continue;
            const QString caption = qobject_cast<QGroupBox*>(c)
                                        ? qobject_cast<QGroupBox*>(c)->title()
                                        : c->property("text").toString();
            lines << QStringLiteral("%1 %2 [%3] {%4} %5 %6 %7,%8 %9x%10")
                         .arg(c->objectName(), c->metaObject()->className(), caption, c->toolTip(),
                              c->font().family())
                         .arg(c->font().pointSizeF())
                         .arg(c->x())
                         .arg(c->y())
                         .arg(c->width())
                         .arg(c->height())
                         .replace(u'\r', u'~')
                         .replace(u'\n', u'|');
        }
        lines.sort();
        QFile golden(QStringLiteral(AZIVEX_SOURCE_DIR "/tests/golden/controls.txt"));
        if (qEnvironmentVariableIsSet("AZIVEX_UPDATE_GOLDEN")) {
            QVERIFY(golden.open(QIODevice::WriteOnly));
            golden.write(lines.join(u'\n').toUtf8() + '\n');
            return;
        }
        QVERIFY(golden.open(QIODevice::ReadOnly));
        const QStringList expected =
            QString::fromUtf8(golden.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines, expected);
    }

    // In English no text the operator sees is left in Japanese, and every caption fits
    // its control (style margins and check marks allowed for), without running over a
    // neighbour, at every picture size and both captions of the connect button.
    void englishFits() {
        QTranslator english;
        QVERIFY(english.load(QStringLiteral(":/i18n/azivex_en.qm")));
        QCoreApplication::installTranslator(&english);
        const auto restore = qScopeGuard([&] { QCoreApplication::removeTranslator(&english); });
        QVERIFY(writeFile("AZIVEX.INI", "[wsjtx]\nlisten=127.0.0.1:2237\n[pstrotator]\nlisten=127.0.0.1:12000\n"));
        QVERIFY(start("3,9600,N,8,1:0-0/1"));
        m_window->show();
        const QRegularExpression japanese(QStringLiteral("[\\x{3000}-\\x{30ff}\\x{4e00}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
        const auto check = [&](QWidget* top) {
            const QWidgetList controls = top->findChildren<QWidget*>() << top;
            for (QWidget* c : controls) {
                const auto* box = qobject_cast<QGroupBox*>(c);
                const QString caption = (box ? box->title() : c->property("text").toString()).trimmed();
                for (const QString& shown : {caption, c->toolTip(), c->windowTitle()})
                    QVERIFY2(!shown.contains(japanese), qPrintable(c->objectName() + ": " + shown));
                // Dialogs are laid out, their wrapped lines in full; the options are cut off by
                // design, and the version is the same untranslated text in both languages.
                if (auto* l = qobject_cast<QLabel*>(c); l && top != m_window.get() && l->wordWrap() && l->isVisible())
                    QVERIFY2(l->heightForWidth(l->width()) <= l->height(), qPrintable(l->text() + " is cut off"));
                if (top != m_window.get() || qobject_cast<QRadioButton*>(c) || c->objectName() == u"versionLabel")
                    continue;
                const QStyle* st = c->style();
                int room = c->width();
                if (qobject_cast<QPushButton*>(c))
                    room -= st->pixelMetric(QStyle::PM_ButtonMargin) + 2 * st->pixelMetric(QStyle::PM_DefaultFrameWidth);
                else if (qobject_cast<QCheckBox*>(c))
                    room -= st->pixelMetric(QStyle::PM_IndicatorWidth) + st->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
                else if (box)
                    room -= 2 * st->pixelMetric(QStyle::PM_LayoutLeftMargin);
                QVERIFY2(c->fontMetrics().horizontalAdvance(caption) <= room,
                         qPrintable(QStringLiteral("%1 \"%2\": %3 > %4").arg(c->objectName(), caption).arg(c->fontMetrics().horizontalAdvance(caption)).arg(room)));
                // Whole in height too, descenders included: drawn unclipped where the style draws
                // it, no pixel falls outside the rectangle its drawing is clipped to. Text boxes
                // are not captions; a frame's title has a line of the style's own.
                const auto* label = qobject_cast<QLabel*>(c);
                const bool checkBox = qobject_cast<QCheckBox*>(c);
                if (!label && !qobject_cast<QAbstractButton*>(c))
                    continue;
                QStyleOptionButton option;
                option.initFrom(c);
                const QRect clip = label ? c->contentsRect() : st->subElementRect(checkBox ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option, c);
                QImage drawn(c->size() * 3 * c->devicePixelRatioF(), QImage::Format_RGB32);
                drawn.setDevicePixelRatio(c->devicePixelRatioF());
                drawn.fill(Qt::white);
                QPainter painter(&drawn);
                painter.setFont(c->font());
                painter.drawText(clip.translated(0, c->height()), Qt::TextDontClip | (label ? int(label->alignment()) : checkBox ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter), caption);
                painter.end();
                for (int y = 0; y < drawn.height(); ++y)
                    for (int x = 0; x < drawn.width(); ++x)
                        QVERIFY2(drawn.pixel(x, y) == qRgb(255, 255, 255) || (y >= (c->height() + clip.top()) * drawn.devicePixelRatio() && y < (c->height() + clip.bottom() + 1) * drawn.devicePixelRatio()),
                                 qPrintable(QStringLiteral("%1 \"%2\" is cut in height").arg(c->objectName(), caption)));
                const QWidgetList beside = qobject_cast<QLabel*>(c) ? c->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly) : QWidgetList();
                for (QWidget* n : beside)
                    QVERIFY2(n == c || n->isHidden() || QRect(c->pos(), QSize(c->fontMetrics().horizontalAdvance(caption), c->height())).intersected(n->geometry()).width() <= 1,
                             qPrintable(c->objectName() + " runs over " + n->objectName()));
            }
            if (auto* bar = top->findChild<QTabBar*>())
                QVERIFY(bar->tabRect(bar->count() - 1).right() < bar->width());
        };
        for (const char* picture : {"pictureButton1", "pictureButton2", "pictureButton0"}) {
            click(picture);
            check(m_window.get());
            if (QTest::currentTestFailed())
                return;
        }
        click("connectButton");
        check(m_window.get());
        // A standard picture missing: the English says where pictures are read from.
        QVERIFY(QFile::remove("world2.bmp"));
        click("pictureButton1");
        QVERIFY2(m_messages.join(u'|').contains(" working folder, " + QDir::currentPath() + ". "), qPrintable(m_messages.join(u'|')));
        ServicesDialog services(*m_core, *m_services, m_window.get());
        TargetDialog target(*m_core, m_window.get());
        for (QDialog* dialog : std::initializer_list<QDialog*>{&services, &target}) {
            dialog->show();
            check(dialog);
        }
    }

    void goldenImages() {
        compareGolden(Icons::window().convertToFormat(QImage::Format_RGB32), "window-icon");
        makeWindow();
        compareGolden(m_window->grab().toImage().convertToFormat(QImage::Format_RGB32), "created");
        QVERIFY(start("3,9600,N,8,1:10-0/1"));
        m_window->show();
        m_folder->pty.write("AZ=270\r\nAZ=270\r\nAZ=270\r\nAZ=300\r\n");
        QTRY_COMPARE(text("headingLabel"), QStringLiteral("300"));
        clickMap(QPoint(203, 102));
        for (const char* b : {"panelSwitchButton1", "panelSwitchButton3", "switchButton6"})
            click(b);
        QTest::mouseMove(w("statusLabel"));
        compareGolden(grabTab(0), "running-map");
        // The marks' colours exactly: heading 300, command 100, offset line at 90.
        const QImage map = w("mapView")->grab().toImage();
        QCOMPARE(map.pixelColor(2 + 65, 2 + 80), QColor(0, 0, 255));
        QCOMPARE(map.pixelColor(2 + 139, 2 + 107), QColor(0, 192, 0));
        QCOMPARE(map.pixelColor(2 + 185, 2 + 100), QColor(255, 192, 128));
        // A pressed button is drawn sunken.
        QTest::mousePress(w("stopButton"), Qt::LeftButton);
        compareGolden(w("stopButton")->grab().toImage().convertToFormat(QImage::Format_RGB32),
                      "pressed-button");
        QTest::mouseRelease(w("stopButton"), Qt::LeftButton);
        compareGolden(grabTab(1), "running-settings");
        m_window.reset();
        QVERIFY(QFile::remove("world1.bmp"));
        QVERIFY(start("3,9600,N,8,1:0-0/0"));
        click("ccwButton");
        compareGolden(grabTab(0), "placeholder-map");
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
