#include "link/gotocommand.h"

#include "app/numeric.h"

std::optional<QString> formatGoTo(const QString& azimuth) {
    switch (azimuth.size()) {
    case 1:
        return QStringLiteral("M00") + azimuth;
    case 2:
        return QStringLiteral("M0") + azimuth;
    case 3:
        return QStringLiteral("M") + azimuth;
    default:
        return std::nullopt;
    }
}

QString stepAzimuth(const QString& lastCommandedAzimuth, int step) {
    double v = numericValue(lastCommandedAzimuth) + step;
    if (step > 0 && v >= 360)
        v -= 360;
    else if (step < 0 && v <= 0)
        v += 360;
    // Whole numbers without a decimal point; fractions keep theirs (and then make
    // no command, being longer than three characters).
    return QString::number(v, 'g', 15);
}
