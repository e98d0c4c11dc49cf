// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <optional>

// A key of the INI file: its section and its name.
struct IniKey {
    QLatin1StringView section;
    QLatin1StringView name;
};

// An INI file that people edit by hand, even while the program runs, kept byte for
// byte: a value that is set changes its own line where it stands (or joins its
// section), on the file as it is on disk at that moment, and every other line stays
// exactly as it was, whatever its encoding or line end. Section and key names match in
// any letter case; a value is the rest of its line, trimmed, up to a comment that
// starts with ';' or '#' after a space.
class IniFile {
  public:
    enum class State { Missing, Loaded, Unreadable };
    // What a file written by the program starts with; a link is followed only to a
    // file that holds it.
    static constexpr QByteArrayView marker = "; AZIVEX";
    // Larger files are not settings written by hand.
    static constexpr qint64 maxBytes = 1024 * 1024;

    explicit IniFile(const QString& path = {}) : m_path(path) {}

    // Reads the file; a missing file is an empty one.
    State load();
    // Reads the file again: true when what it holds changed since it was last read or
    // written. A file that cannot be read now keeps the values last read.
    bool reload();
    State state() const { return m_state; }
    // Why the file could not be read.
    QString reason() const { return m_reason; }
    QString path() const { return m_path; }

    std::optional<QString> value(IniKey key) const;
    QString value(IniKey key, const QString& fallback) const;
    // "true" or "false" in any letter case; anything else is the fallback.
    bool flag(IniKey key, bool fallback) const;

    // Sets the value on the file as it is on disk now and saves it at once, the
    // careful way the settings file is saved; what others wrote meanwhile stays. A
    // file that cannot be read is never overwritten: false, as for any file that was
    // not saved, with the reason in error.
    bool set(IniKey key, const QString& value, QString* error = nullptr);

    // The whole file as it would be saved.
    QByteArray text() const;

  private:
    struct Line {
        QByteArray bytes;
        QByteArray end; // "\n", "\r\n", "\r", or nothing on a last line without one
    };
    // The file's bytes, or nothing (state and reason say why).
    std::optional<QByteArray> read(State* state, QString* reason) const;
    void parse(const QByteArray& bytes);
    // The line of key in lines, or -1; section: the line after its section's last
    // line, or -1 when the section is absent.
    qsizetype find(IniKey key, qsizetype* sectionEnd = nullptr) const;
    void insert(qsizetype at, const QByteArray& bytes);

    QString m_path;
    QList<Line> m_lines;
    QByteArray m_lineEnd = "\n";
    QByteArray m_bytes; // as last read or written
    State m_state = State::Missing;
    QString m_reason;
};
