// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>

class QPainter;

// Pictures the window draws itself: the rotation buttons' icons, the window icon and
// the map shown until a map picture is loaded.
namespace Icons {
enum class Rotation { CounterClockwise, Stop, Clockwise };
// 32 x 32 logical pixels, drawn at scale device pixels each.
QImage rotation(Rotation kind, qreal scale = 1);
// The program's icon, designed on a 48 x 48 square: drawn at any size, or by any
// painter (an SVG generator for the installed icon) onto that square.
QImage window(int size = 48);
void paintWindow(QPainter& p);
QImage placeholderMap(); // 200 x 200
} // namespace Icons
