#pragma once

#include <QString>
#include <optional>

// The go-to command for an azimuth text, by its length: 1 to 3 characters are
// padded with zeros behind "M"; any other length gives no command.
std::optional<QString> formatGoTo(const QString& azimuth);

// The step buttons' arithmetic on the last commanded azimuth text: +10 keeps the
// result below 360, -10 keeps it above 0.
QString stepAzimuth(const QString& lastCommandedAzimuth, int step);
