#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// A real pseudo-terminal standing in for the controller: the program under test
// opens slavePath() (usually through a COMn link in its working directory); the test
// reads what was written from received() and answers with write(). Reading is
// driven by the event loop, so tests wait with QTRY_* macros, never with sleeps.
class PseudoTerminal : public QObject {
    Q_OBJECT
public:
    explicit PseudoTerminal(QObject* parent = nullptr);
    ~PseudoTerminal() override;

    bool isOpen() const;
    QString slavePath() const;
    // Makes "<dir>/COM<n>" a symbolic link to slavePath().
    bool linkAs(const QString& dir, int comNumber) const;

    QByteArray received() const { return m_received; }
    void clearReceived() { m_received.clear(); }
    // Sends bytes to the program; what the terminal cannot take at once follows from
    // the event loop, in order. False only when the terminal is closed or broken.
    bool write(const QByteArray& bytes);
    // Bytes accepted by write() and not yet handed to the terminal.

    // Closes the master side, so the program's end sees a hang-up.
    void hangUp();
    // Opens a fresh pseudo-terminal after a hang-up (a new slavePath()).
    bool reopen();

signals:
    void bytesReceived();

private:
    void readAvailable();
    bool flushPending();
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QByteArray m_received;
    QSocketNotifier* m_notifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_pending;
};
