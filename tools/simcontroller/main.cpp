// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// azivex-simcontroller: a rotator controller on a pseudo-terminal, for tests and demos.

#include "core/application/commandline.h"
#include "core/links/rotationrange.h"
#include "pseudoterminal.h"
#include "simcontroller.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

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
    QString linkPath; // empty: no pseudo-terminal
    QHostAddress tcpAddress = QHostAddress::LocalHost;
    int tcpPort = -1; // none: no TCP server; 0: any free port
};

// "[ADDRESS:]PORT"; false when it does not parse.
bool parseListen(const QString& text, QHostAddress& address, int& port) {
    const qsizetype colon = text.lastIndexOf(u':');
    bool ok = false;
    port = text.mid(colon + 1).toInt(&ok);
    if (!ok || port < 0 || port > 65535)
        return false;
    if (colon < 0)
        return true;
    QString host = text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    if (host == QLatin1String("localhost"))
        host = QStringLiteral("127.0.0.1");
    return address.setAddress(host);
}

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
    const QCommandLineOption protocol(
        QStringLiteral("protocol"),
        QStringLiteral("The controller to be: native (default), gs232a or gs232b."),
        QStringLiteral("NAME"), QStringLiteral("native"));
    const QCommandLineOption range(
        QStringLiteral("range"), QStringLiteral("End stops as MIN-MAX, e.g. 0-450 (as --min, --max)."),
        QStringLiteral("MIN-MAX"));
    const QCommandLineOption tcp(
        QStringLiteral("tcp"),
        QStringLiteral("Also serve the controller to one TCP client at a time, as ser2net does "
                       "(ADDRESS defaults to 127.0.0.1)."),
        QStringLiteral("[ADDRESS:]PORT"));
    const QCommandLineOption slow(QStringLiteral("slow"),
                                  QStringLiteral("Delay every answer by MS milliseconds."),
                                  QStringLiteral("MS"), QStringLiteral("0"));
    parser.setApplicationDescription(QStringLiteral(
        "Simulated antenna rotator controller on a pseudo-terminal or a TCP port.\n"
        "Makes LINK (for example ./COM3) a symbolic link to the terminal and answers\n"
        "the commands L, R, A, Mddd, Yn1 and Yn0 (lines ending in CR LF) like the\n"
        "controller box, sending AZ=ddd reports; or, with --protocol gs232a|gs232b,\n"
        "answers C, C2, Mddd, Waaa eee, L, R, A, S like a GS-232 (lines ending in CR).\n"
        "SIGUSR1 makes it fall silent and answer again in turn. SIGINT or SIGTERM ends\n"
        "it and removes the link."));
    parser.addOptions({protocol, start, rate, moving, still, min, max, range, tcp, slow});
    parser.addPositionalArgument(
        QStringLiteral("LINK"),
        QStringLiteral("Path of the symbolic link to create (optional with --tcp)."));
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
    if (parser.isSet(range)) {
        const auto parsedRange = RotationRange::parse(parser.value(range));
        if (!parsedRange || parsedRange->min() < 0 || parsedRange->max() > kHighestAzimuth)
            return QStringLiteral("--range needs MIN-MAX within 0 to %1, not '%2'")
                .arg(kHighestAzimuth)
                .arg(parser.value(range));
        o.min = parsedRange->min();
        o.max = parsedRange->max();
    }
    const QString protocolName = parser.value(protocol);
    if (protocolName == QLatin1String("gs232a"))
        o.protocol = SimOptions::Protocol::Gs232a;
    else if (protocolName == QLatin1String("gs232b"))
        o.protocol = SimOptions::Protocol::Gs232b;
    else if (protocolName != QLatin1String("native"))
        return QStringLiteral("--protocol needs native, gs232a or gs232b, not '%1'").arg(protocolName);
    if (parser.value(slow) != QLatin1String("0")) {
        if (const auto error = interval(slow, o.slowMs))
            return *error;
    }
    if (parser.isSet(tcp) && !parseListen(parser.value(tcp), parsed.tcpAddress, parsed.tcpPort))
        return QStringLiteral("--tcp needs [ADDRESS:]PORT, not '%1'").arg(parser.value(tcp));
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
    if (positional.size() > 1 || (positional.isEmpty() && parsed.tcpPort < 0))
        return QStringLiteral("expected one LINK path, got %1 arguments").arg(positional.size());
    parsed.linkPath = positional.value(0);
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
    for (const int signo : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        sigaction(signo, &action, nullptr);
    // A watcher that closes our stdout must not kill us before the link is removed.
    std::signal(SIGPIPE, SIG_IGN);

    const SimOptions& o = parsed.options;
    SimController controller(o);

    PseudoTerminal port;
    if (!parsed.linkPath.isEmpty()) {
        // Nobody may have the port open for a long time; old reports must not pile up
        // for whoever opens it next.
        port.setBacklogLimit(kStaleBacklog);
        if (!port.isOpen() || !port.createLink(parsed.linkPath)) {
            printError(port.errorString());
            return 1;
        }
        SimController::log(QStringLiteral("slave %1").arg(port.slavePath()));
        SimController::log(QStringLiteral("link %1 -> %2").arg(port.linkPath(), port.slavePath()));
        const int line = controller.addLine([&port](const QByteArray& b) { port.write(b); });
        QObject::connect(&port, &PseudoTerminal::dataReceived, &controller,
                         [&port, &controller, line](const QByteArray& bytes) {
                             // Commands are taken as they come; keeping them would only grow.
                             port.clearReceived();
                             controller.feed(line, bytes);
                         });
    }

    // As ser2net: one client at a time gets the raw bytes; another is turned away
    // while the first is connected.
    QTcpServer server;
    QPointer<QTcpSocket> client;
    if (parsed.tcpPort >= 0) {
        if (!server.listen(parsed.tcpAddress, static_cast<quint16>(parsed.tcpPort))) {
            printError(QStringLiteral("cannot listen on %1:%2: %3")
                           .arg(parsed.tcpAddress.toString())
                           .arg(parsed.tcpPort)
                           .arg(server.errorString()));
            return 1;
        }
        SimController::log(QStringLiteral("listening on %1:%2")
                               .arg(parsed.tcpAddress.toString())
                               .arg(server.serverPort()));
        const int line = controller.addLine([&client](const QByteArray& b) {
            if (client)
                client->write(b);
        });
        QObject::connect(&server, &QTcpServer::newConnection, &controller, [&, line] {
            while (QTcpSocket* next = server.nextPendingConnection()) {
                if (client) {
                    SimController::log(QStringLiteral("TCP client %1 turned away: busy")
                                           .arg(next->peerAddress().toString()));
                    next->abort();
                    next->deleteLater();
                    continue;
                }
                client = next;
                controller.resetLine(line);
                SimController::log(
                    QStringLiteral("TCP client %1 connected").arg(next->peerAddress().toString()));
                QObject::connect(next, &QTcpSocket::readyRead, &controller,
                                 [next, &controller, line] { controller.feed(line, next->readAll()); });
                QObject::connect(next, &QTcpSocket::disconnected, &controller, [next] {
                    SimController::log(QStringLiteral("TCP client disconnected"));
                    next->deleteLater();
                });
            }
        });
    }

    SimController::log(
        QStringLiteral("%1, azimuth %2, end stops %3 and %4, turning %5 degrees a second%6")
            .arg(o.protocol == SimOptions::Protocol::Native ? QStringLiteral("native")
                 : o.protocol == SimOptions::Protocol::Gs232a ? QStringLiteral("GS-232A")
                                                                : QStringLiteral("GS-232B"))
            .arg(o.start)
            .arg(o.min)
            .arg(o.max)
            .arg(o.rate)
            .arg(o.protocol == SimOptions::Protocol::Native
                     ? QStringLiteral("; reports every %1 ms while turning, every %2 ms while still")
                           .arg(o.movingIntervalMs)
                           .arg(o.stillIntervalMs)
                     : QString()));

    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&controller] {
        unsigned char signo = 0;
        if (::read(g_signalPipe[0], &signo, 1) != 1)
            return;
        if (signo == SIGUSR1) {
            controller.setSilent(!controller.isSilent());
            return;
        }
        SimController::log(QStringLiteral("signal %1 (%2), ending")
                               .arg(signo)
                               .arg(QString::fromLocal8Bit(strsignal(signo))));
        QCoreApplication::quit();
    });

    const int code = QCoreApplication::exec();
    const QString link = port.linkPath();
    if (link.isEmpty())
        return code;
    if (port.removeLink())
        SimController::log(QStringLiteral("link %1 removed").arg(link));
    else
        SimController::log(QStringLiteral("link %1 no longer points here, left alone").arg(link));
    return code;
}
