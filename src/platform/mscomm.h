#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The serial port service the window talks through. The member names are those of
// the serial control the program was first written for, so the link code keeps its
// familiar shape. A fake of this interface serves the unit tests.
class MSComm : public QObject {
    Q_OBJECT
public:
    enum CommEventKind { comEvReceive = 2 };

    using QObject::QObject;
    ~MSComm() override = default;

    // Port number N of COMN. Refused (returns false, value kept) when n < 1 or
    // n > 32767, or while the port is open.
    virtual int CommPort() const = 0;
    virtual bool setCommPort(int n) = 0;

    // "baud,parity,data bits,stop bits": parity N, E, O, M or S (either case), data
    // bits 5 to 8, stop bits 1, 1.5 or 2. A text that does not parse is refused and
    // the previous value stays. Applied at once when the port is open.
    virtual QString Settings() const = 0;
    virtual bool setSettings(const QString& text) = 0;

    // Reading gives the real state. Setting true opens COMN (false when it cannot be
    // opened or is open already); setting false closes it.
    virtual bool PortOpen() const = 0;
    virtual bool setPortOpen(bool open) = 0;

    // Transmits the bytes in one write; false when the port is closed or the write
    // is refused.
    virtual bool Output(const QByteArray& bytes) = 0;

    // Number of bytes one Input() returns, 0 meaning all waiting. Initially 0.
    virtual int InputLen() const = 0;
    virtual void setInputLen(int n) = 0;

    // Waiting bytes at which OnComm is raised with comEvReceive; 0 means no receive
    // notifications. Initially 0.
    virtual int RThreshold() const = 0;
    virtual void setRThreshold(int n) = 0;

    virtual int InBufferCount() const = 0;
    virtual QByteArray Input() = 0;
    virtual int CommEvent() const = 0;

signals:
    // Raised from the event loop, never from inside a call on this object.
    void OnComm();
    // The device went away while open (unplugged, peer hung up). The service has
    // already closed the port when this is raised.
    void portLost();
};
