// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/session/aimpacer.h"

#include "core/session/rotatorsession.h"

#include <QTimer>

using std::chrono::milliseconds;

AimPacer::AimPacer(RotatorSession& session, QObject* parent)
    : QObject(parent), m_session(session), m_clock([] {
          return std::chrono::duration_cast<milliseconds>(
              std::chrono::steady_clock::now().time_since_epoch());
      }),
      m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &AimPacer::release);
}

void AimPacer::send(double degrees) {
    m_waiting.reset();
    m_timer->stop();
    m_lastSent = m_clock();
    m_session.aimAt(degrees);
}

void AimPacer::aimAt(double degrees) {
    m_waiting = degrees;
    release();
}

void AimPacer::release() {
    if (!m_waiting)
        return;
    const milliseconds now = m_clock();
    if (!m_lastSent || now - *m_lastSent >= interval) {
        send(*m_waiting);
        return;
    }
    if (!m_timer->isActive())
        m_timer->start(*m_lastSent + interval - now);
}

void AimPacer::stop() {
    m_waiting.reset();
    m_timer->stop();
    m_session.stop();
}

void AimPacer::park() {
    // A park is the operator's own go-to: it goes now and outranks what was waiting.
    m_waiting.reset();
    m_timer->stop();
    m_lastSent = m_clock();
    m_session.park();
}
