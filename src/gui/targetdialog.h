// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class OperatingCore;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Aiming at what the operator knows: a locator, a callsign or prefix, a place's
// coordinates or degrees, looked up as it is typed and shown before anything turns;
// Enter aims the short path, Ctrl+Enter the long path. The park and the presets of
// AZIVEX.INI are a click away, and the station is set here. It stays open beside the
// window while the operator works.
class TargetDialog : public QDialog {
    Q_OBJECT
  public:
    explicit TargetDialog(OperatingCore& core, QWidget* parent = nullptr);

    // Puts the cursor in the target field, its text selected for typing over.
    void focusTarget();

  signals:
    // Pictures 4 and 5 are drawn anew, centred on the station.
    void stationPicturesDrawn();

  private:
    void drawStationPictures();
    void lookUp();
    void aim(bool longPath);
    void showStation();
    void setStation();
    void showPresets();
    void showAimResult(int result);
    void showWsjtxPartner();
    static QString countriesLoadingText();

    OperatingCore& m_core;
    QLineEdit* m_targetEdit;
    QLabel* m_takenAs;
    QLabel* m_bearings;
    QLabel* m_wsjtxPartner;
    QPushButton* m_shortButton;
    QPushButton* m_longButton;
    QPushButton* m_parkButton;
    QGridLayout* m_presetGrid;
    QLabel* m_stationLabel;
    QLineEdit* m_stationEdit;
    QSpinBox* m_picture4Size;
    QSpinBox* m_picture5Size;
    QPushButton* m_drawButton;
};
