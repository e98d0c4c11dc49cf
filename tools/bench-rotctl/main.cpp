// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the median and 99th percentile of a "p" round trip and of a "P" from the
// client's write to the go-to command on the controller's line, for the program
// serving rotctld's protocol (run as a process, headless, on a pseudo-terminal
// controller); beside them, measured in the same run and the same way, Debian's
// rotctld -m 1 (its dummy rotator, where "P" can only be timed to its reply).
#include "pseudoterminal.h"
#include "roundtrips.h"

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
    ours.setProcessEnvironment(bench::headless());
    ours.start(program, {"--rotctld", QString::number(ourPort)});
    theirs.start("rotctld", {"-m", "1", "-T", "127.0.0.1", "-t", QString::number(theirPort)});
    auto a = bench::connectTo(ourPort), b = bench::connectTo(theirPort);
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
    auto position = [](QTcpSocket& s) {
        return [&s](int i) { s.write("P " + QByteArray::number(10 + i % 300) + " 0\n"); };
    };
    auto getPos = [](QTcpSocket& s) { return [&s](int) { s.write("p\n"); }; };
    auto time = [&](const std::function<void(int)>& send, const std::function<bool()>& done) {
        return bench::timeRounds(kRounds, kPauseMs, send, done, clear);
    };

    const auto ourGet = time(getPos(*a), lines(2));
    const auto theirGet = time(getPos(*b), lines(2));
    const auto ourLine = time(position(*a), [&] { return controller.received().endsWith("\r\n"); });
    const auto ourSet = time(position(*a), lines(1));
    const auto theirSet = time(position(*b), lines(1));
    std::printf("rotctld protocol on the loopback, %d rounds each\n", kRounds);
    bench::printRow("p round trip: AZIVEX", ourGet);
    bench::printRow("p round trip: rotctld -m 1", theirGet);
    bench::printRow("P to the go-to command on the line: AZIVEX", ourLine);
    bench::printRow("P round trip: AZIVEX", ourSet);
    bench::printRow("P round trip: rotctld -m 1", theirSet);
    ours.terminate();
    theirs.terminate();
    ours.waitForFinished();
    theirs.waitForFinished();
    return 0;
}
