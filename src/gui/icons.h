#pragma once

#include <QImage>

// Pictures the window draws itself: the rotation buttons' icons, the window icon and
// the map shown until a map picture is loaded.
namespace Icons {
enum class Rotation { CounterClockwise, Stop, Clockwise };
QImage rotation(Rotation kind); // 32 x 32
QImage window();                // 48 x 48
QImage placeholderMap();        // 200 x 200
} // namespace Icons
