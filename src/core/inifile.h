// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <optional>

// A key of the INI file: its section and its name.
struct IniKey {
    QLatin1StringView section;
    QLatin1StringView name;
};

// An INI file that people edit by hand, kept line by line: a value that is set is
// changed where it stands (or added at the end of its section), and every other
// line, comment, key or section the program does not know stays as it was. Section
// and key names match in any letter case; a value is the rest of its line, trimmed.
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
    State state() const { return m_state; }
    // Why the file could not be read.
    QString reason() const { return m_reason; }
    QString path() const { return m_path; }

    std::optional<QString> value(IniKey key) const;
    QString value(IniKey key, const QString& fallback) const;
    // "true" or "false" in any letter case; anything else is the fallback.
    bool flag(IniKey key, bool fallback) const;

    // Sets the value and saves the file at once, the careful way the settings file is
    // saved. A file that could not be read is never overwritten: false, as for any
    // file that was not saved, with the reason in error.
    bool set(IniKey key, const QString& value, QString* error = nullptr);

    // The whole text as it would be saved.
    QByteArray text() const;

  private:
    // The line of key in lines, or -1; section: the line after its section's last
    // line, or -1 when the section is absent.
    qsizetype find(IniKey key, qsizetype* sectionEnd = nullptr) const;

    QString m_path;
    QStringList m_lines;
    QString m_lineEnd = QStringLiteral("\n");
    State m_state = State::Missing;
    QString m_reason;
};
