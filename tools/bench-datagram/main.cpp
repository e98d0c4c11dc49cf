// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the median and 99th percentile from a datagram's send to its command on the
// controller's line, for N1MM's and PstRotator's datagrams sent to the program (run
// as a process, headless, on a pseudo-terminal controller), and beside them, in the
// same run, a rotctld "P" round trip and "P" to its go-to on the line. Stops are
// timed in many rounds; go-tos, which the program paces to one a second, in a few.
#include "pseudoterminal.h"
#include "roundtrips.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRounds = 500;
constexpr int kPacedRounds = 12;
constexpr int kPauseMs = 3;
constexpr int kPacedPauseMs = 1050; // past the program's one go-to a second

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    QUdpSocket udp; // the datagram ports are free for UDP too
    return udp.bind(QHostAddress::LocalHost, probe.serverPort()) ? probe.serverPort() : freePort();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString program = argc > 1 ? QString::fromLocal8Bit(argv[1]) : AZIVEX_PATH;
    QTemporaryDir dir;
    PseudoTerminal controller;
    QFile settings(dir.filePath("AZIVEX.DAT")), ini(dir.filePath("AZIVEX.INI"));
    const quint16 rotctlPort = freePort(), n1mmPort = freePort(), pstPort = freePort();
    if (!controller.linkAs(dir.path(), 3) || !settings.open(QIODevice::WriteOnly) ||
        !ini.open(QIODevice::WriteOnly) ||
        !QFile::copy(AZIVEX_MAPS_DIR "/world1.bmp", dir.filePath("world1.bmp")))
        return 1;
    settings.write("3,9600,N,8,1:0-0/0\r\n");
    settings.close();
    ini.write("[n1mm]\nlisten=127.0.0.1:" + QByteArray::number(n1mmPort) +
              "\n[pstrotator]\nlisten=127.0.0.1:" + QByteArray::number(pstPort) + "\n");
    ini.close();

    QProcess ours;
    ours.setWorkingDirectory(dir.path());
    ours.setProcessEnvironment(bench::headless());
    ours.start(program, {"--rotctld", QString::number(rotctlPort)});
    const auto client = bench::connectTo(rotctlPort);
    if (!client) {
        std::fprintf(stderr, "could not reach %s\n", qPrintable(program));
        return 1;
    }
    QTcpSocket& rotctl = *client;
    QByteArray answer;
    QObject::connect(&rotctl, &QTcpSocket::readyRead, [&] { answer += rotctl.readAll(); });
    QUdpSocket sender;
    auto datagram = [&](quint16 port, const std::function<QByteArray(int)>& text) {
        return [&sender, port, text](int i) {
            sender.writeDatagram(text(i), QHostAddress::LocalHost, port);
        };
    };
    auto onLine = [&] { return controller.received().endsWith("\r\n"); };
    auto clear = [&] {
        answer.clear();
        controller.clearReceived();
    };
    auto az = [](int i) { return QByteArray::number(10 + i % 300); };
    auto n1mmGo = [&](int i) {
        return "<N1MMRotor><rotor>Rotor 1</rotor><goazi>" + az(i) +
               "</goazi><offset>0</offset><bidirectional>0</bidirectional></N1MMRotor>";
    };
    auto n1mmStop = [](int) { return QByteArray("<N1MMRotor><stop><rotor>Rotor 1</rotor></stop></N1MMRotor>"); };
    auto pstGo = [&](int i) { return "<PST><AZIMUTH>" + az(i) + "</AZIMUTH></PST>"; };
    auto pstStop = [](int) { return QByteArray("<PST><STOP>1</STOP></PST>"); };
    auto setPos = [&](int i) { rotctl.write("P " + az(i) + " 0\n"); };

    const auto n1mmStops = bench::timeRounds(kRounds, kPauseMs, datagram(n1mmPort, n1mmStop), onLine, clear);
    const auto pstStops = bench::timeRounds(kRounds, kPauseMs, datagram(pstPort, pstStop), onLine, clear);
    const auto rotctlLine = bench::timeRounds(kRounds, kPauseMs, setPos, onLine, clear);
    const auto rotctlTrip =
        bench::timeRounds(kRounds, kPauseMs, setPos, [&] { return answer.endsWith('\n'); }, clear);
    const auto n1mmGoes = bench::timeRounds(kPacedRounds, kPacedPauseMs, datagram(n1mmPort, n1mmGo), onLine, clear);
    const auto pstGoes = bench::timeRounds(kPacedRounds, kPacedPauseMs, datagram(pstPort, pstGo), onLine, clear);
    // The same long pause before rotctld's go-to: both processes wake from as deep a sleep.
    const auto rotctlPaced = bench::timeRounds(kPacedRounds, kPacedPauseMs, setPos, onLine, clear);
    std::printf("datagrams and rotctld on the loopback, one run\n");
    bench::printRow("N1MM stop datagram to A on the line", n1mmStops);
    bench::printRow("PstRotator STOP datagram to A on the line", pstStops);
    bench::printRow("N1MM goazi datagram to the go-to on the line", n1mmGoes);
    bench::printRow("PstRotator AZIMUTH datagram to the go-to on the line", pstGoes);
    bench::printRow("rotctld P to the go-to on the line", rotctlLine);
    bench::printRow("rotctld P to the go-to, after the same pause", rotctlPaced);
    bench::printRow("rotctld P round trip", rotctlTrip);
    ours.terminate();
    ours.waitForFinished();
    return 0;
}
