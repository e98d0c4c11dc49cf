// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "topojson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace mapdraw {

namespace {

ArcRing readRing(const QJsonValue& v) {
    ArcRing ring;
    for (const QJsonValue& i : v.toArray())
        ring.append(i.toInt());
    return ring;
}

ArcPolygon readPolygon(const QJsonValue& v) {
    ArcPolygon polygon;
    for (const QJsonValue& r : v.toArray())
        polygon.append(readRing(r));
    return polygon;
}

void readGeometry(const QJsonObject& g, QList<TopoGeometry>& out) {
    const QString type = g.value(QLatin1String("type")).toString();
    if (type == QLatin1String("GeometryCollection")) {
        for (const QJsonValue& child : g.value(QLatin1String("geometries")).toArray())
            readGeometry(child.toObject(), out);
    } else if (type == QLatin1String("Polygon")) {
        out.append({{readPolygon(g.value(QLatin1String("arcs")))}});
    } else if (type == QLatin1String("MultiPolygon")) {
        TopoGeometry geometry;
        for (const QJsonValue& p : g.value(QLatin1String("arcs")).toArray())
            geometry.polygons.append(readPolygon(p));
        out.append(geometry);
    }
}

bool onCut(const GeoPoint& p) {
    return std::abs(p.lon) >= 180.0 - 1e-6;
}
bool atSouthPole(const GeoPoint& p) {
    return p.lat <= -89.99;
}

} // namespace

std::optional<Topology> parseTopology(const QByteArray& json, QString* error) {
    auto fail = [error](const QString& why) -> std::optional<Topology> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull())
        return fail(parseError.errorString());
    const QJsonObject root = doc.object();
    if (root.value(QLatin1String("type")).toString() != QLatin1String("Topology"))
        return fail(QStringLiteral("not a TopoJSON topology"));

    const QJsonObject transform = root.value(QLatin1String("transform")).toObject();
    const bool quantized = !transform.isEmpty();
    const QJsonArray scale = transform.value(QLatin1String("scale")).toArray();
    const QJsonArray translate = transform.value(QLatin1String("translate")).toArray();
    const double sx = quantized ? scale.at(0).toDouble() : 1.0;
    const double sy = quantized ? scale.at(1).toDouble() : 1.0;
    const double tx = quantized ? translate.at(0).toDouble() : 0.0;
    const double ty = quantized ? translate.at(1).toDouble() : 0.0;

    Topology topology;
    for (const QJsonValue& arcValue : root.value(QLatin1String("arcs")).toArray()) {
        QList<GeoPoint> arc;
        double x = 0.0;
        double y = 0.0;
        for (const QJsonValue& posValue : arcValue.toArray()) {
            const QJsonArray pos = posValue.toArray();
            if (pos.size() < 2)
                return fail(QStringLiteral("malformed arc position"));
            if (quantized) {
                x += pos.at(0).toDouble();
                y += pos.at(1).toDouble();
            } else {
                x = pos.at(0).toDouble();
                y = pos.at(1).toDouble();
            }
            arc.append({y * sy + ty, x * sx + tx});
        }
        topology.arcs.append(arc);
    }

    const QJsonObject objects = root.value(QLatin1String("objects")).toObject();
    for (auto it = objects.begin(); it != objects.end(); ++it) {
        QList<TopoGeometry> geometries;
        readGeometry(it.value().toObject(), geometries);
        topology.objects.insert(it.key(), geometries);
    }
    return topology;
}

QList<GeoPoint> Topology::ringPoints(const ArcRing& ring) const {
    QList<GeoPoint> points;
    for (int ref : ring) {
        const bool reversed = ref < 0;
        const qsizetype index = reversed ? ~qsizetype(ref) : ref;
        if (index >= arcs.size())
            continue;
        QList<GeoPoint> arc = arcs[index];
        if (reversed)
            std::reverse(arc.begin(), arc.end());
        // Consecutive arcs share their meeting point.
        if (!points.isEmpty() && !arc.isEmpty())
            arc.removeFirst();
        points.append(arc);
    }
    return points;
}

QList<QList<QList<GeoPoint>>> Topology::polygons(const QString& object) const {
    QList<QList<QList<GeoPoint>>> result;
    for (const TopoGeometry& geometry : objects.value(object)) {
        for (const ArcPolygon& polygon : geometry.polygons) {
            QList<QList<GeoPoint>> rings;
            for (const ArcRing& ring : polygon)
                rings.append(ringPoints(ring));
            result.append(rings);
        }
    }
    return result;
}

QList<QList<GeoPoint>> dropCutEdges(const QList<GeoPoint>& line) {
    QList<QList<GeoPoint>> pieces;
    QList<GeoPoint> current;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (i > 0) {
            const GeoPoint& a = line[i - 1];
            const GeoPoint& b = line[i];
            if ((onCut(a) && onCut(b)) || (atSouthPole(a) && atSouthPole(b))) {
                if (current.size() >= 2)
                    pieces.append(current);
                current.clear();
            }
        }
        current.append(line[i]);
    }
    if (current.size() >= 2)
        pieces.append(current);
    return pieces;
}

} // namespace mapdraw
