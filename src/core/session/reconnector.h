// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QFileSystemWatcher;
class QTimer;
class RotatorSession;

// Takes the port up again by itself when the device went away while connected (an
// adapter unplugged, a controller that hung up) and is back at the same COMn. A
// port the operator disconnected is never reopened: only a loss starts the wait, and
// anything the operator does with the Connect button ends it. It waits on the file
// system (the folder of the COMn links, and /dev, where devices appear) and, while
// and only while it waits, on a slow timer, for a device that comes back without a
// change the watcher sees. A controller across the network (HOST:PORT) cannot be
// seen coming back, and each try may wait for the connection: it is tried on the
// timer alone, less and less often, up to longestNetworkRetryMs apart.
class Reconnector : public QObject {
    Q_OBJECT
  public:
    static constexpr int retryMs = 1000;
    static constexpr int longestNetworkRetryMs = 32000;

    explicit Reconnector(RotatorSession& session, QObject* parent = nullptr);

    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }
    bool isWaiting() const;

  signals:
    // The port is open again: "COM7", or the device AZIVEX.INI names.
    void reconnected(const QString& portName);

  private:
    void startWaiting();
    void stopWaiting();
    void tryOpen();

    RotatorSession& m_session;
    bool m_enabled = false;
    bool m_reopening = false;
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer* m_timer;
};
