// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Map pictures, window sizing and the switch panel's place.
#include "gui/mainwindow.h"

#include "core/layout.h"
#include "gui/mapview.h"
#include "gui/messagebox.h"
#include "gui/picturefile.h"
#include "gui/tabcontrol.h"

#include <QButtonGroup>
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

void MainWindow::choosePicture(int index) {
    selectMapPicture(index);
}

void MainWindow::selectMapPicture(int index) {
    setWindowHeightTwips(WindowLayout::baseWindowHeight);
    setWindowWidthTwips(WindowLayout::baseWindowWidth);
    setTabHeightTwips(WindowLayout::baseTabHeight);
    setTabWidthTwips(WindowLayout::baseTabWidth);
    m_settings.pictureNo = QString::number(index);

    const QString name = PictureFile::fileName(index);
    if (!PictureFile::find(name).isEmpty()) {
        loadPicture(name);
    } else {
        const bool standard = index <= 2;
        AppMessageBox::show(
            this, QStringLiteral("AZIVEX"),
            QStringLiteral("「") + name +
                QStringLiteral("」画像ファイルが有りませんので変更できませんでした。\r\n\r\n") +
                (standard ? QStringLiteral("バージョンアップで取り込むことができます。")
                          : QStringLiteral("ユーザ作成ファイルに変更する場合はファイルを作成して"
                                           "ください。")));
        if (!standard) {
            m_pictureButtons->button(0)->setChecked(true); // runs the whole selection of picture 1
            loadPicture(PictureFile::fileName(0));
            return;
        }
        if (index != 0)
            loadPicture(PictureFile::fileName(0));
    }

    const int innerHeight = Twips::fromPixels(m_mapView->height() - 2 * MapView::frameWidth);
    const WindowLayout layout =
        WindowLayout::forPicture(innerHeight, Twips::fromPixels(m_mapView->width()));
    setWindowHeightTwips(layout.windowHeight);
    setWindowWidthTwips(layout.windowWidth);
    setTabHeightTwips(layout.tabHeight);
    setTabWidthTwips(layout.tabWidth);
    m_connectButton->move(Twips::toPixels(layout.connectButtonLeft), m_connectButton->y());
    m_headingLineWidth = layout.headingLineWidth;

    if (!m_startingUp)
        registerSettings();
    layoutSwitchPanel();
    m_mapView->update();
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

void MainWindow::switchPanelToggled() {
    if (m_showPanelCheck->isChecked()) {
        layoutSwitchPanel();
        m_settings.controlPosition = QStringLiteral("1");
    } else {
        m_switchPanel->hide();
        if (m_pictureButtons->checkedId() >= 0)
            selectMapPicture(m_pictureButtons->checkedId());
        m_settings.controlPosition = QStringLiteral("0");
    }
    registerSettings();
}
