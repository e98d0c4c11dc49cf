// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

// Hamlib's network rotator protocol, as rotctld serves it: one-letter commands
// ("P az el", "p", "S", "M dir speed", "K", "_", "q") or their long names after a
// backslash ("\set_pos"), whitespace-separated. A leading punctuation character
// asks for the extended response: a header naming the command, "Label: value"
// lines and a closing "RPRT n", separated by newlines for "+" and by the character
// itself otherwise.
namespace Rotctl {

enum class Verb { SetPos, GetPos, Stop, Move, Park, GetInfo, DumpState, DumpCaps, Quit, Unknown };

// Hamlib's result codes, as RPRT reports them.
enum Result {
    Ok = 0,
    InvalidArgument = -1,
    NotImplemented = -4,
    TimedOut = -5,
    IoError = -6,
    Rejected = -9,
    NotAvailable = -11
};

struct Command {
    Verb verb = Verb::Unknown;
    char separator = 0; // 0: plain response
    QList<QByteArray> args;
    // Arguments that are not numbers where numbers belong, or missing.
    bool malformed = false;
    double azimuth = 0; // set_pos: normalised into 0 <= az < 360
    int direction = 0;  // move: 8 counter-clockwise, 16 clockwise, 0 other
};

// The commands one line holds, in order (a line may hold several, as rotctld reads
// a stream of words).
QList<Command> parseLine(QByteArrayView line);

// A number as trackers send it: a decimal comma is read as a point.
std::optional<double> number(QByteArrayView text);

// One line of data in a reply, as the plain and the extended response write it.
struct Field {
    QByteArray plain;    // "12.00"
    QByteArray extended; // "Azimuth: 12.00"
};

// The reply to a command that ran with this result, with its data lines if any.
QByteArray reply(const Command& command, int result, const QList<Field>& fields = {});

// The reply to dump_caps: a text block that keeps its own line ends in every
// response form, closed by "RPRT 0" (as rotctld writes it).
QByteArray capsReply(const Command& command, QByteArrayView caps);

// The long name of a verb, as the extended response's header names it.
QByteArray longName(Verb verb);

} // namespace Rotctl
