#pragma once

#include "platform/mscomm.h"

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

// The serial port service over QSerialPort. COMN is the device comDevicePath() gives
// for the working directory, looked up again at every open so that a re-plugged
// adapter (or a new link) is picked up.
class SerialMSComm : public MSComm {
    Q_OBJECT
public:
    explicit SerialMSComm(QObject* parent = nullptr);
    ~SerialMSComm() override;

    // Directory searched for COMN links; empty (the default) means the current
    // directory at the time of the open.
    void setWorkingDirectory(const QString& dir) { m_workingDir = dir; }
    QString workingDirectory() const { return m_workingDir; }

    int CommPort() const override { return m_commPort; }
    bool setCommPort(int n) override;
    QString Settings() const override { return m_settingsText; }
    bool setSettings(const QString& text) override;
    bool PortOpen() const override;
    bool setPortOpen(bool open) override;
    bool Output(const QByteArray& bytes) override;
    int InputLen() const override { return m_inputLen; }
    void setInputLen(int n) override;
    int RThreshold() const override { return m_rThreshold; }
    void setRThreshold(int n) override;
    int InBufferCount() const override { return static_cast<int>(m_rx.size() - m_rxPos); }
    QByteArray Input() override;
    int CommEvent() const override { return m_commEvent; }

    // Bytes kept for Input() at most; older bytes are dropped beyond this, so a port
    // that nobody reads cannot grow without end.
    static constexpr qsizetype kReceiveLimit = 64 * 1024;

private:
    bool apply(const LineSettings& s);
    void readArrived();
    void notifyReceive();
    void errorOccurred(QSerialPort::SerialPortError error);
    void closePort();
    void clearReceive();

    QSerialPort* m_port;
    QString m_workingDir;
    int m_commPort = 1;
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    LineSettings m_settings;
    int m_inputLen = 0;
    int m_rThreshold = 0;
    int m_commEvent = 0;
    // Received bytes not yet read: m_rx from m_rxPos on. Reading advances m_rxPos, so
    // one byte per Input() costs the same whatever is waiting behind it.
    QByteArray m_rx;
    qsizetype m_rxPos = 0;
    bool m_notifyQueued = false;
    bool m_opening = false;
    bool m_closing = false;
    // Counts opens and closes, so a loss notice queued for one opening is not given
    // after the port has been opened again.
    quint64 m_generation = 0;
};
