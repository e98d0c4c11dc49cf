#include "maprenderer.h"
#include "projection.h"
#include "topojson.h"

#include <QFile>
#include <QImage>
#include <QLineF>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <numbers>

using namespace mapmaker;

namespace {

constexpr GeoPoint tokyo{35.68, 139.77};
constexpr GeoPoint tokyoAntipode{-35.68, 139.77 - 180.0};
constexpr GeoPoint newYork{40.71, -74.01};
constexpr GeoPoint london{51.51, -0.13};
const double rimKm = std::numbers::pi * earthRadiusKm;

// Angle of a picture point seen from the centre, clockwise from straight up.
double pictureBearing(QPointF centre, QPointF p) {
  const double a = std::atan2(p.x() - centre.x(), centre.y() - p.y()) * 180.0 / std::numbers::pi;
  return a < 0 ? a + 360.0 : a;
}

double angleBetween(double a, double b) {
  const double d = std::fmod(std::abs(a - b), 360.0);
  return std::min(d, 360.0 - d);
}

int colourDistance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b))});
}

}  // namespace

Q_DECLARE_METATYPE(mapmaker::GeoPoint)

class TestProjection : public QObject {
  Q_OBJECT

 private slots:
  void distanceAndBearing_data();
  void distanceAndBearing();
  void projectedPosition_data();
  void projectedPosition();
  void unprojectInvertsProject_data();
  void unprojectInvertsProject();
  void linesTearOnlyAtTheAntipode_data();
  void linesTearOnlyAtTheAntipode();
  void topologyDecoding();
  void cutEdgesAreDropped_data();
  void cutEdgesAreDropped();
  void toolWritesPicture();
  void toolRejectsBadArguments_data();
  void toolRejectsBadArguments();
};

void TestProjection::distanceAndBearing_data() {
  QTest::addColumn<GeoPoint>("from");
  QTest::addColumn<GeoPoint>("to");
  QTest::addColumn<double>("km");
  QTest::addColumn<double>("bearing");  // negative: not defined

  QTest::newRow("station itself") << tokyo << tokyo << 0.0 << -1.0;
  QTest::newRow("antipode") << tokyo << tokyoAntipode << rimKm << -1.0;
  QTest::newRow("Tokyo to New York") << tokyo << newYork << 10850.0 << 25.0;
  QTest::newRow("Tokyo to London") << tokyo << london << 9560.0 << 336.0;
  QTest::newRow("along the equator") << GeoPoint{0, 0} << GeoPoint{0, 90} << rimKm / 2 << 90.0;
  QTest::newRow("to the north pole") << tokyo << GeoPoint{90, 0} << rimKm * (90 - 35.68) / 180
                                     << 0.0;
  QTest::newRow("across the 180th meridian")
      << GeoPoint{0, 179} << GeoPoint{0, -179} << rimKm / 90 << 90.0;
  QTest::newRow("due south") << GeoPoint{10, 20} << GeoPoint{-30, 20} << rimKm * 40 / 180
                             << 180.0;
}

void TestProjection::distanceAndBearing() {
  QFETCH(GeoPoint, from);
  QFETCH(GeoPoint, to);
  QFETCH(double, km);
  QFETCH(double, bearing);
  QVERIFY2(std::abs(distanceKm(from, to) - km) <= std::max(0.01 * km, 1e-6),
           qPrintable(QString::number(distanceKm(from, to))));
  if (bearing >= 0)
    QVERIFY2(angleBetween(bearingDeg(from, to), bearing) < 1.0,
             qPrintable(QString::number(bearingDeg(from, to))));
}

void TestProjection::projectedPosition_data() {
  QTest::addColumn<GeoPoint>("point");
  QTest::addColumn<double>("km");
  QTest::addColumn<double>("bearing");  // negative: not checked

  QTest::newRow("station at the centre") << tokyo << 0.0 << -1.0;
  QTest::newRow("antipode on the rim") << tokyoAntipode << rimKm << -1.0;
  QTest::newRow("New York") << newYork << 10850.0 << 25.0;
  QTest::newRow("London") << london << 9560.0 << 336.0;
  // Just north of the antipode on Tokyo's meridian: reached over the pole.
  QTest::newRow("near the antipode") << GeoPoint{-35.0, -40.23} << rimKm - 75.6 << 0.0;
}

