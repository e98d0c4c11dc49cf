// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

// A transparent square of size logical pixels at the given scale, so a screen with
// two pixels a point gets a drawing with twice the detail rather than an enlargement.
QImage blank(int size, qreal scale = 1) {
    QImage img(qRound(size * scale), qRound(size * scale), QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(scale);
    img.fill(Qt::transparent);
    return img;
}

// A three-quarter arc with an arrow head at its end; clockwise when sign is +1.
void drawTurnArrow(QPainter& p, QPointF c, double r, int sign, const QColor& colour) {
    QPen pen(colour, 3.5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
    // Qt angles: counter-clockwise from 3 o'clock, in 1/16 degree.
    const int start = 90 * 16;
    const int span = -sign * 270 * 16;
    p.drawArc(box, start, span);
    const double endDeg = 90.0 - sign * 270.0;
    const double a = endDeg * M_PI / 180.0;
    const QPointF tip(c.x() + r * std::cos(a), c.y() - r * std::sin(a));
    // Tangent direction of travel at the end of the arc.
    const QPointF dir(sign * std::sin(a), sign * std::cos(a));
    const QPointF normal(-dir.y(), dir.x());
    QPainterPath head;
    head.moveTo(tip + dir * 7.0);
    head.lineTo(tip + normal * 6.0);
    head.lineTo(tip - normal * 6.0);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
}

} // namespace

namespace Icons {

QImage rotation(Rotation kind, qreal scale) {
    QImage img = blank(32, scale);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(16, 17);
    switch (kind) {
    case Rotation::CounterClockwise:
        drawTurnArrow(p, c, 10, -1, QColor(0, 90, 190));
        break;
    case Rotation::Clockwise:
        drawTurnArrow(p, c, 10, +1, QColor(190, 60, 0));
        break;
    case Rotation::Stop: {
        // An octagon like a stop sign.
        QPainterPath oct;
        for (int i = 0; i < 8; ++i) {
            const double a = (22.5 + 45.0 * i) * M_PI / 180.0;
            const QPointF pt(16 + 13 * std::cos(a), 16 + 13 * std::sin(a));
            i == 0 ? oct.moveTo(pt) : oct.lineTo(pt);
        }
        oct.closeSubpath();
        p.setPen(QPen(QColor(120, 0, 0), 1.5));
        p.setBrush(QColor(210, 30, 30));
        p.drawPath(oct);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 14, 14, 4));
        break;
    }
    }
    return img;
}

void paintWindow(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    // A compass disc with a heading needle, in the window's dark blue.
    p.setPen(QPen(QColor(0, 0, 120), 2));
    p.setBrush(QColor(0, 0, 192));
    p.drawEllipse(QRectF(3, 3, 42, 42));
    p.setPen(QPen(QColor(255, 255, 128), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(9, 9, 30, 30));
    p.setPen(QPen(QColor(255, 255, 255), 1));
    p.drawLine(QPointF(24, 6), QPointF(24, 11));
    p.drawLine(QPointF(24, 37), QPointF(24, 42));
    p.drawLine(QPointF(6, 24), QPointF(11, 24));
    p.drawLine(QPointF(37, 24), QPointF(42, 24));
    p.setPen(QPen(QColor(255, 192, 255), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 24), QPointF(36, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 128));
    p.drawEllipse(QPointF(24, 24), 3.5, 3.5);
}

QImage window(int size) {
    QImage img = blank(size);
    QPainter p(&img);
    p.scale(size / 48.0, size / 48.0);
    paintWindow(p);
    return img;
}

QImage placeholderMap() {
    QImage img(200, 200, QImage::Format_RGB32);
    img.fill(QColor(24, 24, 48));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 110, 150), 1));
    p.setBrush(QColor(40, 70, 130));
    p.drawEllipse(QRectF(2, 2, 196, 196));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(90, 120, 170), 1, Qt::DashLine));
    p.drawEllipse(QRectF(51, 51, 98, 98));
    p.drawLine(100, 4, 100, 196);
    p.drawLine(4, 100, 196, 100);
    p.setPen(QColor(220, 220, 240));
    QFont f = p.font();
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(92, 4, 16, 14), Qt::AlignCenter, QStringLiteral("N"));
    p.drawText(QRectF(182, 93, 16, 14), Qt::AlignCenter, QStringLiteral("E"));
    p.drawText(QRectF(92, 182, 16, 14), Qt::AlignCenter, QStringLiteral("S"));
    p.drawText(QRectF(2, 93, 16, 14), Qt::AlignCenter, QStringLiteral("W"));
    return img;
}

} // namespace Icons
