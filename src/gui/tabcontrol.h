// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
    // Emits currentChanged at once when the tab changes, as a click would.
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
