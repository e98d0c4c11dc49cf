// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings/settings.h"

#include <QStringDecoder>

namespace {

// Characters [start, start + count) counted from 1, by the extraction rule: a
// negative count extracts nothing (the field keeps its value), a start beyond the
// end gives "", a count past the end stops at the end.
std::optional<QString> field(const QString& line, qsizetype start, qsizetype count) {
    if (count < 0)
        return std::nullopt;
    if (start < 1)
        start = 1;
    if (start > line.size())
        return QString();
    QString text = line.mid(start - 1, count);
    // A character outside the basic plane counts as one: never cut a surrogate pair.
    const qsizetype next = start - 1 + text.size();
    if (!text.isEmpty() && text.back().isHighSurrogate() && next < line.size() &&
        line.at(next).isLowSurrogate())
        text.append(line.at(next));
    return text;
}

// 1-based position of the first (or last) occurrence, 0 when absent.
qsizetype firstPos(const QString& line, QChar c) {
    return line.indexOf(c) + 1;
}
qsizetype lastPos(const QString& line, QChar c) {
    return line.lastIndexOf(c) + 1;
}

} // namespace

namespace SettingsCodec {

bool isCurrentFormat(const QString& line) {
    return line.contains(u'/');
}

SettingsFields extractLinkFields(const QString& line) {
    const qsizetype comma = firstPos(line, u',');
    const qsizetype colon = firstPos(line, u':');
    SettingsFields f;
    f.portNo = field(line, 1, comma - 1);
    f.lineSettings = field(line, comma + 1, colon - comma - 1);
    return f;
}

SettingsFields extract(const QString& line) {
    SettingsFields f = extractLinkFields(line);
    const qsizetype colon = firstPos(line, u':');
    const qsizetype dash = lastPos(line, u'-');
    const qsizetype slash = firstPos(line, u'/');
    f.pictureNo = field(line, dash + 1, 1);
    f.offset = field(line, colon + 1, dash - colon - 1);
    f.controlPosition = field(line, slash + 1, 1);
    return f;
}

QString defaultDataLine(const QString& port, const QString& line, const QString& offset) {
    return port + u',' + line + u':' + offset + QStringLiteral("-0/0");
}

QString recreatedDataLine(const QString& port, const QString& line) {
    return port + u',' + line + QStringLiteral(":0-0/0");
}

QString registeredDataLine(const Settings& s) {
    return s.portNo + u',' + s.lineSettings + u':' + s.offset + u'-' + s.pictureNo + u'/' +
           s.controlPosition;
}

QByteArray fileText(const QString& dataLine) {
    QByteArray out = dataLine.toUtf8();
    out += "\r\n\r\nReference\r\n";
    out += referenceLine.toLatin1();
    out += "\r\n";
    return out;
}

QString decodeLine(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace SettingsCodec
