#pragma once

#include "map/overlaypainter.h"

#include <QFrame>
#include <QImage>
#include <QWidget>
#include <vector>

class QTabBar;

// A tab control whose pages cover the whole control, tab strip included, so child
// positions count from the control's top-left corner like the window's own layout.
class TabControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int stripHeight = 22; // pixels

    explicit TabControl(QWidget* parent = nullptr);
    QWidget* addTab(const QString& caption);
    int currentIndex() const;
    // Runs currentChanged at once when the tab changes, as a click would.
    void setCurrentIndex(int index);
    QTabBar* tabBar() const { return m_bar; }

signals:
    void currentChanged(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void showPage(int index);
    QTabBar* m_bar;
    std::vector<QWidget*> m_pages;
};

// The map: a bitmap in a two-pixel sunken frame, so the outer size is the bitmap
// plus four pixels. It shows the composed map image it is given and reports
// left-button clicks with their position in the outer rectangle.
class MapPicture : public QFrame {
    Q_OBJECT
public:
    static constexpr int frameWidth = 2;

    explicit MapPicture(QWidget* parent = nullptr);
    // Takes the bitmap's size; false (nothing changed) for a null image.
    bool setBitmap(const QImage& bitmap);
    const QImage& bitmap() const { return m_bitmap; }
    // The marks drawn over the bitmap at every paint.
    void setOverlay(const OverlayState& state);
    // What the map shows: the bitmap with its marks.
    QImage shownImage() const { return OverlayPainter::paint(m_bitmap, m_overlay); }

signals:
    void clicked(int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_bitmap;
    OverlayState m_overlay;
    bool m_pressed = false;
};
