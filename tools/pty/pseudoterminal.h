// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// The far end of a serial line, on a real pseudo-terminal: a program opens slavePath()
// (usually through a link such as ".../COM3") as its serial port; this side reads what
// the program sends and writes what it should receive. Both directions are driven by
// the event loop of the thread the object lives in, so nothing here ever blocks.
class PseudoTerminal : public QObject {
    Q_OBJECT
  public:
    // Opens a pseudo-terminal at once; on failure isOpen() is false and errorString()
    // says why.
    explicit PseudoTerminal(QObject* parent = nullptr);
    // Removes the link (if still ours) and closes the terminal.
    ~PseudoTerminal() override;

    bool isOpen() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    QString linkPath() const { return m_linkPath; }
    // Why the last open, link or write failed.
    QString errorString() const { return m_error; }

    // Points linkPath at the slave. An existing symbolic link is replaced; anything
    // else at that path is left alone and the call fails.
    bool createLink(const QString& linkPath);
    // Makes "<dir>/COM<n>" the link.
    bool linkAs(const QString& dir, int comNumber);
    // Removes the link, but only if it still points at this slave; returns whether it did.
    bool removeLink();

    // Sends bytes to the program; what the terminal cannot take at once follows from
    // the event loop, in order. False only when the terminal is closed or broken.
    bool write(const QByteArray& bytes);
    // Bytes accepted by write() and not yet handed to the terminal.
    qsizetype pendingBytes() const { return m_pending.size(); }
    // Above 0: when more than this many written bytes lie unread at the program's end,
    // write() first drops them, as a line nobody listens to would have lost them, so a
    // program that opens the port later is not greeted by a backlog. A reader takes
    // data as it comes, so its queue stays short. 0 (the default) keeps everything.
    // The terminal counts bytes as unread a moment after they are written, so this
    // suits writes spread over time, such as reports, rather than one burst.
    void setBacklogLimit(int bytes) { m_backlogLimit = bytes; }

    // While false, what the program sends stays unread in the terminal, which fills
    // and then takes no more, as with a controller that has stopped reading. True
    // again reads what waits.
    void setReading(bool reading);

    // Everything the program has sent since the last clearReceived().
    QByteArray received() const { return m_received; }
    void clearReceived() { m_received.clear(); }

    // Closes the terminal, so the program's end sees a hang-up. The link stays.
    void hangUp();
    // Opens a fresh pseudo-terminal (a new slavePath()), hanging up the old one first.
    bool reopen();

  signals:
    void dataReceived(const QByteArray& bytes);
    // The write queue has emptied after the terminal had held some of it back.
    void drained();

  private:
    bool fail(const QString& what);
    void readAvailable();
    bool flushPending();

    int m_master = -1;
    // Held open for the whole life: without it the master reads EIO (and polls as hung
    // up) whenever the program at the other end has closed its side.
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
    QString m_error;
    QByteArray m_received;
    QByteArray m_pending;
    int m_backlogLimit = 0;
    bool m_reading = true;
    QSocketNotifier* m_reader = nullptr;
    QSocketNotifier* m_writer = nullptr;
};
