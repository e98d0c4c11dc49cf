// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "projection.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace mapdraw {

// A ring or polygon edge refers to arcs by index; a negative index ~i means
// arc i walked backwards.
using ArcRing = QList<int>;
using ArcPolygon = QList<ArcRing>; // outer ring first, then holes

struct TopoGeometry {
    QList<ArcPolygon> polygons; // a Polygon gives one, a MultiPolygon several
};

// The parts of a TopoJSON topology that outline maps use: the decoded arcs
// and the (multi)polygons of each named object. Other geometry types are
// skipped.
struct Topology {
    QList<QList<GeoPoint>> arcs;
    QHash<QString, QList<TopoGeometry>> objects;

    // The points of one ring, the arcs joined without repeating the point
    // where one arc ends and the next begins. Unknown arc indices are skipped.
    QList<GeoPoint> ringPoints(const ArcRing& ring) const;
    // The rings of every polygon of an object, as points.
    QList<QList<QList<GeoPoint>>> polygons(const QString& object) const;
};

// Parses a TopoJSON document. Quantized topologies (with "transform") have
// delta-encoded arcs; without a transform the positions are absolute.
std::optional<Topology> parseTopology(const QByteArray& json, QString* error = nullptr);

// Splits a line where an edge runs along the 180th meridian or along the
// south pole: such edges close polygons that were cut there and are not
// coastlines or borders.
QList<QList<GeoPoint>> dropCutEdges(const QList<GeoPoint>& line);

} // namespace mapdraw
