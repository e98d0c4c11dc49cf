// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/rotationrange.h"

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QString>
#include <functional>
#include <optional>

// What the map shows over its bitmap, read at paint time.
struct MapMarks {
    QString heading;          // the controller's azimuth
    QString commanded;        // the last commanded azimuth; empty: no command line
    QString offset;           // the offset text; empty or 0: no offset line
    int headingLineWidth = 3; // base pen width in pixels
    // The centre mark and heading line, off until the first azimuth has arrived.
    bool showHeading = false;
    // The place looked up or aimed at, on a picture centred on the station: its
    // bearing, and its distance as a part of the way to the antipode on the rim.
    struct Place {
        double bearing = 0;
        double reach = 0; // 0 at the centre, 1 on the rim
    };
    std::optional<Place> target;
    // The controller's range, in its bearings as the heading line is drawn: the plain
    // 0-360 draws nothing.
    RotationRange range;
};

// The map: a bitmap in a two-pixel sunken frame, so the outer size is the bitmap
// plus four pixels. The marks are painted over the bitmap at every paint, from
// the state they stand for, so a repaint or a new command line never loses one.
// Clicks are reported with their position in the outer rectangle: the left button's
// as clicks, the right button's as asking for the long path.
class MapView : public QFrame {
    Q_OBJECT
  public:
    static constexpr int frameWidth = 2;
    static inline const QColor commandColor{0, 192, 0};
    static inline const QColor offsetColor{255, 192, 128};
    static inline const QColor headingColor{0, 0, 255};
    static inline const QColor targetPlaceColor{255, 0, 0};
    // Light and see-through, so the map and the lines stay readable over them.
    static inline const QColor overlapColor{255, 255, 160, 90};
    static inline const QColor deadZoneColor{96, 96, 96, 110};
    static inline const QColor stopColor{255, 255, 255};

    // Until a bitmap is set the map shows a placeholder of 200 x 200 pixels.
    explicit MapView(QWidget* parent = nullptr);
    // Takes the bitmap and its size; false (nothing changed) for a null image.
    bool setBitmap(const QImage& bitmap);
    void setMarksSource(std::function<MapMarks()> source) { m_source = std::move(source); }

    // The range (its overlap or dead zone, and its stops) and the place looked up,
    // then command line, offset line, centre mark and heading line, in that order,
    // for a bitmap of bitmapSize at the painter's origin. Lengths are fractions of
    // the half width in twips; the centre mark takes the colour of the last line drawn.
    static void paintMarks(QPainter& p, QSize bitmapSize, const MapMarks& marks);

  signals:
    void clicked(int x, int y);
    void longPathClicked(int x, int y);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QImage m_bitmap;
    std::function<MapMarks()> m_source;
    Qt::MouseButton m_pressed = Qt::NoButton;
};
