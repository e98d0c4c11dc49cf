// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/inifile.h"

#include "core/settingsfile.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool isComment(QStringView line) {
    return line.startsWith(u';') || line.startsWith(u'#');
}

// The section a header line opens, or nothing when the line is no header.
std::optional<QStringView> sectionOf(QStringView line) {
    if (line.size() < 2 || !line.startsWith(u'[') || !line.endsWith(u']'))
        return std::nullopt;
    return line.sliced(1, line.size() - 2).trimmed();
}

} // namespace

IniFile::State IniFile::load() {
    m_lines.clear();
    m_reason.clear();
    if (!SettingsFile::exists(m_path))
        return m_state = State::Missing;
    m_state = State::Unreadable;
    const SettingsFile::Target real = SettingsFile::target(m_path, marker);
    if (real.path.isEmpty()) {
        m_reason = real.refusal;
        return m_state;
    }
    QFile file(real.path);
    if (!QFileInfo(real.path).isFile()) {
        m_reason = QStringLiteral("it is not a file");
        return m_state;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_reason = file.errorString();
        return m_state;
    }
    const QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        m_reason = file.errorString();
        return m_state;
    }
    if (bytes.size() > maxBytes) {
        m_reason = QStringLiteral("it is larger than %1 bytes").arg(maxBytes);
        return m_state;
    }
    const QString text = QString::fromUtf8(bytes);
    if (text.contains(QStringLiteral("\r\n")))
        m_lineEnd = QStringLiteral("\r\n");
    m_lines = text.split(u'\n');
    for (QString& line : m_lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    // The text's last line end leaves an empty last element, which text() restores.
    if (!m_lines.isEmpty() && m_lines.back().isEmpty())
        m_lines.removeLast();
    return m_state = State::Loaded;
}

qsizetype IniFile::find(IniKey key, qsizetype* sectionEnd) const {
    bool inSection = false;
    qsizetype end = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QStringView line = QStringView(m_lines[i]).trimmed();
        if (const std::optional<QStringView> section = sectionOf(line)) {
            inSection = section->compare(key.section, Qt::CaseInsensitive) == 0;
            if (inSection)
                end = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (!line.isEmpty() && !isComment(line))
            end = i + 1;
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && !isComment(line) &&
            line.first(equals).trimmed().compare(key.name, Qt::CaseInsensitive) == 0)
            return i;
    }
    if (sectionEnd)
        *sectionEnd = end;
    return -1;
}

std::optional<QString> IniFile::value(IniKey key) const {
    const qsizetype i = find(key);
    if (i < 0)
        return std::nullopt;
    const QString& line = m_lines[i];
    return line.sliced(line.indexOf(u'=') + 1).trimmed();
}

QString IniFile::value(IniKey key, const QString& fallback) const {
    return value(key).value_or(fallback);
}

bool IniFile::flag(IniKey key, bool fallback) const {
    const QString text = value(key, {});
    if (text.compare(QLatin1StringView("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1StringView("false"), Qt::CaseInsensitive) == 0)
        return false;
    return fallback;
}

QByteArray IniFile::text() const {
    QString out;
    for (const QString& line : m_lines)
        out += line + m_lineEnd;
    return out.toUtf8();
}

bool IniFile::set(IniKey key, const QString& value, QString* error) {
    if (m_state == State::Unreadable) {
        if (error)
            *error = m_reason;
        return false;
    }
    const QStringList before = m_lines;
    const QString line = QString(key.name) + u'=' + value;
    qsizetype sectionEnd = -1;
    const qsizetype at = find(key, &sectionEnd);
    if (at >= 0) {
        m_lines[at] = line;
    } else if (sectionEnd >= 0) {
        m_lines.insert(sectionEnd, line);
    } else {
        if (m_lines.isEmpty())
            m_lines << QStringLiteral("%1 settings beyond AZIVEX.DAT; see the README for every key.")
                           .arg(QLatin1StringView(marker.data(), marker.size()));
        if (!m_lines.back().trimmed().isEmpty())
            m_lines << QString();
        m_lines << u'[' + QString(key.section) + u']' << line;
    }
    if (!SettingsFile::replaceContents(m_path, text(), marker, error)) {
        m_lines = before;
        return false;
    }
    m_state = State::Loaded;
    return true;
}
