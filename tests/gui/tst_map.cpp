#include "formharness.h"
#include "windowtexts.h"
#include "pseudoterminal.h"
#include "ui/controls_widgets.h"

#include <QBuffer>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {
using namespace WindowTexts;
const QColor blue(0, 0, 255);
const QColor green(0, 192, 0);
const QColor orange(255, 192, 128);
const QColor sea(40, 90, 160);

// Counts the pixels of one colour in what the map shows on screen.
int countColour(MapPicture* map, const QColor& colour) {
    const QImage shown = map->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            n += QColor(shown.pixel(x, y)) == colour;
    return n;
}
} // namespace

class TestMap : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Form1::prepareApplication(); }
    void init();
    void cleanup();
    void clickToAim_data();
    void clickToAim();
    void clickWhileDisconnected();
    void marksSurviveRepaintAndClicks();
    void pictureSizes_data();
    void pictureSizes();
    void missingPictures_data();
    void missingPictures();
    void badPictureFilesAreSkipped_data();
    void badPictureFilesAreSkipped();
    void switchPanelPlace_data();
    void switchPanelPlace();
    void tabChangeShowsPortState();

private:
    Form1& form() { return *h->form; }
    void click(int x, int y) { QTest::mouseClick(form().Picture1, Qt::LeftButton, {}, QPoint(x, y)); }
    std::unique_ptr<FormHarness> h;
    std::unique_ptr<PseudoTerminal> pty;
};

void TestMap::init() {
    h = std::make_unique<FormHarness>();
    h->writeStandardPictures();
    h->writeSettings(QStringLiteral("3,9600,N,8,1:0-0/0"));
    pty = std::make_unique<PseudoTerminal>();
    QVERIFY(pty->linkAs(h->dir(), 3));
    h->start();
    QVERIFY(form().MSComm1->PortOpen());
    QCOMPARE(form().Picture1->size(), QSize(204, 204));
}

void TestMap::cleanup() {
    h.reset();
    pty.reset();
}

void TestMap::clickToAim_data() {
    // Points on the 200-pixel map, whose outer rectangle is 204 pixels square with
    // its centre at (102, 102).
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QString>("offset");
    QTest::addColumn<QString>("label5");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("above") << QPoint(102, 10) << "0" << "0" << QByteArray("M000\r\n");
    QTest::newRow("right") << QPoint(194, 102) << "0" << "90" << QByteArray("M090\r\n");
    QTest::newRow("below") << QPoint(102, 194) << "0" << "180" << QByteArray("M180\r\n");
    QTest::newRow("left") << QPoint(10, 102) << "0" << "270" << QByteArray("M270\r\n");
    QTest::newRow("upper right") << QPoint(152, 52) << "0" << "45" << QByteArray("M045\r\n");
    QTest::newRow("lower right") << QPoint(152, 152) << "0" << "135" << QByteArray("M135\r\n");
    QTest::newRow("lower left") << QPoint(52, 152) << "0" << "225" << QByteArray("M225\r\n");
    QTest::newRow("upper left") << QPoint(52, 52) << "0" << "315" << QByteArray("M315\r\n");
    QTest::newRow("centre pixel") << QPoint(102, 102) << "0" << "270" << QByteArray("M270\r\n");
    QTest::newRow("just below left axis") << QPoint(10, 103) << "0" << "270"
                                          << QByteArray("M270\r\n");
    QTest::newRow("offset 10") << QPoint(102, 10) << "10" << "10" << QByteArray("M010\r\n");
    QTest::newRow("offset -10 wraps") << QPoint(102, 10) << "-10" << "350"
                                      << QByteArray("M350\r\n");
    QTest::newRow("offset 100 no wrap above 360")
        << QPoint(10, 110) << "100" << "365" << QByteArray("M365\r\n");
    QTest::newRow("offset 100 upper left") << QPoint(33, 62) << "100" << "40"
                                           << QByteArray("M040\r\n");
    QTest::newRow("offset -300 left") << QPoint(10, 102) << "-300" << "-30"
                                      << QByteArray("M-30\r\n");
    QTest::newRow("offset 0.5 halves to even") << QPoint(102, 10) << "0.5" << "0"
                                               << QByteArray("M000\r\n");
    QTest::newRow("offset text") << QPoint(194, 102) << "abc" << "90" << QByteArray("M090\r\n");
    QTest::newRow("four characters not sent") << QPoint(194, 102) << "1000" << "1090"
                                              << QByteArray();
    QTest::newRow("16-bit overflow ignored") << QPoint(194, 102) << "40000" << "keep"
                                             << QByteArray();
    QTest::newRow("16-bit underflow ignored") << QPoint(194, 102) << "-40000" << "keep"
                                              << QByteArray();
}

