// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// azivex-iconmaker: writes the program's icon for the desktop's icon theme, as PNGs at
// the usual sizes and as SVG, all drawn by the code that draws the window's icon.

#include "core/application/commandline.h"
#include "gui/icons.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the program's icon as FOLDER/hicolor/SIZE/apps/azivex.png and .svg."));
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("Where hicolor/ goes."));
    const QString program = QStringLiteral("azivex-iconmaker");
    if (const auto status = CommandLine::parse(parser, program, CommandLine::arguments(argc, argv),
                                               CommandLine::Positional::Allowed))
        return *status;
    if (parser.positionalArguments().size() != 1)
        return CommandLine::usageError(program, QStringLiteral("expected one FOLDER"));
    QGuiApplication app(argc, argv);
    const QDir out(parser.positionalArguments().first());
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(folder) ||
            !Icons::window(size).save(out.filePath(folder + "/azivex.png"))) {
            std::fprintf(stderr, "azivex-iconmaker: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    const QString svg = out.filePath(QStringLiteral("hicolor/scalable/apps/azivex.svg"));
    out.mkpath(QStringLiteral("hicolor/scalable/apps"));
    QSvgGenerator generator;
    generator.setFileName(svg);
    generator.setSize(QSize(48, 48));
    generator.setViewBox(QRect(0, 0, 48, 48));
    generator.setTitle(QStringLiteral("AZIVEX"));
    generator.setDescription(QStringLiteral("Antenna rotator control"));
    {
        QPainter p(&generator);
        Icons::paintWindow(p);
    }
    if (!QFileInfo(svg).isFile()) {
        std::fprintf(stderr, "azivex-iconmaker: cannot write %s\n", qPrintable(svg));
        return 1;
    }
    return 0;
}
