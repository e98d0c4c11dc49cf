// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "projection.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QtGui/qrgb.h>

#include <functional>
#include <optional>

namespace mapdraw {

// Colours of the picture. The heading display draws blue (0, 0, 255), green
// (0, 192, 0) and light orange (255, 192, 128) lines on top of it, so the sea
// is a light blue and the land a beige, both well apart from those three.
namespace colours {
inline constexpr QRgb outside = qRgb(46, 50, 58);
inline constexpr QRgb sea = qRgb(150, 192, 232);
inline constexpr QRgb land = qRgb(216, 226, 172);
inline constexpr QRgb coast = qRgb(80, 88, 64);
inline constexpr QRgb border = qRgb(160, 160, 120);
inline constexpr QRgb ring = qRgb(255, 255, 255);
inline constexpr QRgb rim = qRgb(40, 52, 72);
inline constexpr QRgb compassText = qRgb(24, 36, 64);
} // namespace colours

inline constexpr double ringSpacingKm = 5000.0;
// Pictures from a thumbnail to a poster; smaller ones hold nothing readable.
inline constexpr int minPictureSizePx = 32;
inline constexpr int maxPictureSizePx = 4000;

struct MapData {
    QList<QList<QList<GeoPoint>>> land; // polygons, each its rings (outer first)
    QList<QList<GeoPoint>> coastlines;
    QList<QList<GeoPoint>> borders; // between two countries only
};

// Reads land-50m.json and countries-50m.json from `dir`.
std::optional<MapData> loadMapData(const QString& dir, QString* error = nullptr);

// The circle's radius in a square picture of `size` pixels: the whole earth
// fits with a small margin to the edge.
double mapRadiusPx(int size);

// The land rasterised once in longitude and latitude; every picture of the same
// data looks its pixels up in it.
QImage landMask(const MapData& data);

// Told the share of a picture drawn so far, 0 to 1; returning false stops the drawing.
using DrawingProgress = std::function<bool(double drawn)>;

// Renders the square picture centred on `station`.
QImage renderMap(const MapData& data, GeoPoint station, int size);
// The same with a land mask made beforehand, telling `progress` as it goes; a
// null picture when progress stopped it.
QImage renderMap(const MapData& data, const QImage& landMask, GeoPoint station, int size,
                 const DrawingProgress& progress);

} // namespace mapdraw
