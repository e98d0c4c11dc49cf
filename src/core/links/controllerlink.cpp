// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/controllerlink.h"

#include "core/links/serialports.h"
#include "core/links/commandchannel.h"

#include <QDir>
#include <QFileInfo>

ControllerLink::ControllerLink(QObject* parent) : QObject(parent) {
    m_silence.setSingleShot(true);
    m_silence.setInterval(defaultTimeoutMs);
    connect(&m_silence, &QTimer::timeout, this, &ControllerLink::fallSilent);
}

bool ControllerLink::setPortNumber(int n) {
    if (n < 1 || n > kHighestComNumber || isOpen())
        return false;
    m_portNumber = n;
    return true;
}

bool ControllerLink::setLineSettings(const QString& text) {
    const std::optional<LineSettings> parsed = parseLineSettings(text);
    if (!parsed)
        return false;
    if (isOpen() && !applyLine(*parsed)) {
        // The port refused part of it: put the line back as it was.
        applyLine(m_line);
        return false;
    }
    m_line = *parsed;
    m_settingsText = text;
    return true;
}

QString ControllerLink::portName() const {
    return m_device.isEmpty() ? QStringLiteral("COM%1").arg(m_portNumber) : m_device;
}

QString ControllerLink::devicePath() const {
    if (!m_device.isEmpty())
        return m_device;
    return comDevicePath(m_portNumber, m_workingDir.isEmpty() ? QDir::currentPath() : m_workingDir);
}

bool ControllerLink::devicePresent() const {
    const QString path = devicePath();
    if (path.isEmpty())
        return false;
    return CommandChannel::isNetworkAddress(path) || !QFileInfo(path).canonicalFilePath().isEmpty();
}

bool ControllerLink::refuseOpen(const QString& reason) {
    m_openError = reason;
    emit openRefused(reason);
    return false;
}

bool ControllerLink::openChannel(CommandChannel& channel) {
    const QString path = devicePath();
    if (path.isEmpty())
        return refuseOpen(QStringLiteral("COM%1 names no device").arg(m_portNumber));
    QString error;
    if (!channel.open(path, m_line, m_settingsText, &error))
        return refuseOpen(error);
    m_openError.clear();
    return true;
}

void ControllerLink::startWatching() {
    if (m_polled || !m_silence.isActive())
        m_silence.start();
}

void ControllerLink::stopWatching() {
    m_silence.stop();
    // A closed port says nothing of the controller: it is not silent.
    if (!m_answering) {
        m_answering = true;
        emit answeringChanged(true);
    }
}

void ControllerLink::noteAnswer() {
    if (m_polled)
        m_silence.start();
    else
        m_silence.stop();
    if (!m_answering) {
        m_answering = true;
        emit answeringChanged(true);
    }
}

void ControllerLink::fallSilent() {
    if (!isOpen() || !m_answering)
        return;
    m_answering = false;
    emit answeringChanged(false);
}
