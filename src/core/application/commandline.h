// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineParser>
#include <QStringList>
#include <optional>

// What every AZIVEX executable does with its command line: --help and --version
// print to standard output and end with status 0; a mistake is one line on standard
// error and status 2. None of it needs a display.
namespace CommandLine {

inline constexpr int kUsageError = 2;

QString version();

enum class Positional { None, Allowed };

// Adds --help and --version to the parser, parses args and answers those two and any
// mistake. Returns the exit status when the program is to end now.
std::optional<int> parse(QCommandLineParser& parser, const QString& program,
                         const QStringList& args, Positional positional = Positional::None);

// Reports a mistake on the command line as one line on standard error, naming the
// program and pointing to --help. Returns the status to exit with.
int usageError(const QString& program, const QString& message);

// The arguments as the system passed them, for parsing before any application object.
QStringList arguments(int argc, char* argv[]);

} // namespace CommandLine
