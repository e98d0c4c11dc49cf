// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/links/nativelink.h"
#include "core/session/rotatorsession.h"
#include "pseudoterminal.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// A scratch working folder the test works in, with COM3 on a pseudo-terminal in
// it; the folder the test started in is current again when it goes.
struct WorkingFolder {
    QString home = QDir::currentPath();
    QTemporaryDir dir;
    PseudoTerminal pty;
    [[nodiscard]] bool enter() { return QDir::setCurrent(dir.path()) && pty.linkAs(dir.path(), 3); }
    ~WorkingFolder() { QDir::setCurrent(home); }
};

// What reached the controller on the pseudo-terminal since the last call, once a
// marker sent last has arrived, so nothing is still on its way; with the port
// closed, what has come.
inline QByteArray controllerLine(RotatorSession& session, PseudoTerminal& pty) {
    if (!static_cast<NativeLink&>(session.link()).channel().send("#"))
        return pty.received();
    if (!QTest::qWaitFor([&pty] { return pty.received().endsWith('#'); }))
        return "timed out: " + pty.received();
    const QByteArray got = pty.received().chopped(1);
    pty.clearReceived();
    return got;
}

// A rotator session on COM7, with a real pseudo-terminal standing in for the
// controller.
struct SessionRig {
    QTemporaryDir dir;
    PseudoTerminal pty;
    RotatorSession session;

    CommandChannel& channel() { return static_cast<NativeLink&>(session.link()).channel(); }
    bool open() {
        if (!pty.linkAs(dir.path(), 7))
            return false;
        session.link().setWorkingDirectory(dir.path());
        session.openLink(QStringLiteral("7"), QStringLiteral("9600,N,8,1"));
        return session.link().isOpen();
    }
    QByteArray line() { return controllerLine(session, pty); }
    // The controller answers; true once the link has taken the reply.
    bool reply(const QByteArray& text) {
        QSignalSpy heading(&session.link(), &ControllerLink::headingReceived);
        pty.write(text);
        return heading.wait();
    }
};
