#include "app/settingscodec.h"

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
qsizetype firstPos(const QString& line, QChar c) { return line.indexOf(c) + 1; }
qsizetype lastPos(const QString& line, QChar c) { return line.lastIndexOf(c) + 1; }

} // namespace

namespace SettingsCodec {

bool isCurrentFormat(const QString& line) { return line.contains(u'/'); }

ExtractedFields extractLinkFields(const QString& line) {
    const qsizetype comma = firstPos(line, u',');
    const qsizetype colon = firstPos(line, u':');
    ExtractedFields f;
    f.portNo = field(line, 1, comma - 1);
    f.lineSettings = field(line, comma + 1, colon - comma - 1);
    return f;
}

ExtractedFields extract(const QString& line) {
    ExtractedFields f = extractLinkFields(line);
    const qsizetype colon = firstPos(line, u':');
    const qsizetype dash = lastPos(line, u'-');
    const qsizetype slash = firstPos(line, u'/');
    f.pictureNo = field(line, dash + 1, 1);
    f.offset = field(line, colon + 1, dash - colon - 1);
    f.controlPosition = field(line, slash + 1, 1);
    return f;
}

QString defaultDataLine(const QString& text1, const QString& text2, const QString& text5) {
    return text1 + u',' + text2 + u':' + text5 + QStringLiteral("-0/0");
}

QString recreatedDataLine(const QString& text1, const QString& text2) {
    return text1 + u',' + text2 + QStringLiteral(":0-0/0");
}

QString registeredDataLine(const QString& text1, const QString& text2, const QString& text5,
                           const QString& pictureNo, const QString& controlPosition) {
    return text1 + u',' + text2 + u':' + text5 + u'-' + pictureNo + u'/' + controlPosition;
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
