// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Prints how long cty.dat takes to load, then the time of one callsign lookup over
// the whole file and of one locator parse, each beside a plain QHash<QString, int>
// lookup of the same texts measured in the same run, and the ratio.
#include "core/geography/countryfile.h"
#include "core/geography/locator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QStringList>

#include <cstdio>

namespace {
constexpr int kRounds = 200000;

// Nanoseconds per call of `work` over the keys, round after round.
template <typename Work> double perCall(const QStringList& keys, Work work, long& sink) {
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kRounds; ++i)
        sink += work(keys[i % keys.size()]);
    return double(clock.nsecsElapsed()) / kRounds;
}

void report(const char* what, double ours, double reference) {
    std::printf("  %-30s %8.1f ns   reference %6.1f ns   ratio %5.1f\n", what, ours, reference,
                ours / reference);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : CountryFile::systemPath();
    CountryFile countries;
    QElapsedTimer loading;
    loading.start();
    if (!countries.load(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(countries.errorString()));
        return 1;
    }
    const double loadMs = double(loading.nsecsElapsed()) / 1e6;

    // Plain calls, portable and prefixed forms, exact entries and unknown ones.
    const QStringList calls = {
        QStringLiteral("DL1ABC"),    QStringLiteral("VK2"),      QStringLiteral("KH6/JA1XYZ"),
        QStringLiteral("JA1XYZ/P"),  QStringLiteral("UA1ABC/9"), QStringLiteral("W1AW"),
        QStringLiteral("9M6/LA6VM"), QStringLiteral("4U1ITU"),   QStringLiteral("G4ABC/M"),
        QStringLiteral("XX9ZZZ"),    QStringLiteral("EA6XYZ"),   QStringLiteral("VP8ABC")};
    const QStringList locators = {QStringLiteral("PM95vq"),     QStringLiteral("FN42"),
                                  QStringLiteral("JN58td"),     QStringLiteral("IO91wm46"),
                                  QStringLiteral("QF56od"),     QStringLiteral("rr99xx"),
                                  QStringLiteral("AA00aa00aa"), QStringLiteral("SA12")};
    QHash<QString, int> reference;
    for (const QString& key : calls + locators)
        reference.insert(key, int(reference.size()));

    long sink = 0;
    const auto plain = [&](const QString& key) { return long(reference.value(key)); };
    const double callRef = perCall(calls, plain, sink);
    const double call = perCall(
        calls, [&](const QString& key) { return long(countries.lookup(key) ? 1 : 0); }, sink);
    const double locatorRef = perCall(locators, plain, sink);
    const double locator = perCall(
        locators,
        [&](const QString& key) {
            const auto centre = Locator::centre(key);
            return long(centre ? centre->lat : 0);
        },
        sink);

    std::printf("cty.dat %s: %lld countries, loaded in %.1f ms\n", qPrintable(path),
                static_cast<long long>(countries.countryCount()), loadMs);
    std::printf("per operation, %d operations each (checksum %ld)\n", kRounds, sink);
    report("callsign lookup", call, callRef);
    report("locator parse", locator, locatorRef);
    return 0;
}
