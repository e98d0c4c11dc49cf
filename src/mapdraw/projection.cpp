// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "projection.h"

#include <QLineF>

#include <cmath>
#include <numbers>

namespace mapdraw {

namespace {

constexpr double pi = std::numbers::pi;
constexpr double degToRad = pi / 180.0;
constexpr double radToDeg = 180.0 / pi;

// Deeper than this an edge piece is a few centimetres long; if it is still
// long on the picture it straddles the antipode.
constexpr int maxSubdivision = 24;

struct Direction {
    double east;  // component towards the point along the local east axis
    double north; // ... along the local north axis
    double cosc;  // cosine of the central angle
};

// The terms shared by the central angle and the bearing (atan2 forms, which
// stay accurate near the station and near the antipode alike).
Direction direction(double sinLat1, double cosLat1, double lon1, GeoPoint to) {
    const double lat2 = to.lat * degToRad;
    const double dLon = to.lon * degToRad - lon1;
    const double sinLat2 = std::sin(lat2);
    const double cosLat2 = std::cos(lat2);
    const double cosDLon = std::cos(dLon);
    return {cosLat2 * std::sin(dLon), cosLat1 * sinLat2 - sinLat1 * cosLat2 * cosDLon,
            sinLat1 * sinLat2 + cosLat1 * cosLat2 * cosDLon};
}

double centralAngle(const Direction& d) {
    return std::atan2(std::hypot(d.east, d.north), d.cosc);
}

double normaliseLon(double lon) {
    double l = std::fmod(lon + 180.0, 360.0);
    if (l < 0)
        l += 360.0;
    return l - 180.0;
}

} // namespace

double distanceKm(GeoPoint from, GeoPoint to) {
    const double lat1 = from.lat * degToRad;
    return centralAngle(direction(std::sin(lat1), std::cos(lat1), from.lon * degToRad, to)) *
           earthRadiusKm;
}

double bearingDeg(GeoPoint from, GeoPoint to) {
    const double lat1 = from.lat * degToRad;
    const Direction d = direction(std::sin(lat1), std::cos(lat1), from.lon * degToRad, to);
    if (std::hypot(d.east, d.north) == 0.0)
        return 0.0;
    double b = std::atan2(d.east, d.north) * radToDeg;
    if (b < 0)
        b += 360.0;
    return b >= 360.0 ? 0.0 : b;
}

GeoPoint destination(GeoPoint from, double bearing, double distance) {
    // With vectors rather than the spherical-trigonometry formula, which loses
    // the longitude to rounding when starting at or near a pole.
    const double lat1 = from.lat * degToRad;
    const double lon1 = from.lon * degToRad;
    const double c = distance / earthRadiusKm;
    const double t = bearing * degToRad;
    const double sinLat = std::sin(lat1), cosLat = std::cos(lat1);
    const double sinLon = std::sin(lon1), cosLon = std::cos(lon1);
    // Start point, and the local north and east unit vectors there.
    const double p[3] = {cosLat * cosLon, cosLat * sinLon, sinLat};
    const double n[3] = {-sinLat * cosLon, -sinLat * sinLon, cosLat};
    const double e[3] = {-sinLon, cosLon, 0.0};
    double q[3];
    for (int i = 0; i < 3; ++i)
        q[i] = p[i] * std::cos(c) + (n[i] * std::cos(t) + e[i] * std::sin(t)) * std::sin(c);
    const double lat2 = std::atan2(q[2], std::hypot(q[0], q[1]));
    const double lon2 = std::atan2(q[1], q[0]);
    return {lat2 * radToDeg, normaliseLon(lon2 * radToDeg)};
}

AzimuthalProjection::AzimuthalProjection(GeoPoint station, QPointF centrePx, double radiusPx)
    : m_station(station), m_centre(centrePx), m_radius(radiusPx),
      m_sinLat(std::sin(station.lat * degToRad)), m_cosLat(std::cos(station.lat * degToRad)) {}

double AzimuthalProjection::pixelsPerKm() const {
    return m_radius / (pi * earthRadiusKm);
}

QPointF AzimuthalProjection::project(GeoPoint p) const {
    const Direction d = direction(m_sinLat, m_cosLat, m_station.lon * degToRad, p);
    const double len = std::hypot(d.east, d.north);
    const double r = std::atan2(len, d.cosc) / pi * m_radius;
    if (len == 0.0) {
        // The station itself, or exactly its antipode, which has no direction:
        // put it at the top of the rim.
        return d.cosc > 0 ? m_centre : m_centre + QPointF(0.0, -m_radius);
    }
    return m_centre + QPointF(r * d.east / len, -r * d.north / len);
}

std::optional<GeoPoint> AzimuthalProjection::unproject(QPointF px) const {
    const double dx = px.x() - m_centre.x();
    const double dy = px.y() - m_centre.y();
    const double r = std::hypot(dx, dy);
    if (r > m_radius)
        return std::nullopt;
    const double bearing = std::atan2(dx, -dy) * radToDeg;
    return destination(m_station, bearing, r / m_radius * pi * earthRadiusKm);
}

QList<QPolygonF> AzimuthalProjection::projectLine(const QList<GeoPoint>& line,
                                                  double maxStepPx) const {
    QList<QPolygonF> out;
    if (line.isEmpty())
        return out;
    GeoPoint prev = line.first();
    QPointF prevPx = project(prev);
    out.append(QPolygonF{prevPx});
    for (qsizetype i = 1; i < line.size(); ++i) {
        GeoPoint next = line[i];
        // Take the short way across the 180th meridian.
        double dLon = next.lon - prev.lon;
        if (dLon > 180.0)
            next.lon -= 360.0;
        if (dLon < -180.0)
            next.lon += 360.0;
        const QPointF nextPx = project(next);
        appendEdge(prev, prevPx, next, nextPx, maxStepPx, 0, out);
        prev = next;
        prevPx = nextPx;
    }
    out.removeIf([](const QPolygonF& p) { return p.size() < 2; });
    return out;
}

void AzimuthalProjection::appendEdge(GeoPoint a, QPointF pa, GeoPoint b, QPointF pb,
                                     double maxStepPx, int depth, QList<QPolygonF>& out) const {
    if (QLineF(pa, pb).length() <= maxStepPx) {
        out.last().append(pb);
        return;
    }
    if (depth >= maxSubdivision) {
        // Torn at the antipode: start a new piece on the far side.
        out.append(QPolygonF{pb});
        return;
    }
    const GeoPoint mid{(a.lat + b.lat) / 2.0, (a.lon + b.lon) / 2.0};
    const QPointF pm = project(mid);
    appendEdge(a, pa, mid, pm, maxStepPx, depth + 1, out);
    appendEdge(mid, pm, b, pb, maxStepPx, depth + 1, out);
}

} // namespace mapdraw
