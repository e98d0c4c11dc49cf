// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/serialports.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <map>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

// Digits only, no sign, no leading zero (device and port names never have one).
std::optional<int> plainNumber(QStringView digits) {
    if (digits.isEmpty() || (digits.size() > 1 && digits.front() == u'0'))
        return std::nullopt;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}

struct TableRange {
    const char* prefix;
    int first;
};
// 32 numbers for each kind of device.
constexpr TableRange kTable[] = {{"/dev/ttyS", 1}, {"/dev/ttyUSB", 33}, {"/dev/ttyACM", 65}};
constexpr int kTableSpan = 32;

#ifndef Q_OS_WIN
// The working directory's "COMN" entry if it is a symbolic link (present target or
// not) or a character device; anything else there (a stray file) is not a port.
QString workingDirEntry(int n, const QString& workingDir) {
    if (workingDir.isEmpty())
        return {};
    const QString path = QDir(workingDir).absoluteFilePath(QStringLiteral("COM%1").arg(n));
    const QFileInfo info(path);
    if (info.isSymLink())
        return path;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode))
        return path;
    return {};
}
#endif

} // namespace

QString comDevicePath(int n, const QString& workingDir) {
    if (n < 1 || n > kHighestComNumber)
        return {};
#ifdef Q_OS_WIN
    Q_UNUSED(workingDir);
    return QStringLiteral("COM%1").arg(n);
#else
    const QString entry = workingDirEntry(n, workingDir);
    if (!entry.isEmpty())
        return entry;
    for (const TableRange& range : kTable) {
        if (n >= range.first && n < range.first + kTableSpan)
            return QLatin1String(range.prefix) + QString::number(n - range.first);
    }
    return {};
#endif
}

std::optional<int> comNumberForDevice(const QString& systemLocation) {
    // Windows names its ports COMN, with or without the device namespace prefix.
    QStringView name(systemLocation);
    if (name.startsWith(u"\\\\.\\"))
        name = name.mid(4);
    if (name.startsWith(u"COM", Qt::CaseInsensitive)) {
        const std::optional<int> n = plainNumber(name.mid(3));
        if (!n || *n < 1 || *n > kHighestComNumber)
            return std::nullopt;
        return n;
    }
    for (const TableRange& range : kTable) {
        const QLatin1String prefix(range.prefix);
        if (!systemLocation.startsWith(prefix))
            continue;
        const std::optional<int> k = plainNumber(QStringView(systemLocation).mid(prefix.size()));
        if (k && *k < kTableSpan)
            return range.first + *k;
    }
    return std::nullopt;
}

QStringList listPresentPorts(const QString& workingDir) {
    std::map<int, QString> byNumber;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& port : ports) {
        const std::optional<int> n = comNumberForDevice(port.systemLocation());
        if (!n)
            continue;
        const QString description = port.description();
        byNumber[*n] = description.isEmpty() ? port.systemLocation() : description;
    }
#ifndef Q_OS_WIN
    if (!workingDir.isEmpty()) {
        static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,4})$"));
        const QDir dir(workingDir);
        const QStringList names =
            dir.entryList({QStringLiteral("COM*")}, QDir::AllEntries | QDir::System);
        for (const QString& name : names) {
            const QRegularExpressionMatch m = comName.match(name);
            if (!m.hasMatch())
                continue;
            const int n = m.captured(1).toInt();
            if (n > kHighestComNumber || workingDirEntry(n, workingDir).isEmpty())
                continue;
            // A link whose device is absent (adapter unplugged) is not a present port.
            const QString target = QFileInfo(dir.absoluteFilePath(name)).canonicalFilePath();
            if (target.isEmpty())
                continue;
            QString description = target;
            for (const QSerialPortInfo& port : ports) {
                if (QFileInfo(port.systemLocation()).canonicalFilePath() == target &&
                    !port.description().isEmpty()) {
                    description = port.description();
                    break;
                }
            }
            byNumber[n] = description;
        }
    }
#else
    Q_UNUSED(workingDir);
#endif
    QStringList entries;
    for (const auto& [n, description] : byNumber)
        // Joined, not formatted: a description may itself hold "%1".
        entries << description + QStringLiteral(" (COM") + QString::number(n) + u')';
    return entries;
}

std::optional<int> comNumberFromEntry(const QString& entry) {
    static const QRegularExpression trailing(QStringLiteral("\\(COM([0-9]+)\\)$"));
    const QRegularExpressionMatch m = trailing.match(entry);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const int n = m.capturedView(1).toInt(&ok);
    if (!ok || n < 1 || n > kHighestComNumber)
        return std::nullopt;
    return n;
}
