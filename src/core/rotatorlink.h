// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/protocol.h"

#include <QObject>
#include <QSerialPort>
#include <optional>

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
class RotatorLink : public QObject {
    Q_OBJECT
  public:
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
    // False when the port cannot be opened with its settings, or is open already.
    bool open();
    // Writes out what is still pending before closing.
    void close();
    // The bytes in one write; false when the port is closed or the write is refused.
    bool send(const QByteArray& bytes);

    ReplyParser& parser() { return m_parser; }

  signals:
    void azimuthReceived(const QString& azimuth);
    void openChanged(bool open);
    // The device went away while open (unplugged, peer hung up); the port is closed
    // already. Raised from the event loop.
    void lost();

  private:
    static constexpr int kCloseDrainMs = 200;
    bool apply(const LineSettings& s);
    void closePort(bool writePending);
    void readArrived();
    void errorOccurred(QSerialPort::SerialPortError error);

    QSerialPort* m_port;
    ReplyParser m_parser;
    QString m_workingDir;
    int m_portNumber = 1;
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    LineSettings m_settings;
    bool m_opening = false;
    bool m_closing = false;
    // Counts opens and closes, so a loss notice queued for one opening is not given
    // after the port has been opened again.
    quint64 m_generation = 0;
};
