#include "map/mapgeometry.h"

#include <QTest>
#include <cmath>

namespace {

// A 200 x 200 pixel map in a 2-pixel frame: outer rectangle 204 x 204 at (10, 20),
// so the centre pixel is (112, 122) on the screen.
constexpr int kLeft = 10, kTop = 20, kRight = 214, kBottom = 224;
constexpr int kCx = kLeft + 102, kCy = kTop + 102;

} // namespace

class TestMapGeometry : public QObject {
    Q_OBJECT
private slots:
    void vectorAngleQuadrants_data();
    void vectorAngleQuadrants();
    void clickDegreesOnAxes_data();
    void clickDegreesOnAxes();
    void clickTarget_data();
    void clickTarget();
    void lineEndPoints_data();
    void lineEndPoints();
};

void TestMapGeometry::vectorAngleQuadrants_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("expected");
    const double p = M_PI;
    const double t = std::atan(0.5); // |y| / |x| = 1 / 2 in every quadrant below
    QTest::newRow("zero") << 0.0 << 0.0 << 0.0;
    QTest::newRow("+x axis") << 3.0 << 0.0 << 0.0;
    QTest::newRow("+y axis") << 0.0 << 3.0 << p / 2;
    QTest::newRow("-x axis") << -3.0 << 0.0 << p;
    QTest::newRow("-y axis") << 0.0 << -3.0 << 3 * p / 2;
    QTest::newRow("first quadrant") << 4.0 << 2.0 << t;
    QTest::newRow("second quadrant") << -4.0 << 2.0 << p - t;
    QTest::newRow("third quadrant") << -4.0 << -2.0 << p + t;
    QTest::newRow("fourth quadrant") << 4.0 << -2.0 << 2 * p - t;
}

void TestMapGeometry::vectorAngleQuadrants() {
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, expected);
    const double xs = x, ys = y;
    const double a = Module1::vectorAngle(x, y);
    QVERIFY2(std::fabs(a - expected) < 1e-12, qPrintable(QString::number(a, 'g', 17)));
    QVERIFY(a >= 0 && a < 2 * M_PI);
    QCOMPARE(x, xs);
    QCOMPARE(y, ys);
    QCOMPARE(Module1::piValue(), M_PI);
}

void TestMapGeometry::clickDegreesOnAxes_data() {
    QTest::addColumn<int>("px");
    QTest::addColumn<int>("py");
    QTest::addColumn<double>("degrees");
    // The 3.14 factor shows in the fractions: pi would give 0, 90, 180 exactly.
    QTest::newRow("above") << kCx << kCy - 60 << 0.0456;
    QTest::newRow("right") << kCx + 60 << kCy << 90.0913;
    QTest::newRow("below") << kCx << kCy + 60 << 180.1369;
    QTest::newRow("left") << kCx - 60 << kCy << -90.0;
    QTest::newRow("centre pixel") << kCx << kCy << -90.0;
}

void TestMapGeometry::clickDegreesOnAxes() {
    QFETCH(int, px);
    QFETCH(int, py);
    QFETCH(double, degrees);
    const auto d = clickDegrees(px, py, kLeft, kTop, kRight, kBottom);
    QVERIFY(d.has_value());
    QVERIFY2(std::fabs(*d - degrees) < 1e-4, qPrintable(QString::number(*d, 'f', 6)));
}

void TestMapGeometry::clickTarget_data() {
    QTest::addColumn<int>("px");
    QTest::addColumn<int>("py");
    QTest::addColumn<int>("right");
    QTest::addColumn<QString>("offset");
    QTest::addColumn<bool>("formed");
    QTest::addColumn<int>("target");

    auto row = [](const char* name, int dx, int dy, const QString& offset, int target,
                  int right = kRight) {
        // dx, dy: the click relative to the centre pixel, screen directions.
        QTest::newRow(name) << kCx + dx << kCy + dy << right << offset << true << target;
    };
    auto none = [](const char* name, int px, int py, const QString& offset) {
        QTest::newRow(name) << px << py << kRight << offset << false << 0;
    };

    row("above", 0, -60, "0", 0);
    row("right", 60, 0, "0", 90);
    row("below", 0, 60, "0", 180);
    row("left", -60, 0, "0", 270);
    row("upper right", 50, -50, "0", 45);
    row("lower right", 50, 50, "0", 135);
    row("lower left", -50, 50, "0", 225);
    row("upper left", -50, -50, "0", 315);
    row("centre pixel", 0, 0, "0", 270);
    row("just below left axis", -100, 1, "0", 270);
    row("empty offset", 0, -60, "", 0);
    row("offset without number", 60, 0, "abc", 90);
    row("offset 10 above", 0, -60, "10", 10);
    row("offset -10 above wraps once", 0, -60, "-10", 350);
    row("offset 100 at azimuth 265: no wrap above 360", -100, 9, "100", 365);
    row("offset 100 at azimuth 300", -100, -58, "100", 40);
    row("offset -300 left stays negative", -100, 0, "-300", -30);
    row("offset 0.5 above rounds to even 0", 0, -60, "0.5", 0);
    row("offset 0.5 at D 1 rounds to 2", 2, -100, "0.5", 2);
    row("offset 1.5 above", 0, -60, "1.5", 2);
    row("offset 2.5 above", 0, -60, "2.5", 2);
    row("offset up to 16-bit maximum", 60, 0, "32677", 32767);
    row("offset to 16-bit minimum then wrapped", 0, -60, "-32768", -32408);
    // Odd widths: half of 203 rounds up to 102, half of 205 down to 102 (even).
    row("odd width 203 centre column", 0, -60, "0", 0, kLeft + 203);
    row("odd width 205 centre column", 0, -60, "0", 0, kLeft + 205);

    none("offset 40000", kCx, kCy - 60, "40000");
    none("offset -40000", kCx, kCy - 60, "-40000");
    none("sum one past 16 bits", kCx + 60, kCy, "32678");
    none("sum one below 16 bits", kCx - 60, kCy, "-32679");
    none("pointer 16-bit overflow", kLeft + 40000, kCy, "0");
    none("pointer far left of map", kLeft - 40000, kCy, "0");
}

