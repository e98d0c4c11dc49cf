// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "maprenderer.h"

#include "topojson.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mapdraw {

namespace {

// Land is rasterised once in longitude/latitude and looked up for every
// pixel through the inverse projection. That keeps polygons which wrap round
// the antipode (stretched along the whole rim) correct without clipping them
// on the sphere. 8192 columns are about 5 km at the equator, finer than a
// pixel of any usual picture except in the last few pixels at the rim.
constexpr int maskWidth = 8192;
constexpr int maskHeight = 4096;
constexpr int supersampling = 3; // per axis, for smooth coast and rim edges

std::optional<Topology> readTopology(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QString why;
    auto topology = parseTopology(file.readAll(), &why);
    if (!topology && error)
        *error = QStringLiteral("%1: %2").arg(path, why);
    return topology;
}

qsizetype arcIndex(int ref) {
    return ref < 0 ? ~qsizetype(ref) : ref;
}

void appendLines(const Topology& topology, const QList<qsizetype>& arcs,
                 QList<QList<GeoPoint>>& out) {
    for (qsizetype i : arcs) {
        if (i < topology.arcs.size())
            out.append(dropCutEdges(topology.arcs[i]));
    }
}

// Adds the ring to `path` in mask coordinates (longitude, latitude), with the
// longitudes unwrapped so that it never jumps across the 180th meridian, in as
// many copies 360 degrees apart as needed to cover -180..180. A ring that goes
// once round a pole is closed along that pole.
void addRing(const QList<GeoPoint>& ring, QPainterPath& path) {
    if (ring.size() < 3)
        return;
    QPolygonF poly;
    poly.reserve(ring.size() + 2);
    double lon = ring.first().lon;
    poly.append(QPointF(lon, ring.first().lat));
    double latSum = ring.first().lat;
    for (qsizetype i = 1; i < ring.size(); ++i) {
        double d = ring[i].lon - ring[i - 1].lon;
        if (d > 180.0)
            d -= 360.0;
        if (d < -180.0)
            d += 360.0;
        lon += d;
        poly.append(QPointF(lon, ring[i].lat));
        latSum += ring[i].lat;
    }
    if (std::abs(lon - ring.first().lon) > 180.0) {
        const double pole = latSum >= 0 ? 90.0 : -90.0;
        poly.append(QPointF(lon, pole));
        poly.append(QPointF(ring.first().lon, pole));
    }
    const QRectF bounds = poly.boundingRect();
    for (int k = -2; k <= 2; ++k) {
        const double shift = 360.0 * k;
        if (bounds.right() + shift < -180.0 || bounds.left() + shift > 180.0)
            continue;
        path.addPolygon(poly.translated(shift, 0.0));
        path.closeSubpath();
    }
}

// Land coverage 0..1 of the mask at a point.
double landAt(const QImage& mask, GeoPoint g) {
    int x = int(std::floor((g.lon + 180.0) / 360.0 * maskWidth));
    x = ((x % maskWidth) + maskWidth) % maskWidth;
    const int y =
        std::clamp(int(std::floor((90.0 - g.lat) / 180.0 * maskHeight)), 0, maskHeight - 1);
    return mask.constScanLine(y)[x] / 255.0;
}

struct Accum {
    double r = 0, g = 0, b = 0;
    void add(QRgb c, double w) {
        r += qRed(c) * w;
        g += qGreen(c) * w;
        b += qBlue(c) * w;
    }
    QRgb rgb(double n) const {
        return qRgb(int(std::lround(r / n)), int(std::lround(g / n)), int(std::lround(b / n)));
    }
};

// Filling takes about two fifths of a picture's time, the coastlines most of the rest.
constexpr double fillShare = 0.4;
constexpr double bordersShare = 0.05;

// False when progress stopped it; it hears of every row.
bool fillSeaAndLand(QImage& image, const AzimuthalProjection& proj, const QImage& mask,
                    const DrawingProgress& progress) {
    const int n = supersampling;
    for (int y = 0; y < image.height(); ++y) {
        if (progress && !progress(fillShare * y / image.height()))
            return false;
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            Accum acc;
            for (int sy = 0; sy < n; ++sy) {
                for (int sx = 0; sx < n; ++sx) {
                    const QPointF px(x + (sx + 0.5) / n, y + (sy + 0.5) / n);
                    const auto geo = proj.unproject(px);
                    if (!geo) {
                        acc.add(colours::outside, 1.0);
                        continue;
                    }
                    const double land = landAt(mask, *geo);
                    acc.add(colours::land, land);
                    acc.add(colours::sea, 1.0 - land);
                }
            }
            line[x] = acc.rgb(n * n);
        }
    }
    return true;
}

