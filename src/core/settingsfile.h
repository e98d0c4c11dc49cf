// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Files the program finds by a bare name in its working directory: the settings
// file and the map pictures.
namespace WorkingDir {

// The entry to use for a name: the name itself when an entry of that name exists,
// else an entry whose name differs only in case (a file copied in as WORLD4.BMP or
// azivex.dat), else the name unchanged.
QString resolve(const QString& name);

} // namespace WorkingDir

// File access for the settings file: a bounded read of its first line and a
// replacement of the whole file.
namespace SettingsFile {

enum class ReadStatus { Ok, Missing, Unreadable };

struct FirstLine {
    ReadStatus status = ReadStatus::Missing;
    QByteArray bytes; // without its line end
};

// At most this many bytes of the first line are read, so a huge or binary file
// cannot exhaust memory.
inline constexpr qsizetype maxLineBytes = 4096;

bool exists(const QString& path);
FirstLine readFirstLine(const QString& path);

// Writes beside the file and renames over it, so a full disk or a crash never
// leaves an empty or half-written file. Where nothing can be created beside it (a
// read-only folder holding a writable file) the file is rewritten in place. False
// when nothing was written.
bool replaceContents(const QString& path, const QByteArray& contents);

} // namespace SettingsFile
