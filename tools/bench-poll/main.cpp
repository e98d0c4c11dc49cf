// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the CPU time that polling a GS-232B controller costs this process: a link
// asking the simulated controller for the position every 500 ms (and every 50 ms,
// to show how it scales), beside an idle event loop measured in the same run.
//
//   azivex-bench-poll [SECONDS]   each measurement lasts SECONDS (default 10)
#include "core/links/gs232link.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for the time; the CPU share of one core it took.
double cpuShare(int seconds) {
    const double start = cpuSeconds();
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    return (cpuSeconds() - start) / seconds;
}

void print(const char* what, double share, int answers = -1) {
    std::printf("  %-36s %8.3f ms CPU a second  %7.4f %% of a core", what, share * 1e3,
                share * 100);
    if (answers >= 0)
        std::printf("  (%d answers)", answers);
    std::printf("\n");
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("COM3"));
    QProcess sim;
    sim.start(QStringLiteral(AZIVEX_SIMCONTROLLER), {QStringLiteral("--protocol=gs232b"), device});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "the simulated controller did not start\n");
        return 1;
    }
    while (!QFileInfo::exists(device))
        sim.waitForReadyRead(100);

    std::printf("polling a GS-232B on a pseudo-terminal, %d s each\n", seconds);
    print("reference: idle event loop", cpuShare(seconds));
    for (const int pollMs : {500, 50}) {
        Gs232Link link(Gs232Link::Variant::B);
        link.setDevice(device);
        link.setPollInterval(pollMs);
        int answers = 0;
        QObject::connect(&link, &ControllerLink::headingReceived, [&answers] { ++answers; });
        if (!link.open()) {
            std::fprintf(stderr, "%s\n", qPrintable(link.openError()));
            return 1;
        }
        const double share = cpuShare(seconds);
        print(qPrintable(QStringLiteral("link polling every %1 ms").arg(pollMs)), share, answers);
        link.close();
    }
    sim.terminate();
    sim.waitForFinished();
    return 0;
}
