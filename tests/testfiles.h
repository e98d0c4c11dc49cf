// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>

// Whole files in and out for the tests; a file that cannot be read reads as "<unreadable>".
[[nodiscard]] inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}
inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}