void TestMapGeometry::clickTarget() {
    QFETCH(int, px);
    QFETCH(int, py);
    QFETCH(int, right);
    QFETCH(QString, offset);
    QFETCH(bool, formed);
    QFETCH(int, target);
    const auto t = ::clickTarget(px, py, kLeft, kTop, right, kBottom, offset);
    QCOMPARE(t.has_value(), formed);
    if (formed)
        QCOMPARE(int(*t), target);
}

void TestMapGeometry::lineEndPoints_data() {
    QTest::addColumn<float>("cx");
    QTest::addColumn<float>("cy");
    QTest::addColumn<double>("azimuth");
    QTest::addColumn<float>("length");
    QTest::addColumn<QPointF>("expected");
    // Design-time picture: centre 1500, 1500; heading line 0.8 x 1500.
    QTest::newRow("0 up") << 1500.f << 1500.f << 0.0 << 1200.f << QPointF(1500, 300);
    QTest::newRow("90 right") << 1500.f << 1500.f << 90.0 << 1200.f << QPointF(2700, 1500);
    QTest::newRow("180 down") << 1500.f << 1500.f << 180.0 << 1200.f << QPointF(1500, 2700);
    QTest::newRow("270 left") << 1500.f << 1500.f << 270.0 << 1200.f << QPointF(300, 1500);
    QTest::newRow("450 as 90") << 1500.f << 1500.f << 450.0 << 1200.f << QPointF(2700, 1500);
    QTest::newRow("-270 as 90") << 1500.f << 1500.f << -270.0 << 1200.f << QPointF(2700, 1500);
    QTest::newRow("45 diagonal") << 1500.f << 1500.f << 45.0 << 1200.f
                                 << QPointF(1500 + 1200 * M_SQRT1_2, 1500 - 1200 * M_SQRT1_2);
    // 4000 x 3000 twips: lengths follow the half width, so 0 leaves the picture.
    QTest::newRow("wide picture 0") << 2000.f << 1500.f << 0.0 << 1600.f << QPointF(2000, -100);
    QTest::newRow("wide picture 90") << 2000.f << 1500.f << 90.0 << 1600.f << QPointF(3600, 1500);
    // Far beyond one turn the angle overflows; it must still give a point on the circle.
    QTest::newRow("huge azimuth") << 1500.f << 1500.f << 1e308 << 1200.f << QPointF();
}

void TestMapGeometry::lineEndPoints() {
    QFETCH(float, cx);
    QFETCH(float, cy);
    QFETCH(double, azimuth);
    QFETCH(float, length);
    QFETCH(QPointF, expected);
    const QPointF p = lineEndPoint(cx, cy, azimuth, length);
    QVERIFY(std::isfinite(p.x()) && std::isfinite(p.y()));
    if (expected.isNull()) {
        QVERIFY(std::fabs(std::hypot(p.x() - cx, p.y() - cy) - length) < 0.01);
        return;
    }
    const QString got = QStringLiteral("(%1, %2)").arg(p.x(), 0, 'f', 6).arg(p.y(), 0, 'f', 6);
    // Single precision: about 1e-4 twips at these magnitudes.
    QVERIFY2(std::fabs(p.x() - expected.x()) < 1e-3, qPrintable(got));
    QVERIFY2(std::fabs(p.y() - expected.y()) < 1e-3, qPrintable(got));
    QCOMPARE(double(float(p.x())), p.x());
    QCOMPARE(double(float(p.y())), p.y());
}

QTEST_GUILESS_MAIN(TestMapGeometry)
#include "tst_mapgeometry.moc"
