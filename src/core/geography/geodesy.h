// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A place on the Earth in decimal degrees, north and east positive.
struct GeoPoint {
    double lat = 0;
    double lon = 0;
};

// Where to point from a station towards a target, on the WGS-84 ellipsoid.
struct Bearings {
    double shortPath = 0;     // degrees clockwise from true north, 0 <= b < 360
    double longPath = 180;    // the opposite direction, 0 <= b < 360
    double shortKm = 0;       // along the geodesic
    double longKm = 0;        // the rest of the geodesic's full circuit
    double backBearing = 180; // from the target back to the station, 0 <= b < 360
};

namespace Geodesy {
// Bearings are worked from here while the station has no place of its own: the
// centre of the standard pictures.
GeoPoint standardCentre();

// Angle brought into 0 <= a < 360.
double normalizedDegrees(double degrees);

// Short and long path from `from` to `to`. Identical points aim north (the
// meridian is the geodesic); nearly antipodal points get the geodesic that
// GeographicLib picks. Never NaN for latitudes within +-90.
Bearings inverse(const GeoPoint& from, const GeoPoint& to);
} // namespace Geodesy
