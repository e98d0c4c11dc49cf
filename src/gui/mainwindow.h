// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/application/operatingcore.h"
#include "gui/mapview.h"

#include <QPalette>
#include <QWidget>
#include <array>

class MapView;
class RotatorSession;
class TabControl;
class ServiceModel;
class TargetDialog;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The program's one window. It binds its controls to the operating core and shows
// the core's state; its own are the layout (map pictures, switch panel, tabs) and
// the messages it shows. Every control carries an object name saying what it is.
class MainWindow : public QWidget {
    Q_OBJECT
  public:
    MainWindow(OperatingCore& core, ServiceModel& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // A message in the status line, as the window's own messages are shown.
    void showStatus(const QString& message);

  private:
    void createControls();
    void createHeader();
    void createOperatingTab(QWidget* tab);
    void createSettingsTab(QWidget* tab);
    void bindControls();

    // Settings.
    void listSerialPorts();
    void showSettings(const Settings& settings);
    void showStarted();
    void registerSettings();

    // Layout. A picture chosen by the operator is registered; one chosen at start
    // is not.
    enum class Registering { No, Yes };
    void selectMapPicture(int index, Registering registering);
    bool loadPicture(const QString& name);
    void fitToPicture();
    QString missingStandardPictureNote(const QString& name) const;
    void layoutSwitchPanel();
    void setWindowHeightTwips(int twips);
    void setWindowWidthTwips(int twips);
    void setTabHeightTwips(int twips);
    void setTabWidthTwips(int twips);

    // Actions.
    void choosePort(int row);
    void choosePicture(int index);
    void switchPanelToggled();
    void aimAtClick(int x, int y, bool longPath);
    void sendRawCommand();
    void openServices();
    void openTarget();
    std::optional<MapMarks::Place> targetPlaceMark() const;

    // What the session reports.
    // The heading as the controller reported it, "---" while it is silent, with a
    // mark while the antenna stands in the overlap.
    void showHeading();
    void showAnswering(bool answering);
    void showPortState(bool open);
    void showDisconnectOffer(bool offered);
    void showPortClosed();
    void showSwitch(int number, bool on);

    OperatingCore& m_core;
    ServiceModel& m_services;
    RotatorSession* m_session;
    int m_headingLineWidth = 3;
    // What the status line said when the controller fell silent, shown again at its
    // first answer.
    QString m_statusBeforeSilence;
    QPalette m_switchOffPalette;
    QPalette m_switchOnPalette;

    QLabel* m_statusLabel = nullptr;
    QLabel* m_targetCaption = nullptr;
    QLabel* m_targetLabel = nullptr;
    QPushButton* m_connectButton = nullptr;
    TabControl* m_tabs = nullptr;
    TargetDialog* m_targetDialog = nullptr;

    QPushButton* m_ccwButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QPushButton* m_cwButton = nullptr;
    QLabel* m_headingLabel = nullptr;
    QLabel* m_overlapMark = nullptr;
    QPushButton* m_stepCcwButton = nullptr;
    QPushButton* m_stepCwButton = nullptr;
    QLabel* m_pictureCaption = nullptr;
    QButtonGroup* m_pictureButtons = nullptr;
    MapView* m_mapView = nullptr;
    QGroupBox* m_switchPanel = nullptr;
    std::array<QPushButton*, 8> m_panelSwitchButtons{};
    QButtonGroup* m_panelSwitchGroup = nullptr;

    QGroupBox* m_settingsGroup = nullptr;
    QLabel* m_versionLabel = nullptr;
    QLabel* m_portListCaption = nullptr;
    QComboBox* m_portList = nullptr;
    QLabel* m_columnHeadings = nullptr;
    QLineEdit* m_portEdit = nullptr;
    QLineEdit* m_lineSettingsEdit = nullptr;
    QLineEdit* m_offsetEdit = nullptr;
    QPushButton* m_registerButton = nullptr;
    QCheckBox* m_showPanelCheck = nullptr;
    QGroupBox* m_rawCommandGroup = nullptr;
    QLineEdit* m_rawCommandEdit = nullptr;
    QPushButton* m_sendRawButton = nullptr;
    QGroupBox* m_switchGroup = nullptr;
    std::array<QPushButton*, 8> m_switchButtons{};
    QButtonGroup* m_switchButtonGroup = nullptr;
};
