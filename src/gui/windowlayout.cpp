// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Window sizing for the map picture shown and the switch panel's place.
#include "gui/mainwindow.h"

#include "core/application/layout.h"
#include "gui/mapview.h"
#include "core/settings/picturefile.h"
#include "gui/tabcontrol.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>

void MainWindow::setWindowHeightTwips(int twips) {
    resize(width(), std::max(1, Twips::toPixels(twips) - Twips::frameHeight));
}

void MainWindow::setWindowWidthTwips(int twips) {
    resize(std::max(1, Twips::toPixels(twips) - Twips::frameWidth), height());
}

void MainWindow::setTabHeightTwips(int twips) {
    m_tabs->resize(m_tabs->width(), std::max(1, Twips::toPixels(twips)));
}

void MainWindow::setTabWidthTwips(int twips) {
    m_tabs->resize(std::max(1, Twips::toPixels(twips)), m_tabs->height());
}

bool MainWindow::loadPicture(const QString& name) {
    return m_mapView->setBitmap(PictureFile::load(name));
}

void MainWindow::fitToPicture() {
    const int innerHeight = Twips::fromPixels(m_mapView->height() - 2 * MapView::frameWidth);
    const WindowLayout layout =
        WindowLayout::forPicture(innerHeight, Twips::fromPixels(m_mapView->width()));
    setWindowHeightTwips(layout.windowHeight);
    setWindowWidthTwips(layout.windowWidth);
    setTabHeightTwips(layout.tabHeight);
    setTabWidthTwips(layout.tabWidth);
    m_connectButton->move(Twips::toPixels(layout.connectButtonLeft), m_connectButton->y());
    m_headingLineWidth = layout.headingLineWidth;
}

void MainWindow::layoutSwitchPanel() {
    if (!m_showPanelCheck->isChecked()) {
        m_switchPanel->hide();
        return;
    }
    const WindowLayout panel = WindowLayout().withPanel(Twips::fromPixels(m_mapView->height()));
    setWindowHeightTwips(panel.windowHeight);
    setTabHeightTwips(panel.tabHeight);
    m_switchPanel->show();
    m_switchPanel->move(m_switchPanel->x(), Twips::toPixels(panel.panelTop));
}