// Draws the lines; a line whose whole picture is smaller than `minExtentPx`
// (a speck of an island) is left out, as its outline would only add dirt.
void drawLines(QPainter& p, const AzimuthalProjection& proj, const QList<QList<GeoPoint>>& lines,
               double minExtentPx) {
    QPainterPath path;
    for (const auto& line : lines) {
        const QList<QPolygonF> pieces = proj.projectLine(line, 1.5);
        QRectF extent;
        for (const QPolygonF& piece : pieces)
            extent |= piece.boundingRect();
        if (std::max(extent.width(), extent.height()) < minExtentPx)
            continue;
        for (const QPolygonF& piece : pieces)
            path.addPolygon(piece);
    }
    p.drawPath(path);
}

QColor withAlpha(QRgb c, int alpha) {
    QColor colour(c);
    colour.setAlpha(alpha);
    return colour;
}

void drawCompassLetters(QPainter& p, QPointF centre, double radius, int size) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(std::max(7, int(std::lround(4.0 + size * 0.022))));
    p.setFont(font);
    const QFontMetricsF fm(font);
    const double gap = std::max(2.0, size * 0.012);
    const struct {
        const char* text;
        double bearing;
    } marks[] = {{"N", 0.0}, {"E", 90.0}, {"S", 180.0}, {"W", 270.0}};
    for (const auto& m : marks) {
        const QString text = QString::fromLatin1(m.text);
        const double w = fm.horizontalAdvance(text);
        const bool sideways = m.bearing == 90.0 || m.bearing == 270.0;
        const double r = radius - gap - (sideways ? w : fm.capHeight()) / 2.0;
        const double t = m.bearing * std::numbers::pi / 180.0;
        const QPointF at = centre + QPointF(r * std::sin(t), -r * std::cos(t));
        const QPointF baseline(at.x() - w / 2.0, at.y() + fm.capHeight() / 2.0);
        QPainterPath glyphs;
        glyphs.addText(baseline, font, text);
        // A light halo keeps the letter readable on sea and land alike.
        p.setPen(QPen(withAlpha(qRgb(255, 255, 255), 170), std::max(1.5, size * 0.008),
                      Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(glyphs);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(colours::compassText));
        p.drawPath(glyphs);
    }
}

} // namespace

