// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class OperatingCore;
class QCheckBox;
class QLabel;
class QLineEdit;

// What AZIVEX offers beyond its window, set where a person who starts it from the
// menu can reach it: the rotctld server for trackers and loggers, and taking the
// port up again by itself when the device comes back. Saved in AZIVEX.INI on OK.
class ServicesDialog : public QDialog {
    Q_OBJECT
  public:
    static inline const QString defaultRotctldEndpoint = QStringLiteral("127.0.0.1:4533");

    explicit ServicesDialog(OperatingCore& core, QWidget* parent = nullptr);

    // Saves what the dialog shows.
    void apply();

  private:
    void showRotctldState();

    OperatingCore& m_core;
    QCheckBox* m_rotctldCheck;
    QLineEdit* m_rotctldEdit;
    QLabel* m_rotctldState;
    QCheckBox* m_reconnectCheck;
};
