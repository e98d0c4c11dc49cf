#include "map/overlaypainter.h"

#include <QTest>
#include <cmath>

namespace {

const QColor kGround(200, 200, 200); // a plain grey map: none of the overlay colours

QImage groundImage(int w, int h, QImage::Format format = QImage::Format_RGB32) {
    QImage img(w, h, format);
    img.fill(kGround);
    return img;
}

QColor pixelAt(const QImage& img, QPointF p) {
    return img.pixelColor(int(std::floor(p.x())), int(std::floor(p.y())));
}

// Point at distance r pixels from the image centre towards azimuth a.
QPointF along(const QImage& img, double a, double r) {
    const double rad = a * M_PI / 180;
    return QPointF(img.width() / 2.0 + r * std::sin(rad), img.height() / 2.0 - r * std::cos(rad));
}

bool inside(const QImage& img, QPointF p) {
    return p.x() >= 0 && p.y() >= 0 && p.x() < img.width() && p.y() < img.height();
}

int countColour(const QImage& img, const QColor& c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixelColor(x, y) == c;
    return n;
}

// The line of colour c towards azimuth a, length fraction f of the half width: its
// colour from clear of the centre to just short of its end, and not beyond its end.
void verifyRay(const QImage& img, double a, double f, const QColor& c, const char* what) {
    const double length = f * img.width() / 2.0;
    for (double r = 30; r <= length - 4; r += 1) {
        const QPointF p = along(img, a, r);
        if (!inside(img, p))
            break;
        QVERIFY2(pixelAt(img, p) == c,
                 qPrintable(QStringLiteral("%1 missing at r=%2").arg(what).arg(r)));
    }
    for (double r = length + 5; r < length + 40; r += 1) {
        const QPointF p = along(img, a, r);
        if (!inside(img, p))
            break;
        QVERIFY2(pixelAt(img, p) != c,
                 qPrintable(QStringLiteral("%1 too long at r=%2").arg(what).arg(r)));
    }
}

// Run of pixels of colour c through the point (x, y), across the line.
int thicknessAcross(const QImage& img, int x, int y, bool horizontalLine, const QColor& c) {
    int n = 0;
    if (horizontalLine) {
        for (int yy = 0; yy < img.height(); ++yy)
            n += img.pixelColor(x, yy) == c;
    } else {
        for (int xx = 0; xx < img.width(); ++xx)
            n += img.pixelColor(xx, y) == c;
    }
    return n;
}

} // namespace

class TestOverlayPainter : public QObject {
    Q_OBJECT
private slots:
    void marks_data();
    void marks();
    void penWidths_data();
    void penWidths();
    void withoutHeading();
    void keepsBitmapAndSize();
};

void TestOverlayPainter::marks_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("offset");
    QTest::addColumn<double>("headingAz");
    QTest::addColumn<double>("commandAz"); // NaN: no command line expected
    QTest::addColumn<double>("offsetAz");  // NaN: no offset line expected
    QTest::addColumn<QColor>("centre");

    const double none = std::nan("");
    const QColor blue = OverlayPainter::headingColor;
    const QColor green = OverlayPainter::commandColor;
    const QColor orange = OverlayPainter::offsetColor;
    const QSize sq(200, 200);
    // Nothing below points at 315: the centre mark is sampled on that side.
    QTest::newRow("heading only") << sq << "090" << "" << "10" << 90.0 << none << none << blue;
    QTest::newRow("heading text without number points up")
        << sq << "abc" << "" << "" << 0.0 << none << none << blue;
    QTest::newRow("heading 450 as 90") << sq << "450" << "" << "" << 90.0 << none << none << blue;
    QTest::newRow("command 180 offset 10")
        << sq << "090" << "180" << "10" << 90.0 << 180.0 << 170.0 << orange;
    QTest::newRow("negative offset") << sq << "000" << "180" << "-45" << 0.0 << 180.0 << 225.0
                                     << orange;
    QTest::newRow("offset empty") << sq << "090" << "180" << "" << 90.0 << 180.0 << none << green;
    QTest::newRow("offset 0") << sq << "090" << "180" << "0" << 90.0 << 180.0 << none << green;
    QTest::newRow("offset abc") << sq << "090" << "180" << "abc" << 90.0 << 180.0 << none
                                << green;
    QTest::newRow("command text without number points up")
        << sq << "090" << "xyz" << "" << 90.0 << 0.0 << none << green;
    // Wider than high: lengths follow the half width (150 px), so heading 90 reaches
    // 120 px, beyond the 100 px half height; heading 0 is clipped at the top.
    QTest::newRow("wide picture") << QSize(300, 200) << "090" << "270" << "" << 90.0 << 270.0
                                  << none << green;
    QTest::newRow("wide picture clipped") << QSize(300, 200) << "000" << "" << "" << 0.0 << none
                                          << none << blue;
}

