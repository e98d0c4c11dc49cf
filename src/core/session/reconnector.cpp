// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/session/reconnector.h"

#include "core/links/commandchannel.h"
#include "core/session/rotatorsession.h"

#include <QFileSystemWatcher>
#include <QTimer>

#include <algorithm>

Reconnector::Reconnector(RotatorSession& session, QObject* parent)
    : QObject(parent), m_session(session), m_timer(new QTimer(this)) {
    m_timer->setInterval(retryMs);
    connect(m_timer, &QTimer::timeout, this, &Reconnector::tryOpen);
    connect(&session, &RotatorSession::lost, this, &Reconnector::startWaiting);
    // Connecting or disconnecting by hand is the operator's own choice.
    connect(&session, &RotatorSession::disconnectOfferChanged, this, [this] {
        if (!m_reopening)
            stopWaiting();
    });
}

void Reconnector::setEnabled(bool on) {
    m_enabled = on;
    if (!on)
        stopWaiting();
}

bool Reconnector::isWaiting() const {
    return m_timer->isActive();
}

void Reconnector::startWaiting() {
    if (!m_enabled || m_session.link().isOpen())
        return;
    const QString dir = m_session.link().workingDirectory();
    stopWaiting(); // a loss while waiting starts one wait, not two
    m_timer->setInterval(retryMs);
    if (CommandChannel::isNetworkAddress(m_session.link().devicePath())) {
        m_timer->start();
        return;
    }
    m_watcher = new QFileSystemWatcher(this);
    m_watcher->addPaths({dir.isEmpty() ? QStringLiteral(".") : dir, QStringLiteral("/dev")});
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &Reconnector::tryOpen);
    m_timer->start();
}

void Reconnector::stopWaiting() {
    m_timer->stop();
    // Later: the wait may end inside the watcher's own signal.
    if (m_watcher)
        m_watcher->deleteLater();
    m_watcher = nullptr;
}

void Reconnector::tryOpen() {
    // Only a device that is there is tried, so a failed attempt does not show in the
    // status line every second.
    if (!m_session.link().devicePresent())
        return;
    m_reopening = true;
    m_session.toggleConnection();
    m_reopening = false;
    if (!m_session.link().isOpen()) {
        if (!m_watcher)
            m_timer->setInterval(std::min(2 * m_timer->interval(), longestNetworkRetryMs));
        return;
    }
    stopWaiting();
    emit reconnected(m_session.link().portName());
}
