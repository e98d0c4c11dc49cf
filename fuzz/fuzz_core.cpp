// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// One libFuzzer target over the core, no window. FuzzedDataProvider splits the input:
// numbers from its end; from its front a line (ended by a backslash and one more
// character), then the bytes a controller sends.
#include "core/session/geometry.h"
#include "core/links/protocol.h"
#include "net/n1mm.h"
#include "net/pstrotator.h"
#include "net/rotctl.h"
#include "core/settings/settings.h"
#include "core/text/textnumber.h"
#include "net/wsjtxmessage.h"

#include <QRegularExpression>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

// A property that does not hold is a finding, kept by libFuzzer like a crash.
#define CHECK(c) ((c) ? void() : (std::fprintf(stderr, "PROPERTY FAILED: %s\n", #c), std::abort()))

static QList<std::optional<QString>> all(const SettingsFields& f) {
    return {f.portNo, f.lineSettings, f.offset, f.pictureNo, f.controlPosition};
}
static void checkRounding(double x) {
    const std::optional<qint16> r = roundToInt16(x);
    CHECK(r ? std::fabs(*r - x) <= 0.5 : !std::isfinite(x) || std::fabs(x) > 32767);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    int c[6]; // mostly map-sized, sometimes anything
    for (int& v : c)
        v = in.ConsumeBool() ? in.ConsumeIntegral<int>() : in.ConsumeIntegral<qint16>();
    const double raw = std::bit_cast<double>(in.ConsumeIntegral<quint64>());
    const QByteArray bytes = QByteArray::fromStdString(in.ConsumeRandomLengthString(512));
    const std::string stream = in.ConsumeRemainingBytesAsString();

    const QString line = SettingsCodec::decodeLine(bytes);
    CHECK(line.toUtf8() == bytes || line == QString::fromLatin1(bytes));
    const SettingsFields f = SettingsCodec::extract(line);
    CHECK(all(SettingsCodec::extractLinkFields(line)).mid(0, 2) == all(f).mid(0, 2));
    for (const auto& one : {f.pictureNo, f.controlPosition}) // a character or a surrogate pair
        CHECK(one->size() <= 1 || (one->size() == 2 && one->front().isHighSurrogate()));
    // Whatever the fields hold but separators, a registration reads back as written.
    QString t = line;
    t.remove(QRegularExpression(QStringLiteral("[-,:/]"))).resize(16, u'1');
    const Settings s{t.left(3), t.mid(3, 4) + u',' + t.mid(7, 4), u'-' + t.mid(11, 3), t.mid(14, 1),
                     t.mid(15, 1)};
    CHECK(all(SettingsCodec::extract(SettingsCodec::registeredDataLine(s))) ==
          QList<std::optional<QString>>(
              {s.portNo, s.lineSettings, s.offset, s.pictureNo, s.controlPosition}));

    // Replies behind the settings line, byte by byte and in one piece: the same
    // azimuths, each 0 to 639; the accumulator never outgrows the line, and stays
    // short once worked off.
    ReplyParser slow, fast;
    slow.seed(line);
    fast.seed(line);
    bool settled = line.size() <= 6;
    QStringList accepted;
    static const QRegularExpression azimuth(QStringLiteral("^(0|[1-9][0-9]{0,2})$"));
    for (const char byte : stream) {
        for (const QString& a : slow.feed(QByteArrayView(&byte, 1)))
            CHECK(azimuth.match(accepted.emplace_back(a)).hasMatch() && a.toInt() <= 639);
        CHECK(slow.pending().size() <= (settled ? 6 : std::max<qsizetype>(line.size(), 6)));
        settled = settled || slow.pending().size() <= 6;
    }
    CHECK(fast.feed(QByteArrayView(stream.data(), qsizetype(stream.size()))) == accepted);
    CHECK(fast.pending() == slow.pending());

    CHECK(bool(Protocol::goTo(line)) == (line.size() >= 1 && line.size() <= 3));
    // A whole azimuth within a turn steps by 10 within a turn, always to a command.
    for (const int step : {10, -10}) {
        const QString next = Protocol::stepAzimuth(line, step);
        const int v = next.toInt(), was = line.toInt();
        if (!line.isEmpty() && line.size() <= 3 && isAllDigits(line) && was < 360)
            CHECK(isAllDigits(next) && (step > 0 ? v < 360 : v > 0) && v >= 0 && v <= 360 &&
                  (was + step - v) % 360 == 0 && Protocol::goTo(next));
    }

    const std::optional<double> d = MapGeometry::clickDegrees(c[0], c[1], c[2], c[3], c[4], c[5]);
    // A map of any sane size gives a direction, the same wherever the map lies.
    const bool sane =
        std::none_of(std::begin(c), std::end(c), [](int v) { return std::abs(v) > 8000; });
    CHECK(!sane || (d && MapGeometry::clickDegrees(c[0] + 99, c[1] - 9, c[2] + 99, c[3] - 9,
                                                   c[4] + 99, c[5] - 9) == d));
    if (d) // with no offset, a click aims at 0 to 359
        CHECK(*d >= -90 && *d < 270.5 && MapGeometry::aimTarget(*d, QStringLiteral("0")) >= 0 &&
              MapGeometry::aimTarget(*d, QStringLiteral("0")) < 360);
    MapGeometry::aimTarget(d.value_or(raw), line);
    // The same bytes as a network client's line: every command parses to something
    // answerable, a position within a turn, and a reply that is one line or more.
    for (const Rotctl::Command& command : Rotctl::parseLine(stream)) {
        CHECK(command.azimuth >= 0 && command.azimuth < 360);
        CHECK(command.direction == 0 || command.direction == 8 || command.direction == 16);
        for (const int result : {Rotctl::Ok, Rotctl::IoError}) {
            const QByteArray reply = Rotctl::reply(command, result, {{"1.00", "Azimuth: 1.00"}});
            CHECK(reply.endsWith('\n') && reply.count('\n') >= 1);
        }
    }
    // The same bytes as a datagram: N1MM's aims fall within a turn and report as
    // tenths within one; PstRotator's commands are within a turn.
    if (const std::optional<N1mm::Command> n1mm = N1mm::parse(stream)) {
        const double target = N1mm::rotorTarget(*n1mm, raw);
        CHECK(target >= 0 && target < 360);
        CHECK(QString::fromUtf8(N1mm::report(n1mm->rotor, target)).section(QStringLiteral(" @ "), -1).toInt() < 3600);
    }
    for (const PstRotator::Command& command : PstRotator::parse(stream))
        CHECK(command.azimuth >= 0 && command.azimuth < 360);
    // The same bytes as a UDP datagram, alone and behind a WSJT-X status header: a
    // status exactly when decoded as one, from no more than the datagram holds.
    const QByteArray bare = QByteArray::fromStdString(stream);
    for (const QByteArray& datagram : {bare, QByteArray::fromHex("adbccbda0000000200000001") + bare}) {
        const Wsjtx::Decoded w = Wsjtx::decode(datagram);
        CHECK(w.status.has_value() == (w.kind == Wsjtx::Decoded::Kind::Status));
        CHECK((w.kind == Wsjtx::Decoded::Kind::Invalid) == !w.problem.isEmpty());
        CHECK(!w.status || (datagram.size() <= Wsjtx::maxDatagramBytes &&
                            w.status->dxCall.size() + w.status->dxGrid.size() < datagram.size()));
    }
    checkRounding(raw);
    checkRounding(numericValue(line));
    CHECK(numericValue(QString::number(c[0])) == c[0]);
    return 0;
}
