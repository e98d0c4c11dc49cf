// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/services/service.h"
#include "core/session/aimpacer.h"
#include "net/n1mm.h"
#include "net/pstrotator.h"
#include "net/rotctlserver.h"
#include "net/web/webserver.h"
#include "net/wsjtxlistener.h"

#include <QObject>

class OperatingCore;
class ServiceModel;

// The servers of a running program, each wired to its service the one way: it serves
// where the service says, and its failures and counters go back there. The datagram
// senders' aims, which come unasked, go through one pacer; the web page's, asked for
// by a person, go straight to the session as the window's do.
class NetworkServices : public QObject {
    Q_OBJECT
  public:
    NetworkServices(OperatingCore& core, ServiceModel& model, QObject* parent = nullptr);

    // Serves where the service says from now on, and reports back to it.
    static void wire(Service& service, ServiceServer& server);

    AimPacer& pacer() { return m_pacer; }
    RotctlServer& rotctld() { return m_rotctld; }
    WsjtxListener& wsjtx() { return m_wsjtx; }
    WebServer& web() { return m_web; }

  private:
    void configureN1mm();
    void configureWeb();
    void showWebUrl();

    OperatingCore& m_core;
    ServiceModel& m_model;
    AimPacer m_pacer;
    RotctlServer m_rotctld;
    N1mmListener m_n1mm;
    PstRotatorListener m_pstRotator;
    WsjtxListener m_wsjtx;
    WebServer m_web;
    bool m_https = false;
    QString m_certificateError;
    int m_mapVersion = 0;
};
