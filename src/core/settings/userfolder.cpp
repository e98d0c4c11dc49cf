// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings/userfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const char* const kStandardPictures[] = {"world1.bmp", "world2.bmp", "world3.bmp"};

bool holdsPictures(const QString& folder) {
    return QFileInfo(QDir(folder).filePath(QLatin1String(kStandardPictures[0]))).isFile();
}

} // namespace

namespace UserFolder {

QString path() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("azivex"));
}

QStringList standardPicturesCandidates() {
    QStringList folders{Installed::dataFolder(),
                        QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                                            .filePath(QStringLiteral(AZIVEX_MAPS_FROM_BUILT_BIN)))};
    folders << QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                         QStringLiteral("azivex"), QStandardPaths::LocateDirectory);
    folders.removeDuplicates();
    return folders;
}

QString standardPicturesFolder() {
    for (const QString& folder : standardPicturesCandidates()) {
        if (holdsPictures(folder))
            return folder;
    }
    return {};
}

QString prepare(const QString& folder, const QString& picturesFolder) {
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create %1").arg(folder);
    const QDir into(folder);
    const QDir from(picturesFolder);
    const QStringList present =
        into.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const char* name : kStandardPictures) {
        const QString file = QLatin1String(name);
        if (picturesFolder.isEmpty() || present.contains(file, Qt::CaseInsensitive))
            continue;
        if (!QFile::copy(from.filePath(file), into.filePath(file)))
            return QStringLiteral("cannot copy %1 into %2").arg(from.filePath(file), folder);
    }
    return {};
}

} // namespace UserFolder

QString Installed::dataFolder() {
    return QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                               .filePath(QStringLiteral(AZIVEX_DATA_FROM_BIN)));
}

QString Installed::mapDataFolder() {
    const QString installed = dataFolder() + QStringLiteral("/naturalearth");
    if (QFileInfo(installed).isDir())
        return installed;
    return QStringLiteral(AZIVEX_MAP_DATA_SOURCE_DIR);
}
