// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/application/operatingcore.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// What AZIVEX offers beyond its window, set where a person who starts it from the
// menu can reach it: the controller and how it is reached, the rotctld server for
// trackers and loggers, and taking the port up again by itself when the device
// comes back, and the datagram listeners for N1MM Logger+ and PstRotator's
// senders. Saved in AZIVEX.INI on OK.
class ServicesDialog : public QDialog {
    Q_OBJECT
  public:
    static inline const QString defaultRotctldEndpoint = QStringLiteral("127.0.0.1:4533");
    // Where WSJT-X and JTDX send their datagrams unless told otherwise.
    static inline const QString defaultWsjtxEndpoint = QStringLiteral("127.0.0.1:2237");

    explicit ServicesDialog(OperatingCore& core, QWidget* parent = nullptr);

    // Saves the rows the operator changed, and no others: an address given on the
    // command line for one run, or a key edited by hand meanwhile, stays as it is.
    void apply();
    // Stays open, saying why, while the controller's rows hold what cannot be used.
    void accept() override;

  private:
    // What the rows say: an address, empty when off, and the two ticks.
    struct Choices {
        QString rotctld;
        QStringList listeners;
        QString wsjtx;
        bool follow = false;
        bool reconnect = false;
    };
    Choices choices() const;
    void showRotctldState();
    void showListenerStates();
    struct ListenerRow {
        OperatingCore::Listener listener;
        QCheckBox* check;
        QLineEdit* edit;
        QLabel* state;
    };
    void showWsjtxState();
    void addControllerRows(QLayout* layout);
    // The controller the rows describe; nothing, once the state line says why, when
    // one of them cannot be used.
    std::optional<LinkSetup> chosenLink();
    void enableControllerRows();

    OperatingCore& m_core;
    QCheckBox* m_rotctldCheck;
    QLineEdit* m_rotctldEdit;
    QLabel* m_rotctldState;
    QCheckBox* m_reconnectCheck;
    QList<ListenerRow> m_listenerRows;
    QCheckBox* m_wsjtxCheck;
    QLineEdit* m_wsjtxEdit;
    QCheckBox* m_wsjtxFollowCheck;
    QLabel* m_wsjtxState;
    Choices m_shown; // as the dialog opened
    QComboBox* m_protocolList;
    QLineEdit* m_deviceEdit;
    QComboBox* m_hamlibModelList;
    QLineEdit* m_rangeEdit;
    QSpinBox* m_pollBox;
    QLabel* m_controllerState;
    LinkSetup m_shownLink;
};
