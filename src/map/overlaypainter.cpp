#include "map/overlaypainter.h"

#include "app/numeric.h"
#include "map/mapgeometry.h"

#include <QPainter>
#include <QPen>

namespace {

constexpr float kCentreMarkRadiusTwips = 50.0f;

QPointF toPixels(QPointF twips) { return twips / kTwipsPerPixel; }

// Lines are drawn aliased with round caps: the marks keep their exact colours and
// whole-pixel widths on the map, and it is cheaper than blending on every reply.
void drawLine(QPainter& p, QPointF centreTwips, double azimuth, float lengthTwips,
              int penWidth, const QColor& colour) {
    const QPointF end = lineEndPoint(float(centreTwips.x()), float(centreTwips.y()), azimuth,
                                     lengthTwips);
    p.setPen(QPen(colour, penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(toPixels(centreTwips), toPixels(end));
}

// The bitmap in a format QPainter draws on directly.
QImage paintableCopy(const QImage& bitmap) {
    const QImage::Format format =
        bitmap.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    return bitmap.format() == format ? bitmap.copy() : bitmap.convertToFormat(format);
}

} // namespace

bool OverlayPainter::drawsCommandLine(const OverlayState& state) {
    return !state.lastCommandedAzimuth.isEmpty();
}

bool OverlayPainter::drawsOffsetLine(const OverlayState& state) {
    return drawsCommandLine(state) && !state.offset.isEmpty() && numericValue(state.offset) != 0;
}

QColor OverlayPainter::centreMarkColor(const OverlayState& state) {
    if (drawsOffsetLine(state))
        return offsetColor;
    if (drawsCommandLine(state))
        return commandColor;
    return headingColor;
}

QImage OverlayPainter::paint(const QImage& bitmap, const OverlayState& state) {
    if (bitmap.isNull())
        return {};
    QImage image = paintableCopy(bitmap);
    QPainter p(&image);
    paintMarks(p, image.size(), state);
    return image;
}

void OverlayPainter::paintMarks(QPainter& p, QSize bitmapSize, const OverlayState& state) {
    // Geometry in twips, as the map's scale is kept; single precision like the
    // centre members it stands for.
    const float scaleWidth = float(bitmapSize.width() * kTwipsPerPixel);
    const float scaleHeight = float(bitmapSize.height() * kTwipsPerPixel);
    const float halfWidth = scaleWidth / 2;
    const QPointF centre(halfWidth, scaleHeight / 2);
    const int base = state.headingLineWidth;

    p.save();
    p.setClipRect(QRect(QPoint(0, 0), bitmapSize), Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);

    if (drawsCommandLine(state)) {
        const double commanded = numericValue(state.lastCommandedAzimuth);
        drawLine(p, centre, commanded, float(0.86 * halfWidth), base + 1, commandColor);
        if (drawsOffsetLine(state))
            drawLine(p, centre, commanded - numericValue(state.offset), float(0.9 * halfWidth),
                     base, offsetColor);
    }

    if (state.showHeading) {
        p.setPen(QPen(centreMarkColor(state), base + 2));
        const qreal radius = kCentreMarkRadiusTwips / kTwipsPerPixel;
        p.drawEllipse(toPixels(centre), radius, radius);
        drawLine(p, centre, numericValue(state.currentAzimuth), float(0.8 * halfWidth), base + 2,
                 headingColor);
    }
    p.restore();
}
