// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace WorkingDir {

QString resolve(const QString& name) {
    if (QFileInfo::exists(name) || QFileInfo(name).isSymLink())
        return name;
    const QStringList entries = QDir::current().entryList(
        {name}, QDir::AllEntries | QDir::System | QDir::Hidden, QDir::Name);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    return name;
}

} // namespace WorkingDir

namespace SettingsFile {

bool exists(const QString& path) {
    return QFileInfo::exists(path);
}

FirstLine readFirstLine(const QString& path) {
    FirstLine result;
    QFileInfo info(path);
    if (!info.exists())
        return result;
    result.status = ReadStatus::Unreadable;
    // Only an ordinary file: opening a named pipe or a device would wait for a
    // writer, or read without end, before the window ever shows.
    if (!info.isFile())
        return result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray head = file.read(maxLineBytes);
    if (file.error() != QFileDevice::NoError)
        return result;
    qsizetype end = head.size();
    for (qsizetype i = 0; i < head.size(); ++i) {
        if (head.at(i) == '\r' || head.at(i) == '\n') {
            end = i;
            break;
        }
    }
    result.bytes = head.left(end);
    result.status = ReadStatus::Ok;
    return result;
}

bool replaceContents(const QString& path, const QByteArray& contents) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(contents) != contents.size()) {
            file.cancelWriting();
            return false;
        }
        if (file.commit())
            return true;
        // What could not be written will not fit in place either.
        if (file.error() == QFileDevice::WriteError)
            return false;
    }
    // Nothing could be put in its place (a read-only folder holding a writable file),
    // yet the settings must still be saved: rewrite the file itself.
    if (!QFileInfo(path).isFile())
        return false;
    QFile inPlace(path);
    if (!inPlace.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return inPlace.write(contents) == contents.size() && inPlace.flush();
}

} // namespace SettingsFile