std::optional<MapData> loadMapData(const QString& dir, QString* error) {
    const QDir d(dir);
    auto land = readTopology(d.filePath(QStringLiteral("land-50m.json")), error);
    if (!land)
        return std::nullopt;
    auto countries = readTopology(d.filePath(QStringLiteral("countries-50m.json")), error);
    if (!countries)
        return std::nullopt;
    if (!land->objects.contains(QStringLiteral("land")) ||
        !countries->objects.contains(QStringLiteral("countries"))) {
        if (error)
            *error = QStringLiteral("%1 lacks the land or countries object").arg(dir);
        return std::nullopt;
    }

    MapData data;
    data.land = land->polygons(QStringLiteral("land"));

    // Every arc of the land outline is coast.
    QList<qsizetype> coastArcs;
    QSet<qsizetype> seen;
    for (const TopoGeometry& g : land->objects.value(QStringLiteral("land")))
        for (const ArcPolygon& polygon : g.polygons)
            for (const ArcRing& ring : polygon)
                for (int ref : ring)
                    if (!seen.contains(arcIndex(ref))) {
                        seen.insert(arcIndex(ref));
                        coastArcs.append(arcIndex(ref));
                    }
    appendLines(*land, coastArcs, data.coastlines);

    // An arc shared by two countries is a border; the rest of a country's
    // outline is coast, already drawn from the land outline.
    QHash<qsizetype, int> users;
    QList<qsizetype> order;
    for (const TopoGeometry& g : countries->objects.value(QStringLiteral("countries"))) {
        QSet<qsizetype> mine;
        for (const ArcPolygon& polygon : g.polygons)
            for (const ArcRing& ring : polygon)
                for (int ref : ring)
                    mine.insert(arcIndex(ref));
        // In arc order, not the set's: the drawing order of the borders must not
        // change from one run to the next, or neither would the picture.
        QList<qsizetype> arcs(mine.cbegin(), mine.cend());
        std::sort(arcs.begin(), arcs.end());
        for (qsizetype i : arcs) {
            if (!users.contains(i))
                order.append(i);
            ++users[i];
        }
    }
    QList<qsizetype> borderArcs;
    for (qsizetype i : order)
        if (users.value(i) >= 2)
            borderArcs.append(i);
    appendLines(*countries, borderArcs, data.borders);
    return data;
}

QImage landMask(const MapData& data) {
    QImage mask(maskWidth, maskHeight, QImage::Format_Grayscale8);
    mask.fill(0);
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const auto& polygon : data.land)
        for (const auto& ring : polygon)
            addRing(ring, path);
    QPainter p(&mask);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(maskWidth / 360.0, maskHeight / 180.0);
    p.translate(180.0, 90.0);
    p.scale(1.0, -1.0);
    p.fillPath(path, Qt::white);
    return mask;
}

double mapRadiusPx(int size) {
    return size / 2.0 - 2.0;
}

QImage renderMap(const MapData& data, GeoPoint station, int size) {
    return renderMap(data, landMask(data), station, size, {});
}

QImage renderMap(const MapData& data, const QImage& landMask, GeoPoint station, int size,
                 const DrawingProgress& progress) {
    QImage image(size, size, QImage::Format_RGB32);
    const QPointF centre(size / 2.0, size / 2.0);
    const double radius = mapRadiusPx(size);
    const AzimuthalProjection proj(station, centre, radius);

    if (!fillSeaAndLand(image, proj, landMask, progress))
        return {};

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath disc;
    disc.addEllipse(centre, radius, radius);
    p.setClipPath(disc);
    p.setBrush(Qt::NoBrush);

    // Line widths grow slowly with the picture so that the small picture stays
    // uncluttered and the large one does not look faint.
    const double scale = std::sqrt(size / 200.0);

    QPen ringPen(withAlpha(colours::ring, 200), 0.7 * scale, Qt::DashLine);
    ringPen.setDashPattern({3.0, 3.0});
    p.setPen(ringPen);
    for (double km = ringSpacingKm; km < std::numbers::pi * earthRadiusKm; km += ringSpacingKm) {
        const double r = km * proj.pixelsPerKm();
        p.drawEllipse(centre, r, r);
    }

    p.setPen(
        QPen(QColor(colours::border), 0.5 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    drawLines(p, proj, data.borders, 0.0);
    if (progress && !progress(fillShare + bordersShare))
        return {};
    p.setPen(QPen(QColor(colours::coast), 0.8 * scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    drawLines(p, proj, data.coastlines, 0.8);

    p.setClipping(false);
    p.setPen(QPen(QColor(colours::rim), 1.0 * scale));
    p.drawEllipse(centre, radius, radius);

    drawCompassLetters(p, centre, radius, size);
    p.end();
    if (progress)
        progress(1.0);
    return image;
}

} // namespace mapdraw