void TestMap::clickToAim() {
    QFETCH(QPoint, point);
    QFETCH(QString, offset);
    QFETCH(QString, label5);
    QFETCH(QByteArray, sent);
    Form1& f = form();
    f.Text5->setText(offset);
    f.Label5->setText(QStringLiteral("keep"));
    f.Label1->setText(QStringLiteral("ﾎﾟｰﾄ = True"));
    f.inputLine = QStringLiteral("AZ=1");
    click(point.x(), point.y());
    QCOMPARE(f.Label5->text(), label5);
    if (label5 == QLatin1String("keep")) {
        QCOMPARE(f.inputLine, QStringLiteral("AZ=1"));
    } else {
        QCOMPARE(f.inputLine, QString());
        QCOMPARE(f.Label1->text(), QString());
    }
    // A byte sent afterwards shows that nothing else went out before it.
    f.SSTab1->setCurrentIndex(1);
    f.Text3->setText(QStringLiteral("#"));
    QTest::mouseClick(f.Command9, Qt::LeftButton);
    QTRY_COMPARE(pty->received(), sent + "#\r\n");
}

void TestMap::clickWhileDisconnected() {
    Form1& f = form();
    QTest::mouseClick(f.Command6, Qt::LeftButton);
    f.SSTab1->setCurrentIndex(0);
    click(194, 102);
    QCOMPARE(f.Label5->text(), QStringLiteral("90"));
    QCOMPARE(f.Label1->text(), QStringLiteral("ﾎﾟｰﾄ = False"));
    QCOMPARE(f.Command6->text(), QStringLiteral("接続"));
    QVERIFY(countColour(f.Picture1, green) > 0);
    // The step buttons go on from the clicked target once connected.
    QTest::mouseClick(f.Command6, Qt::LeftButton);
    QTest::mouseClick(f.Command4, Qt::LeftButton);
    QTRY_COMPARE(pty->received(), QByteArray("M100\r\n"));
}

void TestMap::marksSurviveRepaintAndClicks() {
    Form1& f = form();
    // Nothing is drawn before the first azimuth arrives.
    QCOMPARE(countColour(f.Picture1, blue), 0);
    f.inputLine.clear();
    QVERIFY(pty->write("AZ=090\r\n"));
    QTRY_COMPARE(f.Label4->text(), QStringLiteral("90"));
    const int heading = countColour(f.Picture1, blue);
    QVERIFY(heading > 0);
    f.Picture1->repaint();
    QCOMPARE(countColour(f.Picture1, blue), heading);
    // A rotation command moves the command line at once.
    QCOMPARE(countColour(f.Picture1, green), 0);
    QTest::mouseClick(f.Command1, Qt::LeftButton);
    QVERIFY(countColour(f.Picture1, green) > 0);
    // A click keeps the heading and shows only the new command line.
    click(102, 194);
    const int firstCommand = countColour(f.Picture1, green);
    QVERIFY(firstCommand > 0);
    QVERIFY(countColour(f.Picture1, blue) > 0);
    click(10, 102);
    QCOMPARE(countColour(f.Picture1, green), firstCommand);
    // With an offset, the offset line appears and the centre mark turns orange.
    f.Text5->setText(QStringLiteral("10"));
    click(102, 10);
    QVERIFY(countColour(f.Picture1, orange) > 0);
    // A picture change keeps every mark.
    f.Option1[1]->setChecked(true);
    QCOMPARE(f.Picture1->size(), QSize(304, 304));
    QVERIFY(countColour(f.Picture1, blue) > 0);
    QVERIFY(countColour(f.Picture1, green) > 0);
    QVERIFY(countColour(f.Picture1, orange) > 0);
}

