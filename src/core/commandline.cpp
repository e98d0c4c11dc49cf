// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/commandline.h"

#include <QCoreApplication>
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
        // The help text names the program through the application object; a program
        // that parses before making its own gets a plain one for the moment.
        const QByteArray name = program.toLocal8Bit();
        char* argv[] = {const_cast<char*>(name.constData()), nullptr};
        int argc = 1;
        std::optional<QCoreApplication> app;
        if (!QCoreApplication::instance())
            app.emplace(argc, argv);
        std::fputs(qPrintable(parser.helpText()), stdout);
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
    std::fprintf(stderr, "%s: %s (see --help)\n", qPrintable(program),
                 qPrintable(error.simplified()));
    return kUsageError;
}

} // namespace CommandLine
