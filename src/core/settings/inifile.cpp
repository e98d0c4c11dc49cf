// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings/inifile.h"

#include "core/settings/settingsfile.h"

#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

bool isComment(QByteArrayView line) {
    return line.startsWith(';') || line.startsWith('#');
}

QByteArrayView view(QLatin1StringView text) {
    return {text.data(), text.size()};
}

// The section a header line opens, or nothing when the line is no header.
std::optional<QByteArrayView> sectionOf(QByteArrayView line) {
    if (line.size() < 2 || !line.startsWith('[') || !line.endsWith(']'))
        return std::nullopt;
    return line.sliced(1, line.size() - 2).trimmed();
}

// Where a value's trailing comment starts (with the spaces before it), or its end.
qsizetype commentStart(QByteArrayView value) {
    for (qsizetype i = 0; i < value.size(); ++i)
        if ((value[i] == ';' || value[i] == '#') && (i == 0 || isSpace(value[i - 1]))) {
            while (i > 0 && isSpace(value[i - 1]))
                --i;
            return i;
        }
    return value.size();
}

} // namespace

std::optional<QByteArray> IniFile::read(State* state, QString* reason) const {
    *state = State::Missing;
    reason->clear();
    if (!SettingsFile::exists(m_path))
        return QByteArray();
    *state = State::Unreadable;
    const SettingsFile::Target real = SettingsFile::target(m_path, marker);
    if (real.path.isEmpty()) {
        *reason = real.refusal;
        return std::nullopt;
    }
    QFile file(real.path);
    if (!QFileInfo(real.path).isFile()) {
        *reason = QStringLiteral("it is not a file");
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return std::nullopt;
    }
    if (bytes.size() > maxBytes) {
        *reason = QStringLiteral("it is larger than %1 bytes").arg(maxBytes);
        return std::nullopt;
    }
    *state = State::Loaded;
    return bytes;
}

void IniFile::parse(const QByteArray& bytes) {
    m_lines.clear();
    m_lineEnd = "\n";
    bool endSeen = false;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        qsizetype next = end;
        if (next < bytes.size())
            next += bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n' ? 2 : 1;
        Line line{bytes.sliced(start, end - start), bytes.sliced(end, next - end)};
        // New lines end as the file's first line does.
        if (!endSeen && !line.end.isEmpty()) {
            m_lineEnd = line.end;
            endSeen = true;
        }
        m_lines.append(line);
        start = next;
    }
    m_bytes = bytes;
}

IniFile::State IniFile::load() {
    const std::optional<QByteArray> bytes = read(&m_state, &m_reason);
    parse(bytes.value_or(QByteArray()));
    return m_state;
}

bool IniFile::reload() {
    State state;
    QString reason;
    const std::optional<QByteArray> bytes = read(&state, &reason);
    if (!bytes) {
        // Half-way through an editor's save, say: the values last read still hold.
        m_state = state;
        m_reason = reason;
        return false;
    }
    const bool changed = *bytes != m_bytes;
    m_state = state;
    m_reason.clear();
    if (changed)
        parse(*bytes);
    return changed;
}

qsizetype IniFile::find(IniKey key, qsizetype* sectionEnd) const {
    bool inSection = false;
    qsizetype end = -1;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QByteArrayView line = QByteArrayView(m_lines[i].bytes).trimmed();
        if (const std::optional<QByteArrayView> section = sectionOf(line)) {
            inSection = section->compare(view(key.section), Qt::CaseInsensitive) == 0;
            if (inSection)
                end = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (!line.isEmpty() && !isComment(line))
            end = i + 1;
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && !isComment(line) &&
            line.first(equals).trimmed().compare(view(key.name), Qt::CaseInsensitive) == 0)
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
    const QByteArray& line = m_lines[i].bytes;
    const QByteArrayView value = QByteArrayView(line).sliced(line.indexOf('=') + 1);
    return QString::fromUtf8(value.first(commentStart(value))).trimmed();
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
    QByteArray out;
    for (const Line& line : m_lines)
        out += line.bytes + line.end;
    return out;
}

void IniFile::insert(qsizetype at, const QByteArray& bytes) {
    if (at > 0 && m_lines[at - 1].end.isEmpty())
        m_lines[at - 1].end = m_lineEnd;
    m_lines.insert(at, {bytes, m_lineEnd});
}

bool IniFile::set(IniKey key, const QString& value, QString* error) {
    // Another program saving into the same folder waits for this save, and the other
    // way round, so neither writes over a key the other has just set.
    QLockFile lock(m_path + QStringLiteral(".lock"));
    lock.tryLock(500);
    QString reason;
    const std::optional<QByteArray> disk = read(&m_state, &reason);
    if (!disk) {
        m_reason = reason;
        if (error)
            *error = reason;
        return false;
    }
    parse(*disk);
    const QByteArray entry = value.toUtf8();
    qsizetype sectionEnd = -1;
    const qsizetype at = find(key, &sectionEnd);
    if (at >= 0) {
        // The key keeps its spelling, the spaces around its '=' and its comment.
        QByteArray& line = m_lines[at].bytes;
        const qsizetype equals = line.indexOf('=') + 1;
        const qsizetype comment = equals + commentStart(QByteArrayView(line).sliced(equals));
        qsizetype from = equals;
        while (from < comment && isSpace(line[from]))
            ++from;
        line = line.first(from == comment ? equals : from) + entry + line.sliced(comment);
    } else {
        const QByteArray line = view(key.name).toByteArray() + '=' + entry;
        if (sectionEnd >= 0) {
            insert(sectionEnd, line);
        } else {
            if (m_lines.isEmpty())
                insert(0, marker.toByteArray() +
                              " settings beyond AZIVEX.DAT; see the README for every key.");
            if (!m_lines.back().bytes.trimmed().isEmpty())
                insert(m_lines.size(), {});
            insert(m_lines.size(), '[' + view(key.section).toByteArray() + ']');
            insert(m_lines.size(), line);
        }
    }
    const QByteArray contents = text();
    if (!SettingsFile::replaceContents(m_path, contents, marker, error)) {
        parse(*disk);
        return false;
    }
    m_bytes = contents;
    m_state = State::Loaded;
    return true;
}
