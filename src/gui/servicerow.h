// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/services/service.h"

#include <QGroupBox>

class QCheckBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class ServiceModel;

// One service in the services dialog: switched on or off, its address, and what it
// is doing now, kept up to date while the dialog is open.
class ServiceRow : public QGroupBox {
    Q_OBJECT
  public:
    struct Texts {
        QString title;
        QString switchText; // "有効にする" unless given
        QString switchTip;
        QString addressTip;
        QString defaultAddress;
    };

    ServiceRow(ServiceModel& model, Service& service, const Texts& texts,
               QWidget* parent = nullptr);

    Service& service() const { return m_service; }
    // What the row says: the address, empty when off.
    QString chosenAddress() const;
    // Saves the address when it was changed here; else has a server that failed try
    // it again (a taken port may have been freed meanwhile).
    void apply();
    // Where a service puts rows of its own beneath the address.
    QFormLayout* form() const { return m_form; }

  private:
    void showState();

    ServiceModel& m_model;
    Service& m_service;
    QCheckBox* m_check;
    QLineEdit* m_edit;
    QLabel* m_state;
    QFormLayout* m_form;
    QString m_shown; // as the dialog opened
};