void TestProjection::projectedPosition() {
  QFETCH(GeoPoint, point);
  QFETCH(double, km);
  QFETCH(double, bearing);
  const int size = 200;
  const QPointF centre(size / 2.0, size / 2.0);
  const AzimuthalProjection proj(tokyo, centre, mapRadiusPx(size));
  const QPointF p = proj.project(point);
  const double r = QLineF(centre, p).length();
  const double expectedR = km / rimKm * mapRadiusPx(size);
  QVERIFY2(std::abs(r - expectedR) <= std::max(0.01 * expectedR, 1e-6),
           qPrintable(QStringLiteral("r %1, expected %2").arg(r).arg(expectedR)));
  QVERIFY(r <= mapRadiusPx(size) + 1e-9);
  if (bearing >= 0)
    QVERIFY2(angleBetween(pictureBearing(centre, p), bearing) < 1.0,
             qPrintable(QString::number(pictureBearing(centre, p))));
}

void TestProjection::unprojectInvertsProject_data() {
  QTest::addColumn<GeoPoint>("station");
  QTest::addColumn<GeoPoint>("point");

  const QList<std::pair<const char *, GeoPoint>> stations = {
      {"Tokyo", tokyo}, {"north pole", {90, 0}}, {"south pole", {-90, 45}}, {"dateline", {0, 180}}};
  const QList<std::pair<const char *, GeoPoint>> points = {
      {"New York", newYork},
      {"London", london},
      {"near antipode of Tokyo", {-35.6, -40.3}},
      {"south of the equator", {-60, 10}},
      {"just east of 180", {12, -179.99}},
      {"just west of 180", {-12, 179.99}},
      {"high north", {89.5, 100}}};
  for (const auto &[sname, s] : stations)
    for (const auto &[pname, p] : points)
      QTest::addRow("%s, %s", sname, pname) << s << p;
}

void TestProjection::unprojectInvertsProject() {
  QFETCH(GeoPoint, station);
  QFETCH(GeoPoint, point);
  const QPointF centre(300, 300);
  const AzimuthalProjection proj(station, centre, 298);
  const auto back = proj.unproject(proj.project(point));
  QVERIFY(back.has_value());
  QVERIFY2(distanceKm(*back, point) < 0.01,
           qPrintable(QStringLiteral("%1, %2").arg(back->lat).arg(back->lon)));
  QVERIFY(!proj.unproject(centre + QPointF(211, 211)).has_value());  // beyond the rim
}

void TestProjection::linesTearOnlyAtTheAntipode_data() {
  QTest::addColumn<QList<GeoPoint>>("line");
  QTest::addColumn<int>("pieces");

  // The antipode of Tokyo is at 35.68 S, 40.23 W.
  QTest::newRow("meridian through the antipode")
      << QList<GeoPoint>{{-30, -40.23}, {-40, -40.23}} << 2;
  QTest::newRow("coast crossing the antipode twice")
      << QList<GeoPoint>{{-30, -40.23}, {-40, -40.23}, {-40, -38}, {-30, -38}, {-30, -40.23},
                         {-40, -40.23}}
      << 3;
  QTest::newRow("edge crossing the 180th meridian")
      << QList<GeoPoint>{{60, 179.8}, {60.2, -179.9}, {60.5, -179.5}} << 1;
  QTest::newRow("long edge near the station") << QList<GeoPoint>{{30, 130}, {45, 150}} << 1;
  QTest::newRow("edge around the antipode, not through it")
      << QList<GeoPoint>{{-35, -42}, {-35, -38}} << 1;
}

void TestProjection::linesTearOnlyAtTheAntipode() {
  QFETCH(QList<GeoPoint>, line);
  QFETCH(int, pieces);
  const QPointF centre(100, 100);
  const double radius = mapRadiusPx(200);
  const AzimuthalProjection proj(tokyo, centre, radius);
  const double maxStep = 2.0;
  const QList<QPolygonF> projected = proj.projectLine(line, maxStep);
  QCOMPARE(projected.size(), pieces);
  // No chord across the picture: every drawn step is short.
  for (const QPolygonF &piece : projected)
    for (qsizetype i = 1; i < piece.size(); ++i)
      QVERIFY2(QLineF(piece[i - 1], piece[i]).length() <= maxStep + 1e-9,
               qPrintable(QStringLiteral("step of %1 px")
                              .arg(QLineF(piece[i - 1], piece[i]).length())));
  // Ends of the line stay where the vertices project; tears happen at the rim.
  QVERIFY(QLineF(projected.first().first(), proj.project(line.first())).length() < 1e-9);
  for (qsizetype i = 1; i < projected.size(); ++i) {
    QVERIFY(QLineF(centre, projected[i - 1].last()).length() > radius - 1.0);
    QVERIFY(QLineF(centre, projected[i].first()).length() > radius - 1.0);
  }
}

