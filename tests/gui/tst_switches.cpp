#include "formharness.h"
#include "windowtexts.h"
#include "pseudoterminal.h"
#include "ui/controls_widgets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {
using namespace WindowTexts;
const QColor pink(255, 192, 255);

QColor back(QPushButton* b) { return b->palette().color(QPalette::Button); }
QColor face() { return QPalette().color(QPalette::Button); }

// Caption and colour of all sixteen switch buttons, to see what a click changed.
QStringList snapshot(const Form1& f) {
    QStringList s;
    for (int n = 1; n <= 8; ++n)
        for (QPushButton* b : {f.primarySwitchButton(n), f.panelSwitchButton(n)})
            s << b->text() + u'@' + back(b).name();
    return s;
}
} // namespace

class TestSwitches : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Form1::prepareApplication(); }
    void init();
    void cleanup();
    void toggle_data();
    void toggle();
    void panelShowsStateSetOnSettingsTab();
    void closedPortStillKeepsTwinsTogether();
    void restartShowsAllOff();

private:
    std::unique_ptr<FormHarness> h;
    std::unique_ptr<PseudoTerminal> pty;
};

void TestSwitches::init() {
    h = std::make_unique<FormHarness>();
    h->writeStandardPictures();
    h->writeSettings(QStringLiteral("3,9600,N,8,1:0-0/1"));
    pty = std::make_unique<PseudoTerminal>();
    QVERIFY(pty->linkAs(h->dir(), 3));
    h->start();
    QVERIFY(h->form->MSComm1->PortOpen());
}

void TestSwitches::cleanup() {
    h.reset();
    pty.reset();
}

void TestSwitches::toggle_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<bool>("fromPanel");
    for (int n = 1; n <= 8; ++n) {
        QTest::addRow("switch %d, settings tab", n) << n << false;
        QTest::addRow("switch %d, panel", n) << n << true;
    }
}

void TestSwitches::toggle() {
    QFETCH(int, n);
    QFETCH(bool, fromPanel);
    Form1& f = *h->form;
    QPushButton* primary = f.primarySwitchButton(n);
    QPushButton* twin = f.panelSwitchButton(n);
    QPushButton* clicked = fromPanel ? twin : primary;
    f.SSTab1->setCurrentIndex(fromPanel ? 0 : 1);
    const QStringList before = snapshot(f);

    QTest::mouseClick(clicked, Qt::LeftButton);
    QTRY_COMPARE(pty->received(), (QStringLiteral("Y%1").arg(n) + QStringLiteral("1\r\n")).toLatin1());
    for (QPushButton* b : {primary, twin}) {
        QCOMPARE(b->text(), QStringLiteral("ON"));
        QCOMPARE(back(b), pink);
    }
    // Only the two buttons of this switch changed.
    const QStringList after = snapshot(f);
    for (int i = 0; i < before.size(); ++i)
        if (i / 2 != n - 1)
            QCOMPARE(after[i], before[i]);

    // Off again from the other button.
    pty->clearReceived();
    QPushButton* other = fromPanel ? primary : twin;
    f.SSTab1->setCurrentIndex(fromPanel ? 1 : 0);
    QTest::mouseClick(other, Qt::LeftButton);
    QTRY_COMPARE(pty->received(), (QStringLiteral("Y%1").arg(n) + QStringLiteral("0\r\n")).toLatin1());
    for (QPushButton* b : {primary, twin}) {
        QCOMPARE(b->text(), QStringLiteral("SW%1").arg(n));
        QCOMPARE(back(b), face());
    }
    QCOMPARE(snapshot(f), before);
}

void TestSwitches::panelShowsStateSetOnSettingsTab() {
    Form1& f = *h->form;
    f.SSTab1->setCurrentIndex(1);
    QTest::mouseClick(f.Check1, Qt::LeftButton); // hide the panel
    QVERIFY(f.Frame4->isHidden());
    QTest::mouseClick(f.Command11, Qt::LeftButton);
    QTest::mouseClick(f.Check1, Qt::LeftButton); // show it again
    f.SSTab1->setCurrentIndex(0);
    QVERIFY(f.Frame4->isVisible());
    QCOMPARE(f.Command15->text(), QStringLiteral("ON"));
    QCOMPARE(back(f.Command15), pink);
}

void TestSwitches::closedPortStillKeepsTwinsTogether() {
    Form1& f = *h->form;
    QTest::mouseClick(f.Command6, Qt::LeftButton);
    QTest::mouseClick(f.Command13, Qt::LeftButton);
    QCOMPARE(f.Command7->text(), QStringLiteral("ON"));
    QCOMPARE(f.Command13->text(), QStringLiteral("ON"));
    QCOMPARE(back(f.Command13), pink);
    QCOMPARE(f.Label1->text(), QStringLiteral("ﾎﾟｰﾄ = False"));
    QCOMPARE(f.Command6->text(), QStringLiteral("接続"));
}

void TestSwitches::restartShowsAllOff() {
    h->form->SSTab1->setCurrentIndex(1);
    QTest::mouseClick(h->form->Command7, Qt::LeftButton);
    h->form->SSTab1->setCurrentIndex(0);
    QTest::mouseClick(h->form->Command24, Qt::LeftButton);
    QCOMPARE(h->form->Command24->text(), QStringLiteral("ON"));
    h->form.reset();
    Form1& f = h->start();
    for (int n = 1; n <= 8; ++n) {
        QCOMPARE(f.primarySwitchButton(n)->text(), QStringLiteral("SW%1").arg(n));
        QCOMPARE(f.panelSwitchButton(n)->text(), QStringLiteral("SW%1").arg(n));
        QCOMPARE(back(f.primarySwitchButton(n)), face());
    }
}

QTEST_MAIN(TestSwitches)
#include "tst_switches.moc"
