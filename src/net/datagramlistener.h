// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "net/serviceserver.h"

#include <QHostAddress>

class QUdpSocket;

// What every datagram listener shares: the socket bound to "[ADDRESS:]PORT" (a
// multicast group's port shared with the group's other receivers), every pending
// datagram read at each wake-up (no bound on their count), each bounded in size, and
// a count of those not understood, logged (control characters escaped) and never
// shown in a box.
class DatagramListener : public ServiceServer {
    Q_OBJECT
  public:
    // Commands are short texts; anything longer is no command of ours.
    static constexpr qsizetype maxDatagramBytes = 2048;

    explicit DatagramListener(const QString& name, QObject* parent = nullptr);

    bool listen(const QHostAddress& address, quint16 port);
    // Listens on "[ADDRESS:]PORT" from now on, or on nothing when it is empty. What
    // went wrong, or nothing.
    QString serve(const QString& endpoint) override;
    void close();
    quint16 port() const;
    // Why the last listen failed.
    QString errorString() const;

    // Datagrams acted on, and those not understood (the last shortened, for a tooltip).
    ServiceCounters counters() const { return m_counters; }

  signals:
    void ignored(int count, const QString& what);

  protected:
    // Handled: acted on. Understood: the sender's own traffic, nothing to do.
    enum class Outcome { NotUnderstood, Understood, Handled };
    void setMaxDatagramBytes(qsizetype bytes) { m_maxBytes = bytes; }
    virtual Outcome handle(const QByteArray& datagram, const QHostAddress& sender,
                           quint16 senderPort) = 0;
    QUdpSocket& socket() { return *m_socket; }

  private:
    bool joinGroup(const QHostAddress& group);
    void readPending();
    void ignore(const QByteArray& datagram, const QHostAddress& sender);

    QString m_name;
    QUdpSocket* m_socket;
    qsizetype m_maxBytes = maxDatagramBytes;
    QString m_error; // why the last listen failed
    ServiceCounters m_counters;
};
