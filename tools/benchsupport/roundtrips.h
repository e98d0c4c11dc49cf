// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the round-trip benchmarks share: waiting on the event loop, timing rounds of
// a request against the program started as a process, and printing their figures.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace bench {

inline bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    }
    return true;
}

// Microseconds per round, sorted: send, then wait until done says the answer has come.
// Each round waits pauseMs first, as clients send now and then: each is timed on its
// own, not queued behind the repaint of the one before.
inline std::vector<double> timeRounds(int rounds, int pauseMs,
                                      const std::function<void(int)>& send,
                                      const std::function<bool()>& done,
                                      const std::function<void()>& reset) {
    std::vector<double> t;
    for (int i = 0; i < rounds; ++i) {
        waitUntil([] { return false; }, pauseMs);
        reset();
        QElapsedTimer clock;
        clock.start();
        send(i);
        if (!waitUntil(done))
            return {};
        t.push_back(double(clock.nsecsElapsed()) / 1000);
    }
    std::sort(t.begin(), t.end());
    return t;
}

inline void printRow(const char* what, const std::vector<double>& t) {
    if (t.empty())
        std::printf("  %-52s (no answer)\n", what);
    else
        std::printf("  %-52s median %7.1f us   p99 %7.1f us  (%zu rounds)\n", what,
                    t[t.size() / 2], t[t.size() * 99 / 100], t.size());
}

// A client of a server that may still be starting; none when it never answers.
inline std::unique_ptr<QTcpSocket> connectTo(quint16 port) {
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
        waitUntil([] { return false; }, 100);
    }
    return nullptr;
}

// The environment the program runs headless in.
inline QProcessEnvironment headless() {
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

} // namespace bench
