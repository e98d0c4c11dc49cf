// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/application/operatingcore.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QCheckBox;
class QLabel;
class QLineEdit;

// What AZIVEX offers beyond its window, set where a person who starts it from the
// menu can reach it: the rotctld server for trackers and loggers, and taking the
// port up again by itself when the device comes back, and the datagram listeners
// for N1MM Logger+ and PstRotator's senders. Saved in AZIVEX.INI on OK.
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
};