void TestMap::pictureSizes_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("penWidth");
    QTest::newRow("world1 200") << 0 << 200 << 3;
    QTest::newRow("world2 300") << 1 << 300 << 4;
    QTest::newRow("world3 450") << 2 << 450 << 5;
    QTest::newRow("world4 201") << 3 << 201 << 4;
    QTest::newRow("world5 333") << 4 << 333 << 4;
    QTest::newRow("world5 334") << 4 << 334 << 5;
}

void TestMap::pictureSizes() {
    QFETCH(int, index);
    QFETCH(int, pixels);
    Form1& f = form();
    h->writePicture(index, pixels, pixels);
    if (index == 0)
        f.Option1[1]->setChecked(true); // so that choosing picture 1 is a change
    f.Option1[static_cast<std::size_t>(index)]->setChecked(true);
    const int H = pixels * 15;
    const int W = pixels * 15 + 60;
    QCOMPARE(f.windowHeightTwips(), H + 2195);
    QCOMPARE(f.windowWidthTwips(), W + 400);
    QCOMPARE(f.tabHeightTwips(), H + 1235);
    QCOMPARE(f.tabWidthTwips(), W + 160);
    QCOMPARE(f.command6LeftTwips(), W - 350);
    QTEST(int(f.headingLineWidth), "penWidth");
    QCOMPARE(f.size(), QSize((W + 400 + 7) / 15 - 8, (H + 2195 + 7) / 15 - 31));
    QCOMPARE(h->dataLine(), QStringLiteral("3,9600,N,8,1:0-%1/0").arg(index));
    QCOMPARE(f.Label1->text(), QStringLiteral("環境ファイルに登録完了"));
}

void TestMap::missingPictures_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("shownSize");
    QTest::addColumn<QString>("stored");
    const QString head = QStringLiteral("画像ファイルが有りませんので変更できませんでした。\r\n\r\n");
    const QString standard = QStringLiteral("バージョンアップで取り込むことができます。");
    const QString user =
        QStringLiteral("ユーザ作成ファイルに変更する場合はファイルを作成してください。");
    QTest::newRow("world2") << 1 << "「world2.bmp」" + head + standard << 1 << 200 << "1";
    QTest::newRow("world3") << 2 << "「world3.bmp」" + head + standard << 2 << 200 << "2";
    QTest::newRow("world4") << 3 << "「world4.bmp」" + head + user << 0 << 200 << "0";
    QTest::newRow("world5") << 4 << "「world5.bmp」" + head + user << 0 << 200 << "0";
    QTest::newRow("world1 keeps previous") << 0 << "「world1.bmp」" + head + standard << 0 << 300
                                           << "0";
}

void TestMap::missingPictures() {
    QFETCH(int, index);
    QFETCH(int, selected);
    QFETCH(int, shownSize);
    Form1& f = form();
    // Start from another picture: 450 pixels before picture 2, else 300.
    f.Option1[index == 1 ? 2 : 1]->setChecked(true);
    h->messages.clear();
    QFile::remove(h->path(QStringLiteral("world%1.bmp").arg(index + 1)));
    f.Option1[static_cast<std::size_t>(index)]->setChecked(true);
    QCOMPARE(h->messages.size(), 1);
    QCOMPARE(h->messages[0].title, QStringLiteral("AZIVEX"));
    QTEST(h->messages[0].text, "message");
    QVERIFY(f.Option1[static_cast<std::size_t>(selected)]->isChecked());
    QCOMPARE(f.Picture1->size(), QSize(shownSize + 4, shownSize + 4));
    QCOMPARE(f.windowHeightTwips(), shownSize * 15 + 2195);
    QTEST(f.pictureNo, "stored");
    QTEST(h->dataLine().section(u'-', -1).left(1), "stored");
}

