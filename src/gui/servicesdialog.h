// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/application/operatingcore.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <optional>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class ServiceModel;
class ServiceRow;

// What AZIVEX offers beyond its window, set where a person who starts it from the
// menu can reach it: the controller and how it is reached, a row for each service
// other programs reach (the rotctld server for trackers and loggers, the datagram
// listeners, the web page for phones), and taking the port up again by itself when
// the device comes back. Saved in AZIVEX.INI on OK.
class ServicesDialog : public QDialog {
    Q_OBJECT
  public:
    static inline const QString defaultRotctldEndpoint = QStringLiteral("127.0.0.1:4533");
    // Where WSJT-X and JTDX send their datagrams unless told otherwise.
    static inline const QString defaultWsjtxEndpoint = QStringLiteral("127.0.0.1:2237");
    // Every network of the machine, so a phone on the LAN reaches it.
    static inline const QString defaultWebEndpoint = QStringLiteral("0.0.0.0:8073");

    ServicesDialog(OperatingCore& core, ServiceModel& services, QWidget* parent = nullptr);

    // Saves the rows the operator changed, and no others: an address given on the
    // command line for one run, or a key edited by hand meanwhile, stays as it is.
    void apply();
    // Stays open, saying why, while the controller's rows hold what cannot be used.
    void accept() override;

  private:
    void addServiceRows(QBoxLayout* left, QBoxLayout* right);
    void addWebRows(ServiceRow* row);
    void showWebAddress();
    void addControllerRows(QLayout* layout);
    // The controller the rows describe; nothing, once the state line says why, when
    // one of them cannot be used.
    std::optional<LinkSetup> chosenLink();
    void enableControllerRows();

    OperatingCore& m_core;
    ServiceModel& m_services;
    QList<ServiceRow*> m_rows;
    QCheckBox* m_reconnectCheck;
    QCheckBox* m_wsjtxFollowCheck;
    bool m_shownFollow = false;
    bool m_shownReconnect = false;
    QLabel* m_webAddress;
    QLabel* m_webCode;
    QPushButton* m_webTokenButton;
    QComboBox* m_protocolList;
    QLineEdit* m_deviceEdit;
    QComboBox* m_hamlibModelList;
    QLineEdit* m_rangeEdit;
    QSpinBox* m_pollBox;
    QLabel* m_controllerState;
    LinkSetup m_shownLink;
};
