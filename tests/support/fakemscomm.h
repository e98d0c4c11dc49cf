#pragma once

#include "platform/mscomm.h"

#include <QList>
#include <QSet>

// A serial port service without hardware for unit tests: remembers every Output(),
// opens only the port numbers the test declares present, delivers bytes the test
// injects (raising OnComm from the event loop, as the real service does) and can
// lose its device like an unplugged adapter.
class FakeMSComm : public MSComm {
    Q_OBJECT
public:
    explicit FakeMSComm(QObject* parent = nullptr);

    // Test controls.
    void setPortExists(int n, bool exists = true);
    void setWriteRefused(bool refused) { m_writeRefused = refused; }
    QList<QByteArray> outputs() const { return m_outputs; }
    QByteArray allOutput() const;
    void clearOutputs() { m_outputs.clear(); }
    int openCount() const { return m_openCount; }
    // Bytes arriving on the line; dropped when the port is closed, as on a real line.
    void inject(const QByteArray& bytes);
    // The device goes away: the port reads as closed at once, portLost() follows from
    // the event loop, and the port number no longer exists until setPortExists().
    void loseDevice();

    int CommPort() const override { return m_commPort; }
    bool setCommPort(int n) override;
    QString Settings() const override { return m_settings; }
    bool setSettings(const QString& text) override;
    bool PortOpen() const override { return m_open; }
    bool setPortOpen(bool open) override;
    bool Output(const QByteArray& bytes) override;
    int InputLen() const override { return m_inputLen; }
    void setInputLen(int n) override;
    int RThreshold() const override { return m_rThreshold; }
    void setRThreshold(int n) override;
    int InBufferCount() const override { return static_cast<int>(m_rx.size()); }
    QByteArray Input() override;
    int CommEvent() const override { return m_commEvent; }

private:
    void queueNotify();
    void notifyReceive();

    QSet<int> m_present;
    QList<QByteArray> m_outputs;
    bool m_writeRefused = false;
    int m_openCount = 0;
    int m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    bool m_open = false;
    int m_inputLen = 0;
    int m_rThreshold = 0;
    int m_commEvent = 0;
    QByteArray m_rx;
    bool m_notifyQueued = false;
};
