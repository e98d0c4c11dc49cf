// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The real window in a scratch folder, on a controller standing in on a
// pseudo-terminal: what the benchmarks that time the map's repaint start from.
#include "core/application/operatingcore.h"
#include "core/services/servicemodel.h"
#include "gui/appstyle.h"
#include "gui/mainwindow.h"
#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace bench {

struct WindowRig {
    QTemporaryDir dir;
    PseudoTerminal pty;
    OperatingCore core;
    ServiceModel services{core.store()};
    MainWindow window{core, services};

    // Shown in the program's style, with the first replies taken (the settings line
    // waits in front of them); false when any step failed.
    bool start() {
        AppStyle::install();
        QDir::setCurrent(dir.path());
        QFile settings(QStringLiteral("AZIVEX.DAT"));
        if (!pty.isOpen() || !pty.linkAs(dir.path(), 3) ||
            !QFile::copy(QStringLiteral(AZIVEX_MAPS_DIR "/world1.bmp"), "world1.bmp") ||
            !settings.open(QIODevice::WriteOnly))
            return false;
        settings.write("3,9600,N,8,1:10-0/0\r\n");
        settings.close();
        if (!core.start())
            return false;
        window.show();
        core.session().setCommanded(QStringLiteral("45"));
        pty.write("AZ=001\r\nAZ=002\r\nAZ=003\r\nAZ=004\r\n");
        while (core.session().heading() != QStringLiteral("4"))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return true;
    }
};

} // namespace bench
