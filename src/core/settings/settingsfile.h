// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
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
    QString reason;   // why it is unreadable, for standard error
};

// At most this many bytes of the first line are read, so a huge or binary file
// cannot exhaust memory.
inline constexpr qsizetype maxLineBytes = 4096;

bool exists(const QString& path);

// A settings file may be a symbolic link to the operator's own file elsewhere, but
// the program must never be led into writing a file that is not its own: a link is
// followed only to a regular file that belongs to the user running the program and
// holds `marker`, a line every file the program writes carries. The real file to
// read and write, or why the link is not followed.
struct Target {
    QString path;
    QString refusal; // empty when path may be used
};
Target target(const QString& path, QByteArrayView marker);

// The first line of the file, or of the file a followed link leads to.
FirstLine readFirstLine(const QString& path, QByteArrayView marker);

// Writes beside the file (the link's target, for a followed link) and renames over
// it, so a full disk or a crash never leaves an empty or half-written file. Where
// nothing can be created beside it (a read-only folder holding a writable file of
// the user's own) the file is rewritten in place: the new bytes that need new room
// first, so a full disk leaves the old contents whole. False when the old file was
// kept, with the reason in `error` when one is given.
bool replaceContents(const QString& path, const QByteArray& contents, QByteArrayView marker,
                     QString* error = nullptr);

// The in-place rewrite of an existing file. The bytes beyond the old end are written
// first: where the disk is full that is what fails, and the file is cut back to its
// old size untouched. Only then is the old part overwritten, which needs no new room
// (a crash during that overwrite can still leave a mix of old and new bytes).
bool rewriteInPlace(const QString& path, const QByteArray& contents, QString* error);

} // namespace SettingsFile
