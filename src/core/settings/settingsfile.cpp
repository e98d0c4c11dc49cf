// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

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

namespace {

// Bounds what is read of a linked file to find its marker; settings files are small.
constexpr qint64 maxMarkerSearchBytes = 64 * 1024;

bool ownedByUser(const QFileInfo& info) {
#ifdef Q_OS_UNIX
    return info.ownerId() == ::geteuid();
#else
    return info.isWritable();
#endif
}

bool syncToDisk(QFileDevice& file) {
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#else
    return file.flush();
#endif
}

QString why(const QFileDevice& file) {
    return file.errorString();
}

} // namespace

bool rewriteInPlace(const QString& path, const QByteArray& contents, QString* error) {
    QFile file(path);
    // Unbuffered, so a failed write fails at once and leaves nothing queued.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        *error = why(file);
        return false;
    }
    const QByteArray old = file.readAll();
    const qint64 oldSize = old.size();
    if (file.error() != QFileDevice::NoError || file.size() != oldSize) {
        *error = why(file);
        return false;
    }
    if (contents.size() > oldSize) {
        const QByteArray tail = contents.sliced(oldSize);
        if (!file.seek(oldSize) || file.write(tail) != tail.size() || !file.flush() ||
            !syncToDisk(file)) {
            *error = why(file);
            file.resize(oldSize);
            return false;
        }
    }
    const QByteArray head = contents.left(oldSize);
    if (!file.seek(0) || file.write(head) != head.size() || !file.flush() ||
        !file.resize(contents.size()) || !syncToDisk(file)) {
        *error = why(file);
        // Put back what was there, as far as the device lets us.
        file.seek(0);
        file.write(old);
        file.flush();
        file.resize(oldSize);
        return false;
    }
    return true;
}

bool exists(const QString& path) {
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

Target target(const QString& path, QByteArrayView marker) {
    const QFileInfo link(path);
    if (!link.isSymLink())
        return {path, {}};
    const QString real = link.canonicalFilePath();
    const QFileInfo info(real);
    if (real.isEmpty())
        return {{}, QStringLiteral("it is a link to nothing")};
    if (!info.isFile())
        return {{}, QStringLiteral("it is a link to %1, not a file").arg(real)};
    if (!ownedByUser(info))
        return {{}, QStringLiteral("it is a link to %1, which belongs to another user").arg(real)};
    QFile file(real);
    if (!file.open(QIODevice::ReadOnly) || !file.read(maxMarkerSearchBytes).contains(marker))
        return {{}, QStringLiteral("it is a link to %1, which is not a settings file").arg(real)};
    return {real, {}};
}

FirstLine readFirstLine(const QString& path, QByteArrayView marker) {
    FirstLine result;
    if (!exists(path))
        return result;
    result.status = ReadStatus::Unreadable;
    const Target real = target(path, marker);
    if (real.path.isEmpty()) {
        result.reason = real.refusal;
        return result;
    }
    QFileInfo info(real.path);
    // Only an ordinary file: opening a named pipe or a device would wait for a
    // writer, or read without end, before the window ever shows.
    if (!info.isFile()) {
        result.reason = QStringLiteral("it is not a file");
        return result;
    }
    QFile file(real.path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.reason = why(file);
        return result;
    }
    const QByteArray head = file.read(maxLineBytes);
    if (file.error() != QFileDevice::NoError) {
        result.reason = why(file);
        return result;
    }
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

bool replaceContents(const QString& path, const QByteArray& contents, QByteArrayView marker,
                     QString* error) {
    QString ignored;
    if (!error)
        error = &ignored;
    const Target real = target(path, marker);
    if (real.path.isEmpty()) {
        *error = real.refusal;
        return false;
    }
    QSaveFile file(real.path);
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly)) {
        // write() only fills a buffer and commit() renames even when flushing it
        // failed, so every step is checked here, before the rename.
        if (file.write(contents) != contents.size() || !file.flush() || !syncToDisk(file)) {
            *error = why(file);
            file.cancelWriting();
            return false;
        }
        // What is left to fail is putting the new file in the old one's place.
        if (file.commit())
            return true;
    }
    // Nothing could be put in its place (a read-only folder holding a writable
    // file, a name too long for a file beside it), yet the settings must still be
    // saved: rewrite the file itself, but only a file of the user's own that no other
    // name shares.
    const QFileInfo info(real.path);
    if (!info.isFile() || !ownedByUser(info)) {
        *error = why(file);
        return false;
    }
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(real.path).constData(), &st) != 0 || st.st_nlink != 1) {
        *error = QStringLiteral("the file has other names");
        return false;
    }
#endif
    return rewriteInPlace(real.path, contents, error);
}

} // namespace SettingsFile