void TestOverlayPainter::marks() {
    QFETCH(QSize, size);
    QFETCH(QString, heading);
    QFETCH(QString, command);
    QFETCH(QString, offset);
    QFETCH(double, headingAz);
    QFETCH(double, commandAz);
    QFETCH(double, offsetAz);
    QFETCH(QColor, centre);

    const OverlayState state{heading, command, offset, 3};
    const QImage img = OverlayPainter::paint(groundImage(size.width(), size.height()), state);
    QCOMPARE(OverlayPainter::centreMarkColor(state), centre);

    verifyRay(img, headingAz, 0.8, OverlayPainter::headingColor, "heading");
    if (std::isnan(commandAz))
        QCOMPARE(countColour(img, OverlayPainter::commandColor), 0);
    else
        verifyRay(img, commandAz, 0.86, OverlayPainter::commandColor, "command");
    if (std::isnan(offsetAz))
        QCOMPARE(countColour(img, OverlayPainter::offsetColor), 0);
    else
        verifyRay(img, offsetAz, 0.9, OverlayPainter::offsetColor, "offset");

    // The centre mark: a ring of radius 50 twips (3.3 px) around the centre, drawn
    // with the heading pen, so it reaches about 5.8 px out.
    QCOMPARE(pixelAt(img, along(img, 315, 5)), centre);
    QCOMPARE(pixelAt(img, along(img, 315, 12)), kGround);
}

void TestOverlayPainter::penWidths_data() {
    QTest::addColumn<int>("base");
    QTest::newRow("3") << 3;
    QTest::newRow("4") << 4;
    QTest::newRow("5") << 5;
}

void TestOverlayPainter::penWidths() {
    QFETCH(int, base);
    // Heading right (horizontal), command down (vertical), offset up (vertical).
    const QImage img =
        OverlayPainter::paint(groundImage(200, 200), OverlayState{"90", "180", "180", base});
    QCOMPARE(thicknessAcross(img, 150, 100, true, OverlayPainter::headingColor), base + 2);
    QCOMPARE(thicknessAcross(img, 100, 150, false, OverlayPainter::commandColor), base + 1);
    QCOMPARE(thicknessAcross(img, 100, 50, false, OverlayPainter::offsetColor), base);
}

void TestOverlayPainter::withoutHeading() {
    // Before the first azimuth is drawn: the command and offset lines alone.
    OverlayState state{"90", "180", "10", 3};
    state.showHeading = false;
    const QImage img = OverlayPainter::paint(groundImage(200, 200), state);
    QCOMPARE(countColour(img, OverlayPainter::headingColor), 0);
    verifyRay(img, 180, 0.86, OverlayPainter::commandColor, "command");
    verifyRay(img, 170, 0.9, OverlayPainter::offsetColor, "offset");
    QCOMPARE(pixelAt(img, along(img, 315, 5)), kGround);
}

void TestOverlayPainter::keepsBitmapAndSize() {
    // A bitmap as loaded from a file (24-bit) is painted on a copy of its own size.
    const QImage bitmap = groundImage(120, 80, QImage::Format_RGB888);
    const QImage img = OverlayPainter::paint(bitmap, OverlayState{"90", "180", "10", 3});
    QCOMPARE(img.size(), bitmap.size());
    QVERIFY(countColour(img, OverlayPainter::headingColor) > 0);
    QCOMPARE(countColour(bitmap, OverlayPainter::headingColor), 0);
    QCOMPARE(countColour(bitmap, kGround), 120 * 80);
    QVERIFY(OverlayPainter::paint(QImage(), OverlayState{}).isNull());

    // A changed or another picture must show through, not an earlier one.
    QImage changed = bitmap;
    changed.fill(QColor(10, 20, 30));
    QCOMPARE(OverlayPainter::paint(changed, OverlayState{}).pixelColor(0, 0), QColor(10, 20, 30));
    QCOMPARE(OverlayPainter::paint(bitmap, OverlayState{}).pixelColor(0, 0), kGround);
    QImage indexed(50, 50, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(1, 2, 3)});
    indexed.fill(0);
    QCOMPARE(OverlayPainter::paint(indexed, OverlayState{}).pixelColor(0, 0), QColor(1, 2, 3));
}

QTEST_GUILESS_MAIN(TestOverlayPainter)
#include "tst_overlaypainter.moc"
