// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/session/aimpacer.h"
#include "net/n1mm.h"
#include "net/pstrotator.h"
#include "net/wsjtxlistener.h"

class OperatingCore;

// The datagram listeners of a running program (N1MM, PstRotator, WSJT-X), set from
// AZIVEX.INI and following the window's changes of their addresses, aiming through
// one pacer.
class DatagramServices : public QObject {
    Q_OBJECT
  public:
    explicit DatagramServices(OperatingCore& core, QObject* parent = nullptr);

    AimPacer& pacer() { return m_pacer; }
    WsjtxListener& wsjtx() { return m_wsjtx; }

  private:
    AimPacer m_pacer;
    N1mmListener m_n1mm;
    PstRotatorListener m_pstRotator;
    WsjtxListener m_wsjtx;
};
