// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/linesettings.h"

#include <QObject>
#include <QSerialPort>
#include <deque>
#include <optional>

class QSocketNotifier;

// The line to a controller that takes commands as bytes: a serial device, or a TCP
// connection to HOST:PORT (a serial server such as ser2net), which carries the same
// bytes and has no line settings. The device is looked up again at every open, so a
// re-plugged adapter (or a new link) is picked up. What is received is handed on as
// it comes.
//
// Commands wait in a short queue of their own and reach the device whole: one that
// the device takes only in part is finished before anything else is written. A
// device that takes nothing (the controller not reading) holds the queue back; it
// does not close the port.
class CommandChannel : public QObject {
    Q_OBJECT
  public:
    // How a waiting command may give way to a newer one.
    enum class CommandKind {
        Ordered,  // kept, in order (switches, text as typed)
        Movement, // a go-to or a turn: a newer movement makes a waiting one stale
        Stop,     // goes before every waiting command; waiting movements are dropped
    };
    // Commands that may wait; a stop is taken even then (one at most waits).
    static constexpr int queueCapacity = 64;

    explicit CommandChannel(QObject* parent = nullptr);
    ~CommandChannel() override;

    // Whether a device text is HOST:PORT, a controller across the network, rather
    // than a device path.
    static bool isNetworkAddress(const QString& device);
    // What ends a command line for the controller, sent alone after a command a
    // close cut short.
    void setLineEnd(const QByteArray& end) { m_lineEnd = end; }
    // Applies line settings to the open device; false when it cannot take them.
    bool setLine(const LineSettings& s);
    bool isOpen() const;
    // Opens the device at path (a COMN link is followed) with the line, or connects to
    // HOST:PORT; false, and why for the operator, when it cannot be opened with them,
    // the connection fails, or it is open already.
    bool open(const QString& path, const LineSettings& line, const QString& lineText,
              QString* error);
    // Writes out what is still pending before closing.
    void close();
    // Queues the bytes as one command and writes what the device takes now. False
    // when the port is closed, the device went away, or the queue is full; a
    // movement dropped later for a newer one has been accepted (the newer target
    // goes out instead).
    bool send(const QByteArray& bytes, CommandKind kind = CommandKind::Ordered);
    // Commands accepted and not yet wholly with the device.
    qsizetype queuedCommands() const { return static_cast<qsizetype>(m_queue.size()); }

  signals:
    void received(const QByteArray& bytes);
    void openChanged(bool open);
    // The device went away while open (unplugged, peer hung up); the port is closed
    // already. Raised from the event loop.
    void lost();

  private:
    static constexpr int kCloseDrainMs = 200;
    struct Command {
        QByteArray bytes;
        CommandKind kind;
    };
    enum class WriteOutcome { Done, DeviceFull, DeviceGone };

    static constexpr int kConnectMs = 2000;
    bool apply(const LineSettings& s);
    bool openNetwork(const QString& address, QString* error);
    // Set up once the descriptor is open: non-blocking writes and their notifier.
    void setUpOpened();
    void readSocket();
#ifndef Q_OS_WIN
    // The descriptor written to: the socket's, else the serial port's.
    int handle() const;
#endif
    void closePort(bool writePending);
    void readArrived();
    void errorOccurred(QSerialPort::SerialPortError error);
    bool deviceGone() const;
    void closeForLoss();
    // Writes waiting commands until the queue is empty or the device is full.
    WriteOutcome writeQueued();
    // writeQueued(), closing the port if the device has gone; false then.
    bool pump();
    // Bytes the device took (0 when it is full), or -1 when it has gone.
    qint64 writeToDevice(const char* data, qint64 size);
    void dropWaiting(CommandKind kind);

    QSerialPort* m_port;
    bool m_opening = false;
    bool m_closing = false;
    // Counts opens and closes, so a loss notice queued for one opening is not given
    // after the port has been opened again.
    quint64 m_generation = 0;
    // The front command may be partly written; it is never dropped or passed.
    std::deque<Command> m_queue;
    qsizetype m_frontWritten = 0;
    // A close cut a command short: the device (or the controller behind it) may hold
    // its first part, which would prefix the next command.
    bool m_fragmentLeft = false;
    QByteArray m_lineEnd = QByteArrayLiteral("\r\n");
    QSocketNotifier* m_writable = nullptr;
    // The connected socket for HOST:PORT, -1 otherwise.
    int m_socket = -1;
    QSocketNotifier* m_readable = nullptr;
};