void TestMap::badPictureFilesAreSkipped_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("not a bitmap") << QByteArray("this is not a picture\n");
    QByteArray bmp;
    {
        QImage img(300, 300, QImage::Format_RGB32);
        img.fill(Qt::red);
        QBuffer buffer(&bmp);
        buffer.open(QIODevice::WriteOnly);
        img.save(&buffer, "BMP");
    }
    QTest::newRow("truncated") << bmp.left(bmp.size() / 3);
    // A header that claims 50,000 x 50,000 pixels.
    QByteArray huge = bmp.left(54);
    const qint32 side = 50000;
    memcpy(huge.data() + 18, &side, 4);
    memcpy(huge.data() + 22, &side, 4);
    QTest::newRow("huge header") << huge;
}

void TestMap::badPictureFilesAreSkipped() {
    QFETCH(QByteArray, contents);
    Form1& f = form();
    h->writeFile(QStringLiteral("world2.bmp"), contents);
    h->messages.clear();
    f.Option1[1]->setChecked(true);
    // A present file that cannot be loaded leaves the picture shown before.
    QVERIFY(h->messages.isEmpty());
    QCOMPARE(f.Picture1->size(), QSize(204, 204));
    QCOMPARE(f.windowHeightTwips(), 3000 + 2195);
    QCOMPARE(f.pictureNo, QStringLiteral("1"));
}

void TestMap::switchPanelPlace_data() {
    QTest::addColumn<int>("picture");
    QTest::addColumn<int>("pixels");
    QTest::newRow("200") << 0 << 200;
    QTest::newRow("450") << 2 << 450;
}

void TestMap::switchPanelPlace() {
    QFETCH(int, picture);
    QFETCH(int, pixels);
    Form1& f = form();
    f.Option1[static_cast<std::size_t>(picture)]->setChecked(true);
    const int P = pixels * 15 + 60;
    f.SSTab1->setCurrentIndex(1);
    QTest::mouseClick(f.Check1, Qt::LeftButton);
    QVERIFY(f.Check1->isChecked());
    QCOMPARE(f.windowHeightTwips(), P + 3000);
    QCOMPARE(f.tabHeightTwips(), P + 1950);
    QCOMPARE(f.frame4TopTwips(), P + 1110);
    QCOMPARE(f.Frame4->y(), (P + 1110 + 7) / 15);
    QVERIFY(!f.Frame4->isHidden());
    QVERIFY(h->dataLine().endsWith(QStringLiteral("/1")));
    QTest::mouseClick(f.Check1, Qt::LeftButton);
    QVERIFY(f.Frame4->isHidden());
    QCOMPARE(f.windowHeightTwips(), P - 60 + 2195);
    QCOMPARE(f.tabHeightTwips(), P - 60 + 1235);
    QVERIFY(h->dataLine().endsWith(QStringLiteral("/0")));
    QCOMPARE(h->dataLine().section(u'-', -1).left(1), QString::number(picture));
}

void TestMap::tabChangeShowsPortState() {
    Form1& f = form();
    f.SSTab1->setCurrentIndex(1);
    QTest::mouseClick(f.Command8, Qt::LeftButton);
    QCOMPARE(f.Label1->text(), QStringLiteral("環境ファイルに登録完了"));
    f.SSTab1->setCurrentIndex(0);
    QCOMPARE(f.Label1->text(), QStringLiteral("ﾎﾟｰﾄ = True"));
    f.Label1->setText(QString());
    f.SSTab1->setCurrentIndex(1);
    QCOMPARE(f.Label1->text(), QStringLiteral("ﾎﾟｰﾄ = True"));
}

QTEST_MAIN(TestMap)
#include "tst_map.moc"
