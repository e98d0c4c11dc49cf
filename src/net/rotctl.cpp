// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/rotctl.h"

#include "core/geography/geodesy.h"

#include <QLocale>
#include <cctype>
#include <cmath>

namespace Rotctl {

namespace {

struct VerbName {
    char letter;
    const char* name;
    Verb verb;
    int arguments;
};

constexpr VerbName kVerbs[] = {
    {'P', "set_pos", Verb::SetPos, 2},     {'p', "get_pos", Verb::GetPos, 0},
    {'S', "stop", Verb::Stop, 0},          {'M', "move", Verb::Move, 2},
    {'K', "park", Verb::Park, 0},          {'_', "get_info", Verb::GetInfo, 0},
    {0, "dump_state", Verb::DumpState, 0}, {'1', "dump_caps", Verb::DumpCaps, 0},
    {'q', "quit", Verb::Quit, 0},
    {'Q', "quit", Verb::Quit, 0},
};

const VerbName* find(QByteArrayView word) {
    for (const VerbName& v : kVerbs) {
        if (word.size() == 1 && v.letter != 0 && word.front() == v.letter)
            return &v;
        if (word.size() > 1 && word.front() == '\\' && word.sliced(1) == QByteArrayView(v.name))
            return &v;
    }
    return nullptr;
}

int directionOf(QByteArrayView word) {
    const QByteArray w = word.toByteArray().toUpper();
    if (w == "8" || w == "LEFT" || w == "CCW")
        return 8;
    if (w == "16" || w == "RIGHT" || w == "CW")
        return 16;
    return 0;
}

} // namespace

std::optional<double> number(QByteArrayView text) {
    QByteArray t = text.toByteArray();
    t.replace(',', '.');
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

QList<Command> parseLine(QByteArrayView line) {
    QList<QByteArrayView> words;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > start)
            words.append(line.sliced(start, i - start));
    }
    QList<Command> commands;
    for (qsizetype w = 0; w < words.size(); ++w) {
        Command c;
        QByteArrayView word = words[w];
        // A leading punctuation character asks for the extended response; the
        // backslash of a long name and the get_info letter are no such prefix.
        const unsigned char first = static_cast<unsigned char>(word.front());
        if (std::ispunct(first) && first != '\\' && first != '_') {
            c.separator = first == '+' ? '\n' : char(first);
            word = word.sliced(1);
            if (word.isEmpty())
                continue; // a prefix on its own asks for nothing
        }
        const VerbName* verb = find(word);
        if (!verb) {
            commands.append(c);
            continue;
        }
        c.verb = verb->verb;
        for (int a = 0; a < verb->arguments; ++a) {
            if (w + 1 >= words.size()) {
                c.malformed = true;
                break;
            }
            c.args.append(words[++w].toByteArray());
        }
        if (!c.malformed && c.verb == Verb::SetPos) {
            const std::optional<double> az = number(c.args[0]);
            c.malformed = !az || !number(c.args[1]);
            if (az)
                c.azimuth = Geodesy::normalizedDegrees(*az);
        } else if (!c.malformed && c.verb == Verb::Move) {
            c.direction = directionOf(c.args[0]);
            c.malformed = !number(c.args[1]);
        }
        commands.append(c);
    }
    return commands;
}

QByteArray capsReply(const Command& command, QByteArrayView caps) {
    QByteArray out;
    if (command.separator != 0)
        out = longName(command.verb) + ':' + command.separator;
    return out + caps.toByteArray() + "RPRT 0\n";
}

QByteArray longName(Verb verb) {
    for (const VerbName& v : kVerbs)
        if (v.verb == verb)
            return v.name;
    return {};
}

QByteArray reply(const Command& command, int result, const QList<Field>& fields) {
    const QByteArray rprt = "RPRT " + QByteArray::number(result);
    if (command.separator == 0) {
        // Plain: the data alone when there is data, else the result.
        if (fields.isEmpty() || result != Ok)
            return rprt + '\n';
        QByteArray out;
        for (const Field& f : fields)
            out += f.plain + '\n';
        return out;
    }
    const char sep = command.separator;
    QByteArray out = longName(command.verb) + ':';
    for (const QByteArray& arg : command.args)
        out += ' ' + arg;
    out += sep;
    if (result == Ok)
        for (const Field& f : fields)
            out += f.extended + sep;
    return out + rprt + '\n';
}

} // namespace Rotctl
