// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/linesettings.h"
#include "core/links/rotationrange.h"

#include <QObject>
#include <QString>
#include <QTimer>

// The session's way to one kind of controller: it opens and closes the port, turns
// go-to, turn, stop, switch and typed commands into that controller's own, and tells
// the headings it reports. Each controller kind is a class of its own.
//
// The port is chosen as the settings tab chooses it (COMn and the line settings),
// unless a device is set: a device path, or HOST:PORT for a controller across the
// network.
//
// A controller that stops answering is said to be silent: a polled link when no
// answer came for timeout(), a link whose controller speaks only when it moves when
// a movement got no report within timeout(). Its first report makes it answer again.
class CommandChannel;

class ControllerLink : public QObject {
    Q_OBJECT
  public:
    enum class Direction { Ccw, Cw };
    enum class GoTo {
        Sent,
        NoCommand, // the position has no go-to command (too long for the controller)
        Refused,   // the port is open but takes no more for now, or the controller refused
    };
    static constexpr int defaultTimeoutMs = 3000;

    explicit ControllerLink(QObject* parent = nullptr);

    // Port number N of COMN, kept across closing and opening. Refused (false, the
    // number kept) when out of range or while the port is open.
    bool setPortNumber(int n);
    int portNumber() const { return m_portNumber; }
    // Refused (false, the previous settings kept) when the text does not parse or
    // the open port cannot take it.
    bool setLineSettings(const QString& text);
    QString lineSettings() const { return m_settingsText; }
    const LineSettings& line() const { return m_line; }
    // Directory searched for COMN links; empty means the current directory at the
    // time of opening.
    void setWorkingDirectory(const QString& dir) { m_workingDir = dir; }
    QString workingDirectory() const { return m_workingDir; }
    // A device path or HOST:PORT used instead of COMn; empty for COMn.
    void setDevice(const QString& device) { m_device = device; }
    QString device() const { return m_device; }
    // What the port is, for the operator: "COM3", "/dev/ttyUSB0", "pi:4001".
    QString portName() const;
    // The device to open: the set device, else COMn's path; empty when COMn names none.
    QString devicePath() const;
    // Whether an open may be worth trying now, for reconnecting: the device is there
    // (a network address always may be).
    virtual bool devicePresent() const;

    // The controller's own azimuth range, where it tells one; 0-360 otherwise.
    virtual RotationRange ownRange() const { return {}; }
    // How often a polled link asks for the position.
    void setPollInterval(int ms) { m_pollMs = ms; }
    int pollInterval() const { return m_pollMs; }
    void setTimeout(int ms) { m_silence.setInterval(ms); }
    int timeout() const { return m_silence.interval(); }
    // False while the controller is silent.
    bool answering() const { return m_answering; }

    virtual bool isOpen() const = 0;
    // Why the last open failed, for the operator; empty once a port has opened.
    QString openError() const { return m_openError; }
    // False when the port cannot be opened with its settings, or is open already.
    virtual bool open() = 0;
    // Writes out what is still pending before closing.
    virtual void close() = 0;

    // A go-to to a position in the controller's units, as text ("90", "390", "-90").
    virtual GoTo goTo(const QString& position) = 0;
    // These: false when nothing was sent (port closed, or the command turned away).
    virtual bool turn(Direction direction) = 0;
    virtual bool stop() = 0;
    // Remote switch 1 to 8; false where the controller has none.
    virtual bool setSwitch(int number, bool on) = 0;
    // Text typed by the operator, as the controller's command; false where the
    // controller takes no typed commands.
    virtual bool sendText(const QString& text) = 0;
    // Commands accepted and not yet wholly with the controller.
    virtual qsizetype queuedCommands() const { return 0; }
    // Text already waiting in front of the first reply, and its dropping; for a
    // controller whose replies are read as a character stream.
    virtual void seedReplies(const QString&) {}
    virtual void clearReplies() {}

  signals:
    // A heading the controller reported: as shown (0 to 359) and in its own units.
    void headingReceived(const QString& azimuth, double position);
    void openChanged(bool open);
    // An open failed, and why (permission, no such device, busy, line settings).
    void openRefused(const QString& reason);
    // The device went away while open; the port is closed already. Raised from the
    // event loop.
    void lost();
    void answeringChanged(bool answering);
    // A command the controller did not carry out, and why (its error, a time-out).
    void commandFailed(const QString& reason);

  protected:
    // Applies line settings to an open port; false when it cannot take them.
    virtual bool applyLine(const LineSettings&) { return true; }
    bool refuseOpen(const QString& reason);
    // Opens the channel on the device (COMn's or the one set) with the line; said
    // through refuseOpen() when it cannot be opened.
    bool openChannel(CommandChannel& channel);
    void clearOpenError() { m_openError.clear(); }
    // A polled link answers at every poll; watched from opening to closing.
    void setPolled(bool polled) { m_polled = polled; }
    void startWatching();
    void stopWatching();
    // A report came: the controller answers.
    void noteAnswer();

  private:
    void fallSilent();

    int m_portNumber = 1;
    QString m_settingsText = QStringLiteral("9600,N,8,1");
    LineSettings m_line;
    QString m_workingDir;
    QString m_device;
    QString m_openError;
    int m_pollMs = 500;
    QTimer m_silence;
    bool m_polled = false;
    bool m_answering = true;
};