void TestProjection::topologyDecoding() {
  // Quantized: positions are deltas, then scaled and translated.
  const QByteArray quantized = R"({"type":"Topology",
    "transform":{"scale":[0.5,0.25],"translate":[10,20]},
    "arcs":[[[0,0],[2,0],[0,4]], [[2,4],[-2,-4]], [[0,0],[4,0]]],
    "objects":{
      "shapes":{"type":"GeometryCollection","geometries":[
        {"type":"Polygon","arcs":[[0,1]]},
        {"type":"MultiPolygon","arcs":[[[-2]],[[2],[-1]]]},
        {"type":"LineString","arcs":[2]},
        {"type":"GeometryCollection","geometries":[{"type":"Polygon","arcs":[[1]]}]}]}}})";
  QString error;
  const auto topo = parseTopology(quantized, &error);
  QVERIFY2(topo.has_value(), qPrintable(error));
  QCOMPARE(topo->arcs.size(), 3);
  QCOMPARE(topo->arcs[0].size(), 3);
  QCOMPARE(topo->arcs[0][2].lon, 11.0);
  QCOMPARE(topo->arcs[0][2].lat, 21.0);
  QCOMPARE(topo->arcs[1][1].lon, 10.0);
  QCOMPARE(topo->arcs[1][1].lat, 20.0);

  const auto polygons = topo->polygons(QStringLiteral("shapes"));
  QCOMPARE(polygons.size(), 4);  // Polygon, two from the MultiPolygon, the nested one
  // Arcs 0 and 1 joined: the shared point (11, 21) appears once; closed ring.
  const QList<GeoPoint> ring = polygons[0][0];
  QCOMPARE(ring.size(), 4);
  QCOMPARE(ring[2].lon, 11.0);
  QCOMPARE(ring[3].lon, 10.0);
  QCOMPARE(ring[3].lat, 20.0);
  // -2 (~1) walks arc 1 backwards.
  QCOMPARE(polygons[1][0].first().lon, 10.0);
  QCOMPARE(polygons[1][0].last().lon, 11.0);
  // A polygon with a hole keeps both rings.
  QCOMPARE(polygons[2].size(), 2);
  QCOMPARE(polygons[2][1].first().lat, 21.0);

  // Without a transform the positions are absolute.
  const auto plain = parseTopology(
      R"({"type":"Topology","arcs":[[[1.5,2.5],[3.5,4.5]]],"objects":{}})");
  QVERIFY(plain.has_value());
  QCOMPARE(plain->arcs[0][1].lon, 3.5);
  QCOMPARE(plain->arcs[0][1].lat, 4.5);

  QVERIFY(!parseTopology("{not json").has_value());
  QVERIFY(!parseTopology(R"({"type":"FeatureCollection"})").has_value());
}

void TestProjection::cutEdgesAreDropped_data() {
  QTest::addColumn<QList<GeoPoint>>("line");
  QTest::addColumn<QList<int>>("pieceSizes");

  QTest::newRow("plain coast") << QList<GeoPoint>{{1, 1}, {2, 2}, {3, 1}} << QList<int>{3};
  QTest::newRow("along the 180th meridian")
      << QList<GeoPoint>{{65, 179}, {66, 180}, {67, 180}, {68, 179}} << QList<int>{2, 2};
  QTest::newRow("jump from -180 to 180 on the cut")
      << QList<GeoPoint>{{-16.4, 179.9}, {-16.5, -180}, {-16.5, 180}, {-16.6, 179.8}}
      << QList<int>{2, 2};
  QTest::newRow("crossing the meridian is coast")
      << QList<GeoPoint>{{71, 179.9}, {71, -180}, {71.1, -179.9}} << QList<int>{3};
  QTest::newRow("around the south pole")
      << QList<GeoPoint>{{-80, 10}, {-89.999, 10}, {-89.999, 20}, {-89.999, 30}, {-80, 30}}
      << QList<int>{2, 2};
}

void TestProjection::cutEdgesAreDropped() {
  QFETCH(QList<GeoPoint>, line);
  QFETCH(QList<int>, pieceSizes);
  QList<int> sizes;
  for (const auto &piece : dropCutEdges(line)) sizes.append(int(piece.size()));
  QCOMPARE(sizes, pieceSizes);
}

