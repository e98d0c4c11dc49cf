#pragma once

#include <QByteArray>
#include <QString>

// File access for the settings file: a bounded read of its first line and an
// atomic replacement of the whole file.
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
// leaves an empty or half-written file. False when nothing was replaced.
bool replaceContents(const QString& path, const QByteArray& contents);

} // namespace SettingsFile
