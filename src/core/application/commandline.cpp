// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/application/commandline.h"

#include <cstdio>

namespace CommandLine {

QString version() {
    return QStringLiteral(AZIVEX_VERSION);
}

QStringList arguments(int argc, char* argv[]) {
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

std::optional<int> parse(QCommandLineParser& parser, const QString& program,
                         const QStringList& args, Positional positional) {
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    QString error;
    if (!parser.parse(args))
        error = parser.errorText();
    else if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // The usage line names the program as its manual page does, not by the path
        // it was started with (or a placeholder, before any application object).
        QString text = parser.helpText();
        const qsizetype from = text.indexOf(u' ') + 1;
        const qsizetype to = text.indexOf(u' ', from);
        if (from > 0 && to > from)
            text.replace(from, to - from, program);
        std::fputs(qPrintable(text), stdout);
        return 0;
    } else if (parser.isSet(versionOption)) {
        std::printf("%s %s\n", qPrintable(program), qPrintable(version()));
        return 0;
    } else if (positional == Positional::None && !parser.positionalArguments().isEmpty()) {
        error =
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
    }
    if (error.isEmpty())
        return std::nullopt;
    return usageError(program, error);
}

int usageError(const QString& program, const QString& message) {
    std::fprintf(stderr, "%s: %s (see --help)\n", qPrintable(program),
                 qPrintable(message.simplified()));
    return kUsageError;
}

} // namespace CommandLine
