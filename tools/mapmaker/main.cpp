// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// azivex-mapmaker: draws a map picture for the rotator program, an azimuthal
// equidistant world map centred on the station, north up, saved in the picture
// format its file name's extension names (a 24-bit Windows bitmap for .bmp).

#include "core/application/commandline.h"
#include "core/settings/userfolder.h"
#include "mapdraw/maprenderer.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QTextStream>

#include <cmath>

namespace {

bool readNumber(const QCommandLineParser& parser, const QString& name, double low, double high,
                double& value, QString& error) {
    bool ok = false;
    value = parser.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < low || value > high) {
        error = QStringLiteral("--%1 must be a number from %2 to %3, not \"%4\"")
                    .arg(name)
                    .arg(low)
                    .arg(high)
                    .arg(parser.value(name));
        return false;
    }
    return true;
}

// The picture format that the file name's extension names, as QImageWriter knows it,
// or an empty name and the error: a picture is never written in a format its name
// does not say.
QByteArray formatOf(const QString& file, QString& error) {
    const QByteArray extension = QFileInfo(file).suffix().toLower().toLatin1();
    const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
    if (!extension.isEmpty() && formats.contains(extension))
        return extension;
    error = QStringLiteral("--out needs a file name ending in a picture format's extension "
                           "(%1), not \"%2\"")
                .arg(QString::fromLatin1(formats.join(", ")), file);
    return {};
}

} // namespace

int main(int argc, char* argv[]) {
    // The tool never opens a window; without this a machine with no display
    // could not even start it.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Draws a world map centred on a station (azimuthal equidistant, north up, the\n"
        "antipode on the rim) and saves it for AZIVEX in the format the file name's\n"
        "extension names: a 24-bit BMP picture for .bmp, or .png and others.\n"
        "Example: azivex-mapmaker --lat 35.68 --lon 139.77 --size 200 --out world4.bmp"));
    parser.addOption({QStringLiteral("lat"),
                      QStringLiteral("Station latitude in degrees, north positive (-90 to 90)."),
                      QStringLiteral("degrees")});
    parser.addOption({QStringLiteral("lon"),
                      QStringLiteral("Station longitude in degrees, east positive (-180 to 180)."),
                      QStringLiteral("degrees")});
    parser.addOption({QStringLiteral("size"),
                      QStringLiteral("Width and height of the picture in pixels (32 to 4000)."),
                      QStringLiteral("pixels"), QStringLiteral("200")});
    parser.addOption(
        {QStringLiteral("out"), QStringLiteral("Picture file to write; its extension (.bmp, .png...) "
                                     "gives the format."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("data"),
                      QStringLiteral("Folder with land-50m.json and countries-50m.json "
                                     "(default: the installed share/azivex/naturalearth)."),
                      QStringLiteral("dir")});
    const QString program = QStringLiteral("azivex-mapmaker");
    if (const auto status = CommandLine::parse(parser, program, CommandLine::arguments(argc, argv)))
        return *status;

    QString error;
    for (const char* required : {"lat", "lon", "out"}) {
        if (!parser.isSet(QLatin1String(required)))
            return CommandLine::usageError(
                program, QStringLiteral("--%1 is required").arg(QLatin1String(required)));
    }
    double lat = 0;
    double lon = 0;
    double size = 0;
    if (!readNumber(parser, QStringLiteral("lat"), -90, 90, lat, error) ||
        !readNumber(parser, QStringLiteral("lon"), -180, 180, lon, error) ||
        !readNumber(parser, QStringLiteral("size"), mapdraw::minPictureSizePx,
                    mapdraw::maxPictureSizePx, size, error))
        return CommandLine::usageError(program, error);
    if (size != std::floor(size))
        return CommandLine::usageError(program, QStringLiteral("--size must be a whole number"));
    const QString out = parser.value(QStringLiteral("out"));
    const QByteArray format = formatOf(out, error);
    if (format.isEmpty())
        return CommandLine::usageError(program, error);

    // Made only now, so that its start adds nothing to a one-line mistake.
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QString dataFolder = parser.isSet(QStringLiteral("data"))
                                   ? parser.value(QStringLiteral("data"))
                                   : Installed::mapDataFolder();
    const auto data = mapdraw::loadMapData(dataFolder, &error);
    if (!data) {
        err << "azivex-mapmaker: " << error << '\n';
        return 1;
    }
    const QImage image = mapdraw::renderMap(*data, {lat, lon}, int(size));
    // RGB888 makes the BMP writer store 24 bits a pixel. The file appears only whole.
    QSaveFile file(out);
    QImageWriter writer(&file, format);
    if (!file.open(QIODevice::WriteOnly) ||
        !writer.write(image.convertToFormat(QImage::Format_RGB888)) || !file.commit()) {
        const QString why = file.error() != QFileDevice::NoError ? file.errorString()
                                                                  : writer.errorString();
        err << "azivex-mapmaker: cannot write " << out << ": " << why << '\n';
        return 1;
    }
    return 0;
}
