// Prints the CPU time the receive handler needs per character, the way the main
// window runs it: InputLen 1, RThreshold 1, and on every notification
//     while (InBufferCount()) { inputLine += Input(); parseStep(...); }
// Two runs: a bulk stream (many characters per read) and a trickle of one character
// per read, the worst case for the per-notification overhead. Each figure is also
// given as a share of one character's time on the wire at 115200 baud.

#include "link/replyparser.h"
#include "platform/serialmscomm.h"
#include "pseudoterminal.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/resource.h>

namespace {

constexpr double kWireMicros = 1e6 * 10.0 / 115200.0; // start + 8 data + stop bits

// The handler never blocks, so its elapsed time is its CPU time; the monotonic clock
// reads in tens of nanoseconds, where the thread CPU clock costs a system call.
double nowMicros() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

double processCpuMicros() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e6 +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

// What one pair of clock readings around a handler run costs by itself; taken off
// the handler figures (it matters when every run handles a single character).
double clockPairMicros() {
    constexpr int kRounds = 20000;
    const double start = nowMicros();
    for (int i = 0; i < kRounds; ++i) {
        nowMicros();
        nowMicros();
    }
    return (nowMicros() - start) / kRounds;
}

QByteArray replies(int count) {
    QByteArray out;
    out.reserve(count * 8);
    for (int i = 0; i < count; ++i)
        out += "AZ=" + QByteArray::number(i % 360).rightJustified(3, '0') + "\r\n";
    return out;
}

struct Receiver {
    explicit Receiver(SerialMSComm* p) : port(p) {}
    SerialMSComm* port;
    QString inputLine;
    QString shown;
    qint64 characters = 0;
    qint64 notifications = 0;
    qint64 accepted = 0;
    double handlerMicros = 0;

    void onComm() {
        const double start = nowMicros();
        ++notifications;
        while (port->InBufferCount()) {
            const QByteArray read = port->Input();
            characters += read.size();
            inputLine += QString::fromLatin1(read);
            if (parseStep(inputLine, &shown))
                ++accepted;
        }
        handlerMicros += nowMicros() - start;
    }
};

void report(const char* title, const Receiver& r, double processMicros, double clockPair) {
    const double handler =
        (r.handlerMicros - clockPair * double(r.notifications)) / double(r.characters);
    const double whole = processMicros / double(r.characters);
    std::printf("%s\n", title);
    std::printf("  characters %lld, notifications %lld (%.1f characters each), replies %lld\n",
                static_cast<long long>(r.characters), static_cast<long long>(r.notifications),
                double(r.characters) / double(r.notifications), static_cast<long long>(r.accepted));
    std::printf("  receive handler loop:  %8.3f us per character = %6.3f %% of wire time\n",
                handler, 100.0 * handler / kWireMicros);
    std::printf("  whole process (incl. Qt's read, the notification and the sender): "
                "%8.3f us per character = %6.3f %% of wire time\n",
                whole, 100.0 * whole / kWireMicros);
}

// Runs the event loop until done() holds; false when the run has been going on for
// longer than its guard allows. One guard serves a whole run, so waiting for one
// character at a time adds no timer work of its own to the figures.
bool waitFor(const std::function<bool()>& done, const bool& timedOut) {
    while (!done() && !timedOut)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return !timedOut;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int bulkReplies = args.size() > 1 ? args.at(1).toInt() : 25000; // 200,000 bytes
    const int trickleCharacters = args.size() > 2 ? args.at(2).toInt() : 20000;

    QTemporaryDir dir;
    PseudoTerminal controller;
    if (!dir.isValid() || !controller.isOpen() || !controller.linkAs(dir.path(), 1)) {
        std::fprintf(stderr, "cannot set up a pseudo-terminal\n");
        return 1;
    }
    SerialMSComm port;
    port.setWorkingDirectory(dir.path());
    port.setCommPort(1);
    port.setSettings(QStringLiteral("115200,N,8,1"));
    if (!port.setPortOpen(true)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(controller.slavePath()));
        return 1;
    }
    port.setInputLen(1);
    port.setRThreshold(1);

    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &app, [&] { timedOut = true; });

    const double clockPair = clockPairMicros();
    std::printf("Clock reading pair (taken off the handler figures): %.3f us\n", clockPair);

    Receiver bulk(&port);
    auto connection = QObject::connect(&port, &MSComm::OnComm, &app, [&] { bulk.onComm(); });
    const QByteArray stream = replies(bulkReplies);
    double processStart = processCpuMicros();
    guard.start(120000);
    controller.write(stream);
    if (!waitFor([&] { return bulk.characters >= stream.size(); }, timedOut)) {
        std::fprintf(stderr, "bulk stream incomplete: %lld of %lld\n",
                     static_cast<long long>(bulk.characters),
                     static_cast<long long>(stream.size()));
        return 1;
    }
    report("Bulk stream", bulk, processCpuMicros() - processStart, clockPair);
    QObject::disconnect(connection);

    Receiver trickle(&port);
    QObject::connect(&port, &MSComm::OnComm, &app, [&] { trickle.onComm(); });
    const QByteArray one = replies(trickleCharacters / 8 + 1).left(trickleCharacters);
    guard.start(120000);
    processStart = processCpuMicros();
    for (qsizetype i = 0; i < one.size(); ++i) {
        controller.write(one.mid(i, 1));
        if (!waitFor([&] { return trickle.characters > i; }, timedOut)) {
            std::fprintf(stderr, "trickle stalled at %lld\n", static_cast<long long>(i));
            return 1;
        }
    }
    report("One character per read", trickle, processCpuMicros() - processStart, clockPair);
    std::printf("Wire time of one character at 115200 baud: %.1f us; target below 1 %%.\n",
                kWireMicros);
    return 0;
}
