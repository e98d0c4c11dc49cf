// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/geography/geodesy.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>

#include <algorithm>
#include <cmath>

GeoPoint Geodesy::standardCentre() {
    return {35.68, 139.77};
}

double Geodesy::normalizedDegrees(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0)
        a += 360.0;
    // fmod of a tiny negative number plus 360 rounds to 360 itself.
    return a >= 360.0 ? 0.0 : a;
}

Bearings Geodesy::inverse(const GeoPoint& from, const GeoPoint& to) {
    const GeographicLib::Geodesic& earth = GeographicLib::Geodesic::WGS84();
    const double lat1 = std::clamp(from.lat, -90.0, 90.0);
    const double lat2 = std::clamp(to.lat, -90.0, 90.0);
    double metres = 0, departure = 0, arrival = 0;
    earth.Inverse(lat1, from.lon, lat2, to.lon, metres, departure, arrival);
    if (metres == 0) {
        // Nowhere to go: the bearing is a convention, north, along the meridian.
        departure = 0;
        arrival = 0;
    }
    // An ellipsoidal geodesic does not close on itself: after one circuit of the
    // auxiliary sphere (360 degrees of arc) it falls short of its start in longitude
    // by up to f * 360 degrees. Its "great circle" here is the stretch that carries it
    // once round in longitude, so the equator and a meridian come out at their own
    // lengths; the long path is that less the short path. Longitude runs almost
    // linearly in the arc, so one proportion finds that stretch.
    using GeographicLib::Geodesic;
    const GeographicLib::GeodesicLine line =
        earth.Line(lat1, from.lon, departure, Geodesic::LONGITUDE | Geodesic::DISTANCE);
    const unsigned want = Geodesic::LONGITUDE | Geodesic::DISTANCE | Geodesic::LONG_UNROLL;
    double unused = 0, endLon = 0, circuitMetres = 0;
    line.GenPosition(true, 360.0, want, unused, endLon, unused, circuitMetres, unused, unused,
                     unused, unused);
    const double turn = std::fabs(endLon - from.lon);
    if (turn > 180.0) {
        line.GenPosition(true, 360.0 * 360.0 / turn, want, unused, endLon, unused, circuitMetres,
                         unused, unused, unused, unused);
    }

    Bearings b;
    b.shortPath = normalizedDegrees(departure);
    b.longPath = normalizedDegrees(b.shortPath + 180.0);
    b.backBearing = normalizedDegrees(arrival + 180.0);
    b.shortKm = metres / 1000.0;
    b.longKm = std::max(0.0, circuitMetres - metres) / 1000.0;
    return b;
}
