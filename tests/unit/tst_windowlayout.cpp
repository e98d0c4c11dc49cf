#include "ui/windowlayout.h"

#include <QTest>

class TestWindowLayout : public QObject {
    Q_OBJECT
private slots:
    void pictureSizes_data();
    void pictureSizes();
    void penWidthBoundaries_data();
    void penWidthBoundaries();
};

void TestWindowLayout::pictureSizes_data() {
    QTest::addColumn<int>("pixels"); // a square picture, pixels on each side
    QTest::addColumn<int>("windowHeight");
    QTest::addColumn<int>("windowWidth");
    QTest::addColumn<int>("tabHeight");
    QTest::addColumn<int>("tabWidth");
    QTest::addColumn<int>("command6Left");
    QTest::addColumn<int>("penWidth");
    QTest::addColumn<int>("panelWindowHeight");
    QTest::addColumn<int>("panelTabHeight");
    QTest::addColumn<int>("panelTop");
    QTest::newRow("200 px") << 200 << 5195 << 3460 << 4235 << 3220 << 2710 << 3 << 6060 << 5010
                            << 4170;
    QTest::newRow("201 px") << 201 << 5210 << 3475 << 4250 << 3235 << 2725 << 4 << 6075 << 5025
                            << 4185;
    QTest::newRow("333 px") << 333 << 7190 << 5455 << 6230 << 5215 << 4705 << 4 << 8055 << 7005
                            << 6165;
    QTest::newRow("334 px") << 334 << 7205 << 5470 << 6245 << 5230 << 4720 << 5 << 8070 << 7020
                            << 6180;
}

void TestWindowLayout::pictureSizes() {
    QFETCH(int, pixels);
    QFETCH(int, windowHeight);
    QFETCH(int, windowWidth);
    QFETCH(int, tabHeight);
    QFETCH(int, tabWidth);
    QFETCH(int, command6Left);
    QFETCH(int, penWidth);
    QFETCH(int, panelWindowHeight);
    QFETCH(int, panelTabHeight);
    QFETCH(int, panelTop);

    // Inner height in twips; the frame adds 60 twips to the outer size.
    const int innerHeight = pixels * 15;
    const int outerWidth = pixels * 15 + 60;
    const int outerHeight = innerHeight + 60;

    const WindowLayout l = WindowLayout::forPicture(innerHeight, outerWidth);
    QCOMPARE(l.windowHeight, windowHeight);
    QCOMPARE(l.windowWidth, windowWidth);
    QCOMPARE(l.tabHeight, tabHeight);
    QCOMPARE(l.tabWidth, tabWidth);
    QCOMPARE(l.command6Left, command6Left);
    QCOMPARE(l.headingLineWidth, penWidth);
    QCOMPARE(l.panelVisible, false);

    const WindowLayout p = l.withPanel(outerHeight);
    QCOMPARE(p.windowHeight, panelWindowHeight);
    QCOMPARE(p.tabHeight, panelTabHeight);
    QCOMPARE(p.panelTop, panelTop);
    QCOMPARE(p.panelVisible, true);
    // The panel only adds height.
    QCOMPARE(p.windowWidth, windowWidth);
    QCOMPARE(p.tabWidth, tabWidth);
    QCOMPARE(p.command6Left, command6Left);
    QCOMPARE(p.headingLineWidth, penWidth);
}

void TestWindowLayout::penWidthBoundaries_data() {
    QTest::addColumn<int>("innerHeight");
    QTest::addColumn<int>("penWidth");
    QTest::newRow("3000") << 3000 << 3;
    QTest::newRow("3001") << 3001 << 4;
    QTest::newRow("3015") << 3015 << 4;
    QTest::newRow("4999") << 4999 << 4;
    QTest::newRow("5000") << 5000 << 5;
    QTest::newRow("tiny") << 15 << 3;
}

void TestWindowLayout::penWidthBoundaries() {
    QFETCH(int, innerHeight);
    QFETCH(int, penWidth);
    QCOMPARE(WindowLayout::headingLineWidthFor(innerHeight), penWidth);
    QCOMPARE(WindowLayout::forPicture(innerHeight, 3060).headingLineWidth, penWidth);
}

QTEST_GUILESS_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"
