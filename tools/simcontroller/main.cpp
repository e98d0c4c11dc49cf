// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// azivex-simcontroller: a rotator controller on a pseudo-terminal, for tests and demos.

#include "core/application/commandline.h"
#include "pseudoterminal.h"
#include "simcontroller.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>
#include <variant>

namespace {

constexpr int kMaxIntervalMs = 3600 * 1000;
// Reports carry three digits.
constexpr double kHighestAzimuth = 999;
// More unread bytes than this at the far end means nobody is reading: a reader takes
// each report as it comes, so its queue stays a few bytes long.
constexpr int kStaleBacklog = 512;

int g_signalPipe[2] = {-1, -1};

void onSignal(int signo) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

void printError(const QString& message) {
    std::fprintf(stderr, "azivex-simcontroller: %s\n", message.toLocal8Bit().constData());
}

std::optional<double> parseDegrees(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> parseInterval(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > kMaxIntervalMs)
        return std::nullopt;
    return value;
}

struct Parsed {
    SimOptions options;
    QString linkPath;
};

// Returns the options, or a message for stderr.
std::variant<Parsed, QString> parseArguments(QCommandLineParser& parser, const QStringList& args) {
    const QCommandLineOption start(QStringLiteral("start"),
                                   QStringLiteral("Azimuth at start, in degrees (default 0)."),
                                   QStringLiteral("DEG"), QStringLiteral("0"));
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Turning rate in degrees per second (default 6)."),
                                  QStringLiteral("DEG_PER_S"), QStringLiteral("6"));
    const QCommandLineOption moving(
        QStringLiteral("moving-interval"),
        QStringLiteral("Milliseconds between azimuth reports while turning (default 100)."),
        QStringLiteral("MS"), QStringLiteral("100"));
    const QCommandLineOption still(
        QStringLiteral("still-interval"),
        QStringLiteral("Milliseconds between azimuth reports while still (default 1000)."),
        QStringLiteral("MS"), QStringLiteral("1000"));
    const QCommandLineOption min(
        QStringLiteral("min"), QStringLiteral("Counter-clockwise end stop in degrees (default 0)."),
        QStringLiteral("DEG"), QStringLiteral("0"));
    const QCommandLineOption max(QStringLiteral("max"),
                                 QStringLiteral("Clockwise end stop in degrees (default 450)."),
                                 QStringLiteral("DEG"), QStringLiteral("450"));
    parser.setApplicationDescription(QStringLiteral(
        "Simulated antenna rotator controller on a pseudo-terminal.\n"
        "Makes LINK (for example ./COM3) a symbolic link to the terminal and answers\n"
        "the commands L, R, A, Mddd, Yn1 and Yn0 (lines ending in CR LF) like the\n"
        "controller box, sending AZ=ddd reports. SIGINT or SIGTERM ends it and\n"
        "removes the link."));
    parser.addOptions({start, rate, moving, still, min, max});
    parser.addPositionalArgument(QStringLiteral("LINK"),
                                 QStringLiteral("Path of the symbolic link to create."));
    if (const auto status = CommandLine::parse(parser, QStringLiteral("azivex-simcontroller"), args,
                                               CommandLine::Positional::Allowed))
        std::exit(*status);

    Parsed parsed;
    SimOptions& o = parsed.options;
    const auto degrees = [&](const QCommandLineOption& option,
                             double& into) -> std::optional<QString> {
        const auto value = parseDegrees(parser.value(option));
        if (!value || *value < 0 || *value > kHighestAzimuth)
            return QStringLiteral("--%1 needs degrees from 0 to %2, not '%3'")
                .arg(option.names().first())
                .arg(kHighestAzimuth)
                .arg(parser.value(option));
        into = *value;
        return std::nullopt;
    };
    const auto interval = [&](const QCommandLineOption& option,
                              int& into) -> std::optional<QString> {
        const auto value = parseInterval(parser.value(option));
        if (!value)
            return QStringLiteral("--%1 needs whole milliseconds from 1 to %2, not '%3'")
                .arg(option.names().first())
                .arg(kMaxIntervalMs)
                .arg(parser.value(option));
        into = *value;
        return std::nullopt;
    };
    for (auto error : {degrees(start, o.start), degrees(min, o.min), degrees(max, o.max),
                       interval(moving, o.movingIntervalMs), interval(still, o.stillIntervalMs)}) {
        if (error)
            return *error;
    }
    const auto r = parseDegrees(parser.value(rate));
    if (!r || *r <= 0)
        return QStringLiteral("--rate needs a positive number of degrees per second, not '%1'")
            .arg(parser.value(rate));
    o.rate = *r;
    if (o.min > o.max)
        return QStringLiteral("--min %1 lies beyond --max %2").arg(o.min).arg(o.max);
    if (o.start < o.min || o.start > o.max)
        return QStringLiteral("--start %1 lies outside the end stops %2 and %3")
            .arg(o.start)
            .arg(o.min)
            .arg(o.max);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return QStringLiteral("expected one LINK path, got %1 arguments").arg(positional.size());
    parsed.linkPath = positional.first();
    return parsed;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("azivex-simcontroller"));

    QCommandLineParser parser;
    const auto result = parseArguments(parser, QCoreApplication::arguments());
    if (const auto* error = std::get_if<QString>(&result)) {
        return CommandLine::usageError(QStringLiteral("azivex-simcontroller"), *error);
    }
    const Parsed& parsed = std::get<Parsed>(result);

    // Signals only write a byte here; the event loop picks it up and ends cleanly,
    // so the link is removed by the usual destructors.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0) {
        printError(
            QStringLiteral("socketpair: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signo : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signo, &action, nullptr);
    // A watcher that closes our stdout must not kill us before the link is removed.
    std::signal(SIGPIPE, SIG_IGN);

    PseudoTerminal port;
    // Nobody may have the port open for a long time; old reports must not pile up for
    // whoever opens it next.
    port.setBacklogLimit(kStaleBacklog);
    if (!port.isOpen() || !port.createLink(parsed.linkPath)) {
        printError(port.errorString());
        return 1;
    }

    const SimOptions& o = parsed.options;
    SimController::log(QStringLiteral("slave %1").arg(port.slavePath()));
    SimController::log(QStringLiteral("link %1 -> %2").arg(port.linkPath(), port.slavePath()));
    SimController::log(
        QStringLiteral("azimuth %1, end stops %2 and %3, turning %4 degrees a second; "
                       "reports every %5 ms while turning, every %6 ms while still")
            .arg(o.start)
            .arg(o.min)
            .arg(o.max)
            .arg(o.rate)
            .arg(o.movingIntervalMs)
            .arg(o.stillIntervalMs));

    SimController controller(o, port);

    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        unsigned char signo = 0;
        if (::read(g_signalPipe[0], &signo, 1) == 1)
            SimController::log(QStringLiteral("signal %1 (%2), ending")
                                   .arg(signo)
                                   .arg(QString::fromLocal8Bit(strsignal(signo))));
        QCoreApplication::quit();
    });

    const int code = QCoreApplication::exec();
    const QString link = port.linkPath();
    if (port.removeLink())
        SimController::log(QStringLiteral("link %1 removed").arg(link));
    else
        SimController::log(QStringLiteral("link %1 no longer points here, left alone").arg(link));
    return code;
}
