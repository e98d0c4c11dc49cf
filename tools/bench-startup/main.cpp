// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up time seen from outside: from starting a program to its top-level window
// being mapped on the X server, for the program and for a minimal Qt window,
// alternately so that load from other work on the machine falls on both alike.
// Without DISPLAY (or with --own-server) it runs itself again under scripts/with-xvfb:
// on a server of its own no window manager takes the window into a frame, and no
// other program's window is taken for it.
#include "core/application/commandline.h"
#include "core/settings/settings.h"
#include "core/settings/settingsfile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <stdexcept>

namespace {

const QString kName = QStringLiteral("azivex-bench-startup");

// Milliseconds from starting program in dir to the mapping of a top-level window that
// names the program's process as its own; the program is ended then.
double timeToMapped(xcb_connection_t* c, xcb_atom_t pidAtom, const QString& program,
                    const QString& dir) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip:
    while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) // the last run's events are in
        std::free(ev);
    QProcess process;
    process.setWorkingDirectory(dir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    std::string failure;
    while (failure.empty()) {
        while (xcb_generic_event_t* ev = xcb_poll_for_event(c)) {
            const double at = static_cast<double>(clock.nsecsElapsed()) / 1e6; // as it is read
            const auto* e = reinterpret_cast<xcb_map_notify_event_t*>(ev);
            bool ours = false;
            if ((ev->response_type & 0x7f) == XCB_MAP_NOTIFY && e->event == root &&
                !e->override_redirect) {
                auto* pid = xcb_get_property_reply(
                    c, xcb_get_property(c, 0, e->window, pidAtom, XCB_ATOM_CARDINAL, 0, 1),
                    nullptr);
                ours = pid && xcb_get_property_value_length(pid) == 4 &&
                       *static_cast<const uint32_t*>(xcb_get_property_value(pid)) ==
                           static_cast<uint32_t>(process.processId());
                std::free(pid);
            }
            std::free(ev);
            if (ours) {
                process.kill();
                process.waitForFinished();
                return at;
            }
        }
        if (xcb_connection_has_error(c))
            failure = "lost the connection to the X server";
        else if (process.waitForFinished(0) || process.state() == QProcess::NotRunning)
            failure = "it ended before showing its window (exit status " +
                      std::to_string(process.exitCode()) + ")";
        else if (clock.elapsed() > 10000)
            failure = "no window within 10 s";
        // Wakes at once for an event; the slices only look for the child's end.
        pollfd x{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&x, 1, 20);
    }
    process.kill();
    process.waitForFinished();
    throw std::runtime_error(QFileInfo(program).fileName().toStdString() + ": " + failure +
                             "; its output:\n" + process.readAll().right(2000).toStdString());
}

