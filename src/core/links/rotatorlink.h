// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/protocol.h"

#include <QObject>
#include <QSerialPort>
#include <deque>
#include <optional>

class QSocketNotifier;

// A parsed line settings text "baud,parity,data bits,stop bits".
struct LineSettings {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// Reads "9600,N,8,1": baud a positive whole number, parity N, E, O, M or S (either
// case), data bits 5 to 8, stop bits 1, 1.5 or 2; blanks around a field are allowed.
// A UART makes 1.5 stop bits only with 5 data bits, so 1.5 is refused with more.
std::optional<LineSettings> parseLineSettings(const QString& text);

// The serial line to the rotator controller. COMN is the device comDevicePath()
// gives, looked up again at every open so that a re-plugged adapter (or a new link)
// is picked up. Everything received goes through the reply parser; each accepted
// azimuth is emitted.
//
// Commands wait in a short queue of their own and reach the device whole: one that
// the device takes only in part is finished before anything else is written. A
// device that takes nothing (the controller not reading) holds the queue back; it
// does not close the port.
class RotatorLink : public QObject {
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

    explicit RotatorLink(QObject* parent = nullptr);
    ~RotatorLink() override;

    // Port number N of COMN, kept across closing and opening. Refused (false, the
    // number kept) when out of range or while the port is open.
    bool setPortNumber(int n);
    int portNumber() const { return m_portNumber; }
    // Refused (false, the previous settings kept) when the text does not parse or
    // the open device cannot take it.
    bool setLineSettings(const QString& text);
    QString lineSettings() const { return m_settingsText; }
    // Directory searched for COMN links; empty means the current directory at the
    // time of opening.
    void setWorkingDirectory(const QString& dir) { m_workingDir = dir; }
    QString workingDirectory() const { return m_workingDir; }

    bool isOpen() const;
    // Why the last open failed, for the operator; empty once a port has opened.
    QString openError() const { return m_openError; }
    // False when the port cannot be opened with its settings, or is open already.
    bool open();
    // Writes out what is still pending before closing.
    void close();
    // Queues the bytes as one command and writes what the device takes now. False
    // when the port is closed, the device went away, or the queue is full; a
    // movement dropped later for a newer one has been accepted (the newer target
    // goes out instead).
    bool send(const QByteArray& bytes, CommandKind kind = CommandKind::Ordered);
    // Commands accepted and not yet wholly with the device.
    qsizetype queuedCommands() const { return static_cast<qsizetype>(m_queue.size()); }

    ReplyParser& parser() { return m_parser; }

  signals:
    void azimuthReceived(const QString& azimuth);
    void openChanged(bool open);
    // An open failed, and why (permission, no such device, busy, line settings).
    void openRefused(const QString& reason);
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

    bool apply(const LineSettings& s);
    bool refuseOpen(const QString& reason);
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
    ReplyParser m_parser;
    QString m_workingDir;
    QString m_openError;
    int m_portNumber = 1;
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    LineSettings m_settings;
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
    QSocketNotifier* m_writable = nullptr;
};
