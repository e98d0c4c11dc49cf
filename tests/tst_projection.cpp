// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "mapdraw/maprenderer.h"
#include "mapdraw/projection.h"
#include "mapdraw/topojson.h"

#include <QLineF>
#include <QTest>

#include <cmath>
#include <numbers>

using namespace mapdraw;

namespace {
constexpr GeoPoint tokyo{35.68, 139.77}; // its antipode: 35.68 S, 40.23 W
const double rimKm = std::numbers::pi * earthRadiusKm;
using Line = QList<GeoPoint>;
// Rendered once for all the checks on it.
const QImage& tokyoMap() {
    static const auto data = loadMapData(QStringLiteral(AZIVEX_SOURCE_DIR "/data/naturalearth"));
    static const QImage image = data ? renderMap(*data, tokyo, 120) : QImage();
    return image;
}
struct Place {
    GeoPoint station, point;
    double km, bearing; // bearing negative: not defined
};
struct Split {
    Line line;
    int drawnPieces;
    QList<int> coastPieces;
};
} // namespace

Q_DECLARE_METATYPE(Place)
Q_DECLARE_METATYPE(Split)

class TestProjection : public QObject {
    Q_OBJECT
  private slots:
    void projection_data() {
        QTest::addColumn<Place>("c");
        QTest::addRow("station itself") << Place{tokyo, tokyo, 0, -1};
        QTest::addRow("antipode") << Place{tokyo, {-35.68, -40.23}, rimKm, -1};
        QTest::addRow("New York") << Place{tokyo, {40.71, -74.01}, 10850, 25};
        QTest::addRow("near antipode, via pole") << Place{tokyo, {-35, -40.23}, rimKm - 75.6, 0};
        QTest::addRow("across 180") << Place{{0, 179}, {0, -179}, rimKm / 90, 90};
        QTest::addRow("north pole") << Place{{90, 0}, {-60, 10}, rimKm * 150 / 180, -1};
        QTest::addRow("south pole") << Place{{-90, 45}, {12, -179.99}, rimKm * 102 / 180, -1};
    }

    // Distance from the centre goes with distance on earth, direction with the bearing.
    void projection() {
        QFETCH(Place, c);
        const AzimuthalProjection proj(c.station, QPointF(100, 100), 98);
        const QPointF p = proj.project(c.point) - QPointF(100, 100);
        QVERIFY2(std::abs(std::hypot(p.x(), p.y()) / 98 * rimKm - c.km) <= 0.01 * c.km + 1e-6,
                 qPrintable(QStringLiteral("%1, %2").arg(p.x()).arg(p.y())));
        const double seen = std::atan2(p.x(), -p.y()) * 180 / std::numbers::pi;
        QVERIFY(c.bearing < 0 || std::abs(std::remainder(seen - c.bearing, 360)) < 1);
        const auto back = proj.unproject(p + QPointF(100, 100));
        QVERIFY(back && distanceKm(*back, c.point) < 0.01);
        QVERIFY(!proj.unproject(QPointF(170, 170))); // beyond the rim
    }

    // Lines tear at the antipode; edges along 180 or the south pole only close cut polygons.
    void lines_data() {
        QTest::addColumn<Split>("c");
        // clang-format off
        QTest::addRow("through the antipode") << Split{{{-30, -40.23}, {-40, -40.23}}, 2, {2}};
        QTest::addRow("through it twice") << Split{{{-30, -40.23}, {-40, -40.23}, {-40, -38},
            {-30, -38}, {-30, -40.23}, {-40, -40.23}}, 3, {6}};
        QTest::addRow("round it") << Split{{{-35, -42}, {-35, -38}}, 1, {2}};
        QTest::addRow("across 180") << Split{{{71, 179.9}, {71, -180}, {71.1, -179.9}}, 1, {3}};
        QTest::addRow("on 180") << Split{{{65, 179}, {66, 180}, {67, 180}, {68, 179}}, 1, {2, 2}};
        QTest::addRow("-180 to 180") << Split{{{-16.4, 179.9}, {-16.5, -180}, {-16.5, 180},
            {-16.6, 179.8}}, 1, {2, 2}};
        QTest::addRow("pole") << Split{{{-80, 10}, {-89.99, 10}, {-89.99, 30}}, 1, {2}};
        // clang-format on
    }

    void lines() {
        QFETCH(Split, c);
        const AzimuthalProjection proj(tokyo, QPointF(100, 100), 98);
        const QList<QPolygonF> drawn = proj.projectLine(c.line, 2.0);
        QCOMPARE(drawn.size(), c.drawnPieces);
        QCOMPARE(drawn.first().first(), proj.project(c.line.first()));
        for (const QPolygonF& piece : drawn) { // no chord across the picture
            QVERIFY(piece == drawn.first() ||
                    QLineF(QPointF(100, 100), piece.first()).length() > 97);
            for (qsizetype i = 1; i < piece.size(); ++i)
                QVERIFY(QLineF(piece[i - 1], piece[i]).length() <= 2.0);
        }
        QList<int> sizes;
        for (const Line& piece : dropCutEdges(c.line))
            sizes << int(piece.size());
        QCOMPARE(sizes, c.coastPieces);
    }

    void picture_data() {
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<QRgb>("colour");
        // Known land and open sea test the orientation (north up, east right) as well.
        const AzimuthalProjection proj(tokyo, QPointF(60, 60), mapRadiusPx(120));
        QTest::addRow("central Australia") << proj.project({-25, 134}) << colours::land;
        QTest::addRow("Siberia") << proj.project({65, 100}) << colours::land;
        QTest::addRow("Antarctica") << proj.project({-82, 90}) << colours::land;
        QTest::addRow("North Pacific") << proj.project({30, -160}) << colours::sea;
        QTest::addRow("Indian Ocean") << proj.project({-20, 80}) << colours::sea;
        QTest::addRow("corner") << QPointF(119, 0) << colours::outside;
        QTest::addRow("just beyond the rim") << QPointF(17, 103) << colours::outside;
    }

    void picture() {
        QFETCH(QPointF, at);
        QFETCH(QRgb, colour);
        const QRgb pixel = tokyoMap().pixel(at.toPoint());
        for (const int shift : {0, 8, 16}) // each of blue, green and red close enough
            QVERIFY2(std::abs(int(pixel >> shift & 0xff) - int(colour >> shift & 0xff)) <= 8,
                     qPrintable(QString::number(pixel, 16)));
    }

    // Coasts and the compass letters are the dark marks, red well below land and sea.
    void outlines() {
        const auto dark = [](QRect area, int red) {
            int n = 0;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    n += qRed(tokyoMap().pixel(x, y)) < red;
            return n;
        };
        QVERIFY(dark(QRect(30, 30, 60, 60), 130) > 100); // coasts, inside the letters
        QVERIFY(dark(QRect(55, 4, 11, 9), 60) > 3);      // the N at the top
    }
};

QTEST_MAIN(TestProjection)
#include "tst_projection.moc"
