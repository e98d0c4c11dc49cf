// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/geography/locator.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {
// Per pair: how many divisions its character picks from, in each axis.
constexpr std::array<int, 5> kDivisions = {18, 10, 24, 10, 24};
constexpr int kPairs = int(kDivisions.size());

// The index a character stands for in pair `pair`, or -1.
int pairIndex(QChar c, int pair) {
    const int n = kDivisions[pair];
    if (n == 10)
        return (c >= u'0' && c <= u'9') ? c.unicode() - u'0' : -1;
    const char16_t upper = c.toUpper().unicode();
    return (upper >= u'A' && upper < u'A' + n) ? upper - u'A' : -1;
}

QChar pairCharacter(int index, int pair) {
    if (kDivisions[pair] == 10)
        return QChar(u'0' + index);
    return QChar((pair == 0 ? u'A' : u'a') + index);
}
} // namespace

std::optional<GeoPoint> Locator::centre(QStringView text, int shortest) {
    const qsizetype length = text.size();
    if (length < std::max(2, shortest) || length > 2 * kPairs || length % 2 != 0)
        return std::nullopt;
    double lonCell = 360.0, latCell = 180.0;
    double lon = -180.0, lat = -90.0;
    for (int pair = 0; pair < length / 2; ++pair) {
        const int x = pairIndex(text[2 * pair], pair);
        const int y = pairIndex(text[2 * pair + 1], pair);
        if (x < 0 || y < 0)
            return std::nullopt;
        lonCell /= kDivisions[pair];
        latCell /= kDivisions[pair];
        lon += x * lonCell;
        lat += y * latCell;
    }
    return GeoPoint{lat + latCell / 2, lon + lonCell / 2};
}

QString Locator::fromPoint(const GeoPoint& point, int length) {
    const int pairs = std::clamp((length + 1) / 2, 1, kPairs);
    double lon = std::fmod(point.lon + 180.0, 360.0);
    if (lon < 0)
        lon += 360.0;
    double lat = std::clamp(point.lat + 90.0, 0.0, 180.0);
    // Fractions of the whole range, each pair taking its digit off the front.
    double x = lon / 360.0, y = lat / 180.0;
    QString out;
    for (int pair = 0; pair < pairs; ++pair) {
        const int n = kDivisions[pair];
        x *= n;
        y *= n;
        // The top edge (the pole, or a rounding that lands on n) stays in the last cell.
        const int ix = std::clamp(int(std::floor(x)), 0, n - 1);
        const int iy = std::clamp(int(std::floor(y)), 0, n - 1);
        x -= ix;
        y -= iy;
        out += pairCharacter(ix, pair);
        out += pairCharacter(iy, pair);
    }
    return out;
}

QString Locator::canonical(QStringView text) {
    if (!centre(text))
        return {};
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i)
        out += i < 2 ? text[i].toUpper() : text[i].toLower();
    return out;
}