// Median and 90th percentile (nearest rank).
std::pair<double, double> figures(std::vector<double> v) {
    std::ranges::sort(v);
    const std::size_t n = v.size(), p90 = std::max<std::size_t>(std::ceil(0.9 * n), 1) - 1;
    return {(v[(n - 1) / 2] + v[n / 2]) / 2, v[p90]};
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times start to window mapped for PROGRAM (default: the azivex built beside it) and\n"
        "for a minimal Qt window, alternately, after one warm-up run of each, and prints the\n"
        "median and 90th percentile of each and their ratio."));
    parser.addPositionalArgument(QStringLiteral("PROGRAM"), QStringLiteral("The program to time."));
    const QCommandLineOption runsOption(QStringLiteral("runs"),
                                        QStringLiteral("Measured runs of each (default 20)."),
                                        QStringLiteral("N"), QStringLiteral("20"));
    const QCommandLineOption maxRatioOption(
        QStringLiteral("max-ratio"),
        QStringLiteral("Exit with status 1 when the ratio of medians exceeds R."),
        QStringLiteral("R"), QStringLiteral("0"));
    const QCommandLineOption ownServer(QStringLiteral("own-server"),
                                       QStringLiteral("Start an Xvfb even when DISPLAY is set."));
    parser.addOptions({runsOption, maxRatioOption, ownServer});
    const QStringList args = app.arguments();
    if (const auto status =
            CommandLine::parse(parser, kName, args, CommandLine::Positional::Allowed))
        return *status;
    bool runsOk = false, ratioOk = false;
    const int runs = parser.value(runsOption).toInt(&runsOk);
    const double maxRatio = parser.value(maxRatioOption).toDouble(&ratioOk);
    if (!runsOk || runs < 1 || runs > 10000 || !ratioOk || !(maxRatio >= 0))
        return CommandLine::usageError(
            kName, QStringLiteral("--runs needs a whole number from 1 to 10000, --max-ratio one "
                                  "from 0 up"));
    const QString program =
        parser.positionalArguments().value(0, QStringLiteral(AZIVEX_BENCH_PROGRAM));
    const QString minimal = QStringLiteral(AZIVEX_BENCH_MINIMAL);
    if (parser.positionalArguments().size() > 1 || !QFileInfo(program).isFile())
        return CommandLine::usageError(kName, QStringLiteral("one program that exists, please"));

    // Again on a server of its own, started as the scripts start theirs.
    if (!qEnvironmentVariableIsSet("AZIVEX_BENCH_OWN_SERVER") &&
        (parser.isSet(ownServer) || qEnvironmentVariableIsEmpty("DISPLAY"))) {
        qputenv("AZIVEX_BENCH_OWN_SERVER", "1");
        QStringList again = QStringList{app.applicationFilePath()} + args.mid(1);
        again.removeAll(QStringLiteral("--own-server"));
        return QProcess::execute(QStringLiteral(AZIVEX_WITH_XVFB), again);
    }
    qputenv("QT_QPA_PLATFORM", "xcb");

    try {
        // The working directory holds only what a normal start reads: picture 1 and
        // the settings of a first start, written again before every run.
        QTemporaryDir work;
        const QString settings = work.filePath(SettingsCodec::fileName);
        const QByteArray settingsText = SettingsCodec::fileText(SettingsCodec::defaultDataLine(
            QStringLiteral("3"), QStringLiteral("9600,N,8,1"), QStringLiteral("0")));
        if (!QFile::copy(QStringLiteral(AZIVEX_BENCH_MAP),
                         work.filePath(QStringLiteral("world1.bmp"))))
            throw std::runtime_error("cannot copy " AZIVEX_BENCH_MAP);
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY; // top-level windows
        xcb_change_window_attributes(c, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root,
                                     XCB_CW_EVENT_MASK, &mask);
        if (xcb_connection_has_error(c))
            throw std::runtime_error("cannot connect to the X server " +
                                     qgetenv("DISPLAY").toStdString());
        auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 11, "_NET_WM_PID"), nullptr);
        const xcb_atom_t pidAtom = atom ? atom->atom : XCB_NONE;
        std::free(atom);
        const QString names[2] = {QFileInfo(program).fileName(), QStringLiteral("minimal")};
        std::vector<double> mapped[2];
        std::printf("start to window mapped on %s%s, %d runs each after 1 warm-up, alternating\n",
                    qgetenv("DISPLAY").constData(),
                    qEnvironmentVariableIsSet("AZIVEX_BENCH_OWN_SERVER") ? " (own Xvfb)" : "",
                    runs);
        for (int i = 0; i <= runs; ++i) {
            for (int k = 0; k < 2; ++k) { // which goes first alternates too
                const int side = (i + k) % 2;
                if (!SettingsFile::replaceContents(settings, settingsText, SettingsCodec::marker))
                    throw std::runtime_error("cannot write " + settings.toStdString());
                const double ms = timeToMapped(c, pidAtom, side ? minimal : program, work.path());
                if (i > 0)
                    mapped[side].push_back(ms);
            }
        }
        const auto [median0, p900] = figures(mapped[0]);
        const auto [median1, p901] = figures(mapped[1]);
        std::printf("\n%-12s %9s %9s\n", "mapped", "median", "p90");
        std::printf("%-12s %6.1f ms %6.1f ms\n", qPrintable(names[0]), median0, p900);
        std::printf("%-12s %6.1f ms %6.1f ms\n", "minimal", median1, p901);
        std::printf("%-12s %9.2f %9.2f\n", "ratio", median0 / median1, p900 / p901);
        if (maxRatio > 0 && median0 / median1 > maxRatio) {
            std::printf("the ratio of medians %.2f exceeds %.2f\n", median0 / median1, maxRatio);
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(kName), e.what());
        return 2;
    }
}
