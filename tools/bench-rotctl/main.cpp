// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the median and 99th percentile of a "p" round trip and of a "P" from the
// client's write to the go-to command on the controller's line, for the program
// serving rotctld's protocol (run as a process, headless, on a pseudo-terminal
// controller); beside them, measured in the same run and the same way, Debian's
// rotctld -m 1 (its dummy rotator, where "P" can only be timed to its reply).
#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRounds = 500;
constexpr int kPauseMs = 3;

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    }
    return true;
}

std::unique_ptr<QTcpSocket> connectTo(quint16 port) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, port);
        if (waitUntil([&] {
                return socket->state() != QAbstractSocket::ConnectingState &&
                       socket->state() != QAbstractSocket::HostLookupState;
            }) &&
            socket->state() == QAbstractSocket::ConnectedState) {
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            return socket;
        }
        waitUntil([] { return false; }, 100); // the server is still starting
    }
    return nullptr;
}

// Microseconds per round: send, then wait until done says the answer is complete.
std::vector<double> time(QTcpSocket& client, const std::function<QByteArray(int)>& request,
                         const std::function<bool()>& done, const std::function<void()>& reset) {
    std::vector<double> t;
    for (int i = 0; i < kRounds; ++i) {
        // Trackers send a command every second or so: each is timed on its own, not
        // queued behind the repaint of the one before.
        waitUntil([] { return false; }, kPauseMs);
        reset();
        QElapsedTimer clock;
        clock.start();
        client.write(request(i));
        if (!waitUntil(done))
            return {};
        t.push_back(double(clock.nsecsElapsed()) / 1000);
    }
    std::sort(t.begin(), t.end());
    return t;
}

void row(const char* what, const std::vector<double>& t) {
    if (t.empty())
        std::printf("  %-46s (no answer)\n", what);
    else
        std::printf("  %-46s median %7.1f us   p99 %7.1f us\n", what, t[t.size() / 2],
                    t[t.size() * 99 / 100]);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : AZIVEX_PATH;
    QTemporaryDir dir;
    PseudoTerminal controller;
    QFile settings(dir.filePath("AZIVEX.DAT"));
    if (!controller.linkAs(dir.path(), 3) || !settings.open(QIODevice::WriteOnly) ||
        !QFile::copy(AZIVEX_MAPS_DIR "/world1.bmp", dir.filePath("world1.bmp")))
        return 1;
    settings.write("3,9600,N,8,1:0-0/0\r\n");
    settings.close();

    const quint16 ourPort = freePort(), theirPort = freePort();
    QProcess ours, theirs;
    ours.setWorkingDirectory(dir.path());
    ours.setProcessEnvironment([] {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }());
    ours.start(program, {"--rotctld", QString::number(ourPort)});
    theirs.start("rotctld", {"-m", "1", "-T", "127.0.0.1", "-t", QString::number(theirPort)});
    auto a = connectTo(ourPort), b = connectTo(theirPort);
    if (!a || !b) {
        std::fprintf(stderr, "could not reach %s\n", !a ? qPrintable(program) : "rotctld");
        return 1;
    }
    QByteArray answer;
    auto collect = [&answer](QTcpSocket* s) {
        QObject::connect(s, &QTcpSocket::readyRead, [&answer, s] { answer += s->readAll(); });
    };
    collect(a.get());
    collect(b.get());
    auto lines = [&answer](int n) { return [&answer, n] { return answer.count('\n') >= n; }; };
    auto clear = [&] {
        answer.clear();
        controller.clearReceived();
    };
    auto position = [](int i) { return "P " + QByteArray::number(10 + i % 300) + " 0\n"; };
    auto getPos = [](int) { return QByteArray("p\n"); };

    const auto ourGet = time(*a, getPos, lines(2), clear);
    const auto theirGet = time(*b, getPos, lines(2), clear);
    const auto ourLine = time(
        *a, position, [&] { return controller.received().endsWith("\r\n"); }, clear);
    const auto ourSet = time(*a, position, lines(1), clear);
    const auto theirSet = time(*b, position, lines(1), clear);
    std::printf("rotctld protocol on the loopback, %d rounds each\n", kRounds);
    row("p round trip: AZIVEX", ourGet);
    row("p round trip: rotctld -m 1", theirGet);
    row("P to the go-to command on the line: AZIVEX", ourLine);
    row("P round trip: AZIVEX", ourSet);
    row("P round trip: rotctld -m 1", theirSet);
    ours.terminate();
    theirs.terminate();
    ours.waitForFinished();
    theirs.waitForFinished();
    return 0;
}
