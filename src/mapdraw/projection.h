// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPointF>
#include <QPolygonF>

#include <optional>

namespace mapdraw {

// Mean earth radius; a sphere is plenty for a picture a few hundred pixels wide.
inline constexpr double earthRadiusKm = 6371.0;

struct GeoPoint {
    double lat = 0.0; // degrees, north positive
    double lon = 0.0; // degrees, east positive
};

// Great-circle distance along the surface.
double distanceKm(GeoPoint from, GeoPoint to);

// Initial bearing of the great circle from `from` towards `to`, degrees
// clockwise from north in [0, 360). 0 when the points coincide or are antipodal.
double bearingDeg(GeoPoint from, GeoPoint to);

// Point reached by travelling `distance` km from `from` on the initial bearing.
// The longitude is normalised to [-180, 180).
GeoPoint destination(GeoPoint from, double bearing, double distance);

// Azimuthal equidistant projection centred on a station, north up: a point's
// distance from the centre of the circle is proportional to its distance from
// the station and its direction is the bearing from the station, so the
// antipode lies on the rim.
class AzimuthalProjection {
  public:
    AzimuthalProjection(GeoPoint station, QPointF centrePx, double radiusPx);

    GeoPoint station() const { return m_station; }
    QPointF centrePx() const { return m_centre; }
    double radiusPx() const { return m_radius; }
    double pixelsPerKm() const;

    QPointF project(GeoPoint p) const;
    // The geographic point drawn at `px`; nothing outside the circle.
    std::optional<GeoPoint> unproject(QPointF px) const;

    // Projects a line given by its vertices, joined linearly in latitude and
    // longitude (longitude steps across the 180th meridian take the short way).
    // Each edge is subdivided until its pieces are at most `maxStepPx` long, so
    // lines near the rim follow the stretched outline. The projection tears at
    // the antipode: a piece that stays long however far it is divided crosses
    // it, and the line is broken there instead of being drawn as a chord across
    // the map.
    QList<QPolygonF> projectLine(const QList<GeoPoint>& line, double maxStepPx = 2.0) const;

  private:
    void appendEdge(GeoPoint a, QPointF pa, GeoPoint b, QPointF pb, double maxStepPx, int depth,
                    QList<QPolygonF>& out) const;

    GeoPoint m_station;
    QPointF m_centre;
    double m_radius;
    double m_sinLat;
    double m_cosLat;
};

} // namespace mapdraw