void TestProjection::toolWritesPicture() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const int size = 120;
  const QString out = dir.filePath(QStringLiteral("world4.bmp"));
  QProcess tool;
  tool.start(QStringLiteral(AZIVEX_MAPMAKER_PATH),
             {QStringLiteral("--lat"), QStringLiteral("35.68"), QStringLiteral("--lon"),
              QStringLiteral("139.77"), QStringLiteral("--size"), QString::number(size),
              QStringLiteral("--out"), out});
  QVERIFY(tool.waitForFinished(120000));
  QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
  QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());

  QFile file(out);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray header = file.read(30);
  QVERIFY(header.startsWith("BM"));
  QCOMPARE(int(quint8(header[28])) | int(quint8(header[29])) << 8, 24);  // bits per pixel

  const QImage image(out);
  QVERIFY(!image.isNull());
  QCOMPARE(image.size(), QSize(size, size));

  for (const QPoint corner : {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1),
                              QPoint(size - 1, size - 1)})
    QCOMPARE(image.pixel(corner), colours::outside);

  // Big land and open sea at known places test the orientation (north up,
  // east right) as well as the colours.
  const AzimuthalProjection proj(tokyo, QPointF(size / 2.0, size / 2.0), mapRadiusPx(size));
  const struct {
    const char *name;
    GeoPoint where;
    QRgb colour;
  } checks[] = {{"central Australia", {-25, 134}, colours::land},
                {"Siberia", {65, 100}, colours::land},
                {"Antarctica", {-82, 90}, colours::land},
                {"North Pacific", {30, -160}, colours::sea},
                {"Indian Ocean", {-20, 80}, colours::sea}};
  for (const auto &c : checks) {
    const QPointF p = proj.project(c.where);
    const QRgb pixel = image.pixel(int(p.x()), int(p.y()));
    QVERIFY2(colourDistance(pixel, c.colour) <= 8,
             qPrintable(QStringLiteral("%1 at (%2, %3) is #%4")
                            .arg(QLatin1String(c.name))
                            .arg(int(p.x()))
                            .arg(int(p.y()))
                            .arg(pixel, 6, 16, QLatin1Char('0'))));
  }

  // Japan is drawn at the centre: not all open sea there.
  int notSea = 0;
  for (int y = size / 2 - 2; y < size / 2 + 2; ++y)
    for (int x = size / 2 - 2; x < size / 2 + 2; ++x)
      if (colourDistance(image.pixel(x, y), colours::sea) > 20) ++notSea;
  QVERIFY(notSea > 0);

  // Just inside the rim is map, just outside is background.
  const double radius = mapRadiusPx(size);
  const double d = std::sqrt(0.5);
  const QPointF c(size / 2.0, size / 2.0);
  const QPointF inside = c + QPointF(d, -d) * (radius - 3.0);
  const QPointF beyond = c + QPointF(-d, d) * (radius + 1.5);
  QVERIFY(colourDistance(image.pixel(inside.toPoint()), colours::outside) > 40);
  QVERIFY(colourDistance(image.pixel(beyond.toPoint()), colours::outside) < 40);
}

void TestProjection::toolRejectsBadArguments_data() {
  QTest::addColumn<QStringList>("args");
  QTest::newRow("no output") << QStringList{"--lat", "1", "--lon", "2"};
  QTest::newRow("no latitude") << QStringList{"--lon", "2", "--out", "OUT"};
  QTest::newRow("latitude beyond the pole") << QStringList{"--lat", "91", "--lon", "2", "--out",
                                                           "OUT"};
  QTest::newRow("longitude not a number") << QStringList{"--lat", "1", "--lon", "east", "--out",
                                                         "OUT"};
  QTest::newRow("size too small") << QStringList{"--lat", "1", "--lon", "2", "--size", "10",
                                                 "--out", "OUT"};
  QTest::newRow("fractional size") << QStringList{"--lat", "1", "--lon", "2", "--size", "99.5",
                                                  "--out", "OUT"};
  QTest::newRow("missing data") << QStringList{"--lat", "1", "--lon", "2", "--data", "NODATA",
                                               "--out", "OUT"};
}

void TestProjection::toolRejectsBadArguments() {
  QFETCH(QStringList, args);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString out = dir.filePath(QStringLiteral("map.bmp"));
  args.replaceInStrings(QStringLiteral("NODATA"), dir.filePath(QStringLiteral("none")));
  args.replaceInStrings(QStringLiteral("OUT"), out);
  QProcess tool;
  tool.start(QStringLiteral(AZIVEX_MAPMAKER_PATH), args);
  QVERIFY(tool.waitForFinished(120000));
  QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
  QVERIFY(tool.exitCode() != 0);
  QVERIFY(!tool.readAllStandardError().isEmpty());
  QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestProjection)
#include "tst_projection.moc"
