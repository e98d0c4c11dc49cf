// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/tabcontrol.h"

#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

TabControl::TabControl(QWidget* parent) : QWidget(parent), m_bar(new QTabBar(this)) {
    m_bar->setDrawBase(false);
    m_bar->setExpanding(false);
    connect(m_bar, &QTabBar::currentChanged, this, [this](int index) {
        showPage(index);
        emit currentChanged(index);
    });
}

QWidget* TabControl::addTab(const QString& caption) {
    auto* page = new QWidget(this);
    page->setGeometry(rect());
    m_pages.push_back(page);
    m_bar->addTab(caption);
    showPage(m_bar->currentIndex());
    return page;
}

int TabControl::currentIndex() const {
    return m_bar->currentIndex();
}

void TabControl::setCurrentIndex(int index) {
    m_bar->setCurrentIndex(index);
}

void TabControl::showPage(int index) {
    for (std::size_t i = 0; i < m_pages.size(); ++i)
        m_pages[i]->setVisible(static_cast<int>(i) == index);
    m_bar->raise();
}

void TabControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (QWidget* page : m_pages)
        page->setGeometry(rect());
    m_bar->setGeometry(0, 0, width(), stripHeight);
}

void TabControl::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionTabWidgetFrame opt;
    opt.initFrom(this);
    opt.rect = rect().adjusted(0, stripHeight - 1, 0, 0);
    opt.tabBarSize = m_bar->sizeHint();
    opt.shape = QTabBar::RoundedNorth;
    p.drawPrimitive(QStyle::PE_FrameTabWidget, opt);
}
