// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the CPU time the program's receive path takes per character: the link
// reads what the controller sent and runs every character through the reply
// parser. Beside it, measured in the same run on the same pseudo-terminal, a bare
// QSerialPort that only reads the bytes; and both as a share of one character's
// time on the wire at 115200 baud.
#include "core/links/nativelink.h"
#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr double kWireMicros = 1e6 * 10.0 / 115200.0; // start + 8 data + stop bits
constexpr int kReplies = 20000;
constexpr int kRounds = 7;

double cpuMicros() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e6 +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

QByteArray replies() {
    QByteArray out;
    for (int i = 0; i < kReplies; ++i)
        out += "AZ=" + QByteArray::number(i % 360).rightJustified(3, '0') + "\r\n";
    return out;
}

// CPU microseconds per character for one round: write the stream, run the event
// loop until the receiver says it has all of it.
template <typename Done> double round(PseudoTerminal& pty, const QByteArray& stream, Done done) {
    const double start = cpuMicros();
    pty.write(stream);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return (cpuMicros() - start) / double(stream.size());
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    PseudoTerminal pty;
    if (!pty.isOpen() || !pty.linkAs(dir.path(), 3)) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(pty.errorString()));
        return 1;
    }
    const QByteArray stream = replies();

    NativeLink link;
    link.setWorkingDirectory(dir.path());
    link.setPortNumber(3);
    int accepted = 0;
    QObject::connect(&link, &ControllerLink::headingReceived, [&accepted] { ++accepted; });

    QSerialPort bare;
    bare.setPortName(pty.slavePath());
    qsizetype read = 0;
    QObject::connect(&bare, &QSerialPort::readyRead, [&] { read += bare.readAll().size(); });

    std::vector<double> ours, reference;
    for (int r = 0; r < kRounds; ++r) {
        if (!link.open())
            return 1;
        accepted = 0;
        ours.push_back(round(pty, stream, [&] { return accepted == kReplies; }));
        link.close();
        if (!bare.open(QIODevice::ReadWrite))
            return 1;
        read = 0;
        reference.push_back(round(pty, stream, [&] { return read == stream.size(); }));
        bare.close();
    }
    const double o = median(ours), b = median(reference);
    std::printf("receive path, %d replies (%lld characters) a round, median of %d rounds\n",
                kReplies, static_cast<long long>(stream.size()), kRounds);
    std::printf("  %-40s %8.3f us/char  %6.2f %% of wire time\n", "link and reply parser", o,
                100 * o / kWireMicros);
    std::printf("  %-40s %8.3f us/char  %6.2f %% of wire time\n",
                "reference: bare QSerialPort read", b, 100 * b / kWireMicros);
    std::printf("  parsing adds %.3f us per character\n", o - b);
    return 0;
}
