#pragma once

#include <QByteArray>
#include <QString>

// The controller's end of a pseudo-terminal, reachable through a symbolic link
// (for example ".../COM3") that the program under test opens as its serial port.
class PtyPort {
  public:
    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Opens the master side non-blocking, sets the slave raw. On failure returns
    // false with a message in *error.
    bool open(QString* error);
    // Points linkPath at the slave. An existing symbolic link is replaced; anything
    // else at that path is left alone and the call fails.
    bool createLink(const QString& linkPath, QString* error);
    // Removes the link, but only if it still points at this port's slave; returns
    // whether it did.
    bool removeLink();

    int masterFd() const { return m_master; }
    QString slavePath() const { return m_slavePath; }
    QString linkPath() const { return m_linkPath; }

    // Writes bytes; returns false if they did not all go out. Unread data that has piled up because
    // nobody has the port open is dropped first, as a real line would have lost it, so a program
    // that opens the port later is not greeted by a backlog of old reports.
    bool write(const QByteArray& bytes);

  private:
    int m_master = -1;
    // Held open for the whole run: without it the master reads EIO (and polls as
    // hung up) whenever the program at the other end has closed its side.
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
};
