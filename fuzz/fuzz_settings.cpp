// The settings file reader on any bytes as the file: the bounded first-line read,
// the decoding of its bytes and the extraction of the five fields, checked against
// an independent reading of the format; and the writers' lines read back.

#include "fuzzcheck.h"

#include "app/settingscodec.h"
#include "platform/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <optional>

namespace {

const QString& datPath() {
    // Every writer syncs the file to disk; on a memory file system that costs nothing.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/azivex-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/azivex-fuzz-XXXXXX"));
    static const QString path = dir.filePath(SettingsCodec::fileName);
    return path;
}

void writeFile(const QByteArray& bytes) {
    QFile f(datPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fuzzFail("writing the settings file", datPath());
}

// 1-based position of the first (or last) occurrence, 0 when absent.
qsizetype firstAt(const QString& line, char16_t c) {
    for (qsizetype i = 0; i < line.size(); ++i)
        if (line.at(i) == c)
            return i + 1;
    return 0;
}
qsizetype lastAt(const QString& line, char16_t c) {
    for (qsizetype i = line.size(); i > 0; --i)
        if (line.at(i - 1) == c)
            return i;
    return 0;
}

// count characters from position start (1-based): nothing for a negative count,
// cut at the end of the line.
std::optional<QString> take(const QString& line, qsizetype start, qsizetype count) {
    if (count < 0)
        return std::nullopt;
    QString out;
    for (qsizetype p = start; p < start + count && p <= line.size(); ++p)
        out += line.at(p - 1);
    return out;
}

struct Fields {
    std::optional<QString> portNo, lineSettings, offset, pictureNo, controlPosition;
};

Fields referenceFields(const QString& line, bool all) {
    const qsizetype comma = firstAt(line, u','), colon = firstAt(line, u':');
    Fields f;
    f.portNo = take(line, 1, comma - 1);
    f.lineSettings = take(line, comma + 1, colon - comma - 1);
    if (all) {
        const qsizetype dash = lastAt(line, u'-'), slash = firstAt(line, u'/');
        f.pictureNo = take(line, dash + 1, 1);
        f.offset = take(line, colon + 1, dash - colon - 1);
        f.controlPosition = take(line, slash + 1, 1);
    }
    return f;
}

// Well-formed UTF-8 as text: shortest forms only, no surrogates, nothing above
// U+10FFFF; nothing for anything else.
std::optional<QString> utf8Text(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    for (qsizetype i = 0; i < n;) {
        const unsigned c = p[i];
        int more = 0;
        char32_t lowest = 0, value = 0;
        if (c < 0x80)
            more = 0, value = c;
        else if (c >= 0xC2 && c <= 0xDF)
            more = 1, lowest = 0x80, value = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2, lowest = 0x800, value = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3, lowest = 0x10000, value = c & 0x07;
        else
            return std::nullopt;
        for (int k = 1; k <= more; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                return std::nullopt;
            value = value << 6 | (p[i + k] & 0x3F);
        }
        if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return std::nullopt;
        if (value >= 0x10000) {
            out += QChar(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
            out += QChar(static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF)));
        } else {
            out += QChar(static_cast<char16_t>(value));
        }
        i += 1 + more;
    }
    return out;
}

QString text(const std::optional<QString>& v) { return v ? shown(*v) : QStringLiteral("(kept)"); }

void sameField(const char* name, const std::optional<QString>& got,
               const std::optional<QString>& want, const QString& line) {
    if (got != want)
        fuzzFail(name, QStringLiteral("line %1: got %2, expected %3")
                           .arg(shown(line), text(got), text(want)));
}

void sameFields(const ExtractedFields& got, const Fields& want, const QString& line) {
    sameField("portNo", got.portNo, want.portNo, line);
    sameField("lineSettings", got.lineSettings, want.lineSettings, line);
    sameField("offset", got.offset, want.offset, line);
    sameField("pictureNo", got.pictureNo, want.pictureNo, line);
    sameField("controlPosition", got.controlPosition, want.controlPosition, line);
}

// Writes a data line as a writer does and reads it back as start-up does.
QString writtenAndRead(const QString& dataLine) {
    const QByteArray file = SettingsCodec::fileText(dataLine);
    FUZZ_CHECK(file.endsWith("\r\n") && file.count("\r\n") == 4, shown(file));
    FUZZ_CHECK(SettingsFile::replaceContents(datPath(), file), datPath());
    const SettingsFile::FirstLine back = SettingsFile::readFirstLine(datPath());
    FUZZ_CHECK(back.status == SettingsFile::ReadStatus::Ok, shown(dataLine));
    return SettingsCodec::decodeLine(back.bytes);
}

bool hasAny(const QString& s, QStringView chars) {
    for (QChar c : chars)
        if (s.contains(c))
            return true;
    return false;
}

// A line the file can hold at all: the reader takes at most maxLineBytes of it.
bool fitsOneRead(const QString& dataLine) {
    return dataLine.toUtf8().size() <= SettingsFile::maxLineBytes;
}

void checkRegistrationRoundTrip(const ExtractedFields& f) {
    if (!f.portNo || !f.lineSettings || !f.offset || !f.pictureNo || !f.controlPosition)
        return;
    // The fields that the writer's separators can stand between unambiguously: the
    // port before the first comma, the line settings before the first colon, nothing
    // before the slash holding one, the picture a single character after the last
    // dash. A leading byte order mark is dropped by the reader on purpose. A
    // one-character field cut from a character beyond U+FFFF holds half of it, which
    // no file can hold; the window replaces both such fields before it writes.
    if (!f.pictureNo->isValidUtf16() || !f.controlPosition->isValidUtf16() ||
        hasAny(*f.portNo, u",:/") || hasAny(*f.lineSettings, u":/") || f.offset->contains(u'/') ||
        f.pictureNo->size() != 1 || hasAny(*f.pictureNo, u"-/") ||
        f.controlPosition->contains(u'-') || f.portNo->startsWith(QChar(0xFEFF)))
        return;
    const QString line = SettingsCodec::registeredDataLine(*f.portNo, *f.lineSettings, *f.offset,
                                                           *f.pictureNo, *f.controlPosition);
    if (!fitsOneRead(line))
        return;
    const QString back = writtenAndRead(line);
    FUZZ_CHECK(back == line, shown(line) + QStringLiteral(" read back as ") + shown(back));
    FUZZ_CHECK(SettingsCodec::isCurrentFormat(back), shown(back));
    const ExtractedFields g = SettingsCodec::extract(back);
    sameField("round trip portNo", g.portNo, f.portNo, line);
    sameField("round trip lineSettings", g.lineSettings, f.lineSettings, line);
    sameField("round trip offset", g.offset, f.offset, line);
    sameField("round trip pictureNo", g.pictureNo, f.pictureNo, line);
    sameField("round trip controlPosition", g.controlPosition, f.controlPosition, line);
}

void checkRecreation(const ExtractedFields& f) {
    // Empty or absent link fields fall back to the window's design-time texts.
    const QString port = f.portNo && !f.portNo->isEmpty() ? *f.portNo : QStringLiteral("3");
    const QString settings =
        f.lineSettings && !f.lineSettings->isEmpty() ? *f.lineSettings : QStringLiteral("9600,N,8,1");
    if (hasAny(port, u",:") || port.startsWith(QChar(0xFEFF)))
        return;
    const QString line = SettingsCodec::recreatedDataLine(port, settings);
    if (!fitsOneRead(line))
        return;
    const QString back = writtenAndRead(line);
    FUZZ_CHECK(SettingsCodec::isCurrentFormat(back), shown(back));
    const ExtractedFields g = SettingsCodec::extract(back);
    sameField("recreated portNo", g.portNo, port, line);
    sameField("recreated lineSettings", g.lineSettings, settings, line);
    sameField("recreated offset", g.offset, QStringLiteral("0"), line);
    sameField("recreated pictureNo", g.pictureNo, QStringLiteral("0"), line);
    sameField("recreated controlPosition", g.controlPosition, QStringLiteral("0"), line);
}

void checkOne(const QByteArray& file) {
    writeFile(file);
    const SettingsFile::FirstLine first = SettingsFile::readFirstLine(datPath());
    FUZZ_CHECK(first.status == SettingsFile::ReadStatus::Ok, shown(file.left(64)));

    qsizetype end = 0;
    while (end < file.size() && end < SettingsFile::maxLineBytes && file.at(end) != '\r' &&
           file.at(end) != '\n')
        ++end;
    FUZZ_CHECK(first.bytes == file.left(end),
               QStringLiteral("got %1 bytes, expected %2").arg(first.bytes.size()).arg(end));

    const QString line = SettingsCodec::decodeLine(first.bytes);
    // Valid UTF-8 is read as such (an editor's byte order mark left out), anything else
    // byte for byte.
    QString want = QString::fromLatin1(first.bytes);
    if (const std::optional<QString> utf8 = utf8Text(first.bytes))
        want = utf8->startsWith(QChar(0xFEFF)) ? utf8->mid(1) : *utf8;
    FUZZ_CHECK(line == want, shown(first.bytes) + QStringLiteral(" decoded as ") + shown(line));
    FUZZ_CHECK(line.size() <= first.bytes.size(), shown(line));

    const bool current = SettingsCodec::isCurrentFormat(line);
    FUZZ_CHECK(current == line.contains(u'/'), shown(line));
    const ExtractedFields f =
        current ? SettingsCodec::extract(line) : SettingsCodec::extractLinkFields(line);
    for (const auto* v : {&f.portNo, &f.lineSettings, &f.offset, &f.pictureNo, &f.controlPosition})
        FUZZ_CHECK(!*v || (*v)->size() <= line.size(), shown(line));
    sameFields(f, referenceFields(line, current), line);

    if (current)
        checkRegistrationRoundTrip(f);
    else
        checkRecreation(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        checkOne(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    } catch (...) {
        fuzzFail("no exception escapes the reader", QStringLiteral("exception"));
    }
    return 0;
}
