// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/mapview.h"

#include "core/session/geometry.h"
#include "core/application/layout.h"
#include "core/text/textnumber.h"
#include "gui/icons.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr float kCentreMarkRadiusTwips = 50.0f;

QPointF pixelsOf(QPointF twips) {
    return twips / Twips::perPixel;
}

// Lines are drawn aliased with round caps: the marks keep their exact colours and
// whole-pixel widths on the map, and it is cheaper than blending on every reply.
void drawLine(QPainter& p, QPointF centreTwips, double azimuth, float lengthTwips, int penWidth,
              const QColor& colour) {
    const QPointF end = MapGeometry::lineEndPoint(float(centreTwips.x()), float(centreTwips.y()),
                                                  azimuth, lengthTwips);
    p.setPen(QPen(colour, penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(pixelsOf(centreTwips), pixelsOf(end));
}

// Qt's angles run counter-clockwise from three o'clock in sixteenths of a degree;
// bearings clockwise from straight up.
int qtAngle(double bearing) {
    return qRound((90 - bearing) * 16);
}

// The range in the controller's bearings, where the heading line points: the
// overlap (the bearings with two positions, from the low end on past the turn) or
// the dead zone (from the high end round to the low), and a short mark at the rim
// where each end stops the rotator.
void drawRange(QPainter& p, QSize bitmapSize, const RotationRange& range, int penWidth) {
    if (range.isFullCircle())
        return;
    const double half = bitmapSize.width() / 2.0;
    const QPointF centre(half, bitmapSize.height() / 2.0);
    const double span = range.max() - range.min();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    if (span != 360) {
        const bool overlap = span > 360;
        const double from = RotationRange::bearingOf(overlap ? range.min() : range.max());
        const double sweep = overlap ? std::min(span - 360, 360.0) : 360 - span;
        const double r = 0.97 * half;
        p.setPen(Qt::NoPen);
        p.setBrush(overlap ? MapView::overlapColor : MapView::deadZoneColor);
        p.drawPie(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), qtAngle(from),
                  -qRound(sweep * 16));
    }
    for (const double end : {range.min(), range.max()}) {
        const double a = qDegreesToRadians(RotationRange::bearingOf(end));
        const QPointF along(std::sin(a) * half, -std::cos(a) * half);
        // Dark under light, so the mark shows on sea, land and the grey beyond.
        for (const auto& [colour, width] :
             {std::pair{QColor(64, 64, 64), penWidth + 2}, std::pair{MapView::stopColor, penWidth}}) {
            p.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(centre + 0.86 * along, centre + 0.99 * along);
        }
    }
    p.restore();
}

} // namespace

MapView::MapView(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(frameWidth);
    // The placeholder is drawn only if it is ever shown: start-up loads a picture.
    resize(200 + 2 * frameWidth, 200 + 2 * frameWidth);
}

bool MapView::setBitmap(const QImage& bitmap) {
    if (bitmap.isNull())
        return false;
    // Kept in the screen's usual format, so a paint is a plain copy.
    m_bitmap = bitmap.convertToFormat(bitmap.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                               : QImage::Format_RGB32);
    resize(bitmap.width() + 2 * frameWidth, bitmap.height() + 2 * frameWidth);
    update();
    return true;
}

void MapView::paintMarks(QPainter& p, QSize bitmapSize, const MapMarks& marks) {
    // Geometry in twips, as the map's scale is kept; single precision like the
    // centre it stands for.
    const float halfWidth = float(bitmapSize.width() * Twips::perPixel) / 2;
    const QPointF centre(halfWidth, float(bitmapSize.height() * Twips::perPixel) / 2);
    const int base = marks.headingLineWidth;

    p.save();
    p.setClipRect(QRect(QPoint(0, 0), bitmapSize), Qt::IntersectClip);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);

    // Under the lines, which keep their looks.
    drawRange(p, bitmapSize, marks.range, base - 1);
    if (marks.target) {
        const double angle = qDegreesToRadians(marks.target->bearing);
        const double r = marks.target->reach * bitmapSize.width() / 2.0;
        const QPointF at(bitmapSize.width() / 2.0 + r * std::sin(angle),
                         bitmapSize.height() / 2.0 - r * std::cos(angle));
        p.setPen(QPen(targetPlaceColor, 2));
        p.drawEllipse(at, 4, 4);
    }
    QColor lastColour = headingColor;
    if (!marks.commanded.isEmpty()) {
        const double commanded = numericValue(marks.commanded);
        drawLine(p, centre, commanded, float(0.86 * halfWidth), base + 1, commandColor);
        lastColour = commandColor;
        if (!marks.offset.isEmpty() && numericValue(marks.offset) != 0) {
            drawLine(p, centre, commanded - numericValue(marks.offset), float(0.9 * halfWidth),
                     base, offsetColor);
            lastColour = offsetColor;
        }
    }
    if (marks.showHeading) {
        p.setPen(QPen(lastColour, base + 2));
        const qreal radius = kCentreMarkRadiusTwips / Twips::perPixel;
        p.drawEllipse(pixelsOf(centre), radius, radius);
        drawLine(p, centre, numericValue(marks.heading), float(0.8 * halfWidth), base + 2,
                 headingColor);
    }
    p.restore();
}

void MapView::paintEvent(QPaintEvent* event) {
    if (m_bitmap.isNull())
        m_bitmap = Icons::placeholderMap();
    {
        QPainter p(this);
        p.drawImage(frameWidth, frameWidth, m_bitmap);
        if (m_source) {
            p.translate(frameWidth, frameWidth);
            paintMarks(p, m_bitmap.size(), m_source());
        }
    }
    QFrame::paintEvent(event);
}

void MapView::mousePressEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    m_pressed = button == Qt::LeftButton || button == Qt::RightButton ? button : Qt::NoButton;
}

void MapView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_pressed == Qt::NoButton || event->button() != m_pressed)
        return;
    const Qt::MouseButton button = m_pressed;
    m_pressed = Qt::NoButton;
    const QPoint pos = event->position().toPoint();
    if (!rect().contains(pos))
        return;
    if (button == Qt::LeftButton)
        emit clicked(pos.x(), pos.y());
    else
        emit longPathClicked(pos.x(), pos.y());
}
