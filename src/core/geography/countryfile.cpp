// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/geography/countryfile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>

namespace {
// Suffixes that say how a station operates, not where: the call itself decides.
bool isOperatingSuffix(const QString& part) {
    static const QStringList suffixes = {
        QStringLiteral("P"),   QStringLiteral("M"),   QStringLiteral("MM"),   QStringLiteral("AM"),
        QStringLiteral("A"),   QStringLiteral("QRP"), QStringLiteral("QRPP"), QStringLiteral("LH"),
        QStringLiteral("LGT"), QStringLiteral("J"),   QStringLiteral("R"),    QStringLiteral("B")};
    return suffixes.contains(part);
}

bool isCallCharacter(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'/';
}

// "DL1ABC" moved to call area 3 is "DL3ABC": the last digit is the area.
QString withCallArea(QString call, QChar area) {
    for (qsizetype i = call.size() - 1; i >= 0; --i) {
        if (call[i].isDigit()) {
            call[i] = area;
            return call;
        }
    }
    return call + area;
}

// False for NaN and infinities too.
bool onEarth(const GeoPoint& place) {
    return std::abs(place.lat) <= 90 && std::abs(place.lon) <= 180;
}
} // namespace

QString CountryFile::systemPath() {
    return QStringLiteral("/usr/share/hamradio-files/cty.dat");
}

QString CountryFile::defaultPath(const QString& workingDir) {
    const QDir dir(workingDir);
    const QStringList names = dir.entryList(QDir::Files | QDir::Readable, QDir::Name);
    if (names.contains(QStringLiteral("cty.dat")))
        return dir.filePath(QStringLiteral("cty.dat"));
    for (const QString& name : names) {
        if (name.compare(QStringLiteral("cty.dat"), Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    }
    return systemPath();
}

bool CountryFile::load(const QString& path) {
    QFile file(path);
    const auto refuse = [&](const QString& why) {
        parse({});
        error_ = QStringLiteral("%1: %2").arg(path, why);
        return false;
    };
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    const QString tooLarge = QStringLiteral("larger than the %1 MB a country file may have")
                                 .arg(maxBytes / (1024 * 1024));
    if (file.size() > maxBytes)
        return refuse(tooLarge);
    // No more than one byte past the limit, whatever size the file claimed (a pipe
    // claims none, and gives what it has at each read).
    QByteArray bytes;
    while (bytes.size() <= maxBytes) {
        const QByteArray more = file.read(maxBytes + 1 - bytes.size());
        if (more.isEmpty())
            break;
        bytes += more;
    }
    if (bytes.size() > maxBytes)
        return refuse(tooLarge);
    if (parse(bytes))
        return true;
    error_ = QStringLiteral("%1: %2").arg(path, error_);
    return false;
}

bool CountryFile::parse(const QByteArray& bytes) {
    countries_.clear();
    exactCalls_.clear();
    prefixes_.clear();
    longestPrefixLength_ = 0;
    skipped_ = 0;
    error_.clear();
    const auto fail = [this](const QString& why) {
        countries_.clear();
        exactCalls_.clear();
        prefixes_.clear();
        longestPrefixLength_ = 0;
        skipped_ = 0;
        error_ = why;
        return false;
    };

    const QString text = QString::fromUtf8(bytes);
    qsizetype pos = 0;
    while (true) {
        while (pos < text.size() && text[pos].isSpace())
            ++pos;
        if (pos >= text.size())
            break;
        const QString where = QStringLiteral("country %1").arg(countries_.size() + 1);
        QStringList fields;
        for (int i = 0; i < 8; ++i) {
            const qsizetype colon = text.indexOf(u':', pos);
            const QStringView field = QStringView(text).mid(pos, colon < 0 ? -1 : colon - pos);
            if (colon < 0 || field.contains(u'\n') || field.contains(u';'))
                return fail(
                    where +
                    QStringLiteral(": a header line of eight fields ended by ':' was expected"));
            fields << field.trimmed().toString();
            pos = colon + 1;
        }
        bool cqOk = false, ituOk = false, latOk = false, lonOk = false, utcOk = false;
        Country country;
        country.name = fields[0];
        country.cqZone = fields[1].toInt(&cqOk);
        country.ituZone = fields[2].toInt(&ituOk);
        country.continent = fields[3];
        // The file counts longitude and time zones positive to the west.
        country.place = {fields[4].toDouble(&latOk), -fields[5].toDouble(&lonOk)};
        country.utcOffset = -fields[6].toDouble(&utcOk);
        country.primaryPrefix = fields[7].startsWith(u'*') ? fields[7].mid(1) : fields[7];
        if (country.name.isEmpty() || !cqOk || !ituOk || !latOk || !lonOk || !utcOk ||
            country.primaryPrefix.isEmpty())
            return fail(where + QStringLiteral(": a header field is not a number or is empty"));
        // Kept, so that its prefixes do not fall to a shorter one of another country,
        // and found by no look-up (resolve()).
        if (!onEarth(country.place))
            ++skipped_;

        const qsizetype end = text.indexOf(u';', pos);
        if (end < 0)
            return fail(where + QStringLiteral(": its prefixes are not ended by ';'"));
        const int index = int(countries_.size());
        countries_.append(country);
        const QStringView aliases = QStringView(text).mid(pos, end - pos);
        for (QStringView token : aliases.split(u',')) {
            token = token.trimmed();
            if (!token.isEmpty() && !addAlias(token, index))
                return fail(where + QStringLiteral(": unreadable prefix \"%1\"").arg(token));
        }
        pos = end + 1;
    }
    if (countries_.isEmpty())
        return fail(QStringLiteral("no country in the file"));
    return true;
}

bool CountryFile::addAlias(QStringView token, int country) {
    const bool exact = token.startsWith(u'=');
    if (exact)
        token = token.mid(1);
    qsizetype end = 0;
    while (end < token.size() && !QStringView(u"([<{~").contains(token[end]))
        ++end;
    const QString key = token.left(end).toString().toUpper();
    if (key.isEmpty() || !std::all_of(key.begin(), key.end(), isCallCharacter))
        return false;

    Entry entry;
    entry.country = country;
    QStringView rest = token.mid(end);
    while (!rest.isEmpty()) {
        const QChar open = rest[0];
        const QChar close = open == u'('   ? u')'
                            : open == u'[' ? u']'
                            : open == u'<' ? u'>'
                            : open == u'{' ? u'}'
                                           : u'~';
        const qsizetype closing = rest.indexOf(close, 1);
        if (closing < 0)
            return false;
        const QStringView inner = rest.mid(1, closing - 1).trimmed();
        bool ok = false;
        if (open == u'(') {
            entry.cqZone = inner.toInt(&ok);
        } else if (open == u'[') {
            entry.ituZone = inner.toInt(&ok);
        } else if (open == u'<') {
            const qsizetype slash = inner.indexOf(u'/');
            bool latOk = false;
            const double lat = inner.left(slash).toDouble(&latOk);
            const double lonWest = slash < 0 ? 0 : inner.mid(slash + 1).toDouble(&ok);
            ok = ok && latOk;
            entry.place = GeoPoint{lat, -lonWest};
            if (!onEarth(*entry.place))
                ++skipped_;
        } else if (open == u'{') {
            entry.continent = inner.toString();
            ok = !inner.isEmpty();
        } else {
            entry.utcOffset = -inner.toDouble(&ok);
        }
        if (!ok)
            return false;
        rest = rest.mid(closing + 1);
    }
    QHash<QString, Entry>& table = exact ? exactCalls_ : prefixes_;
    // The first mention of a prefix or call counts, as a reader going down the file
    // would find it.
    if (!table.contains(key))
        table.insert(key, entry);
    if (!exact)
        longestPrefixLength_ = std::max(longestPrefixLength_, key.size());
    return true;
}

std::optional<Country> CountryFile::resolve(const Entry& entry) const {
    Country country = countries_[entry.country];
    if (entry.cqZone)
        country.cqZone = *entry.cqZone;
    if (entry.ituZone)
        country.ituZone = *entry.ituZone;
    if (entry.place)
        country.place = *entry.place;
    if (!entry.continent.isEmpty())
        country.continent = entry.continent;
    if (entry.utcOffset)
        country.utcOffset = *entry.utcOffset;
    if (!onEarth(country.place))
        return std::nullopt;
    return country;
}

std::optional<Country> CountryFile::longestPrefix(const QString& text) const {
    for (qsizetype n = std::min(text.size(), longestPrefixLength_); n > 0; --n) {
        const auto it = prefixes_.constFind(text.left(n));
        if (it != prefixes_.constEnd())
            return resolve(*it);
    }
    return std::nullopt;
}

std::optional<Country> CountryFile::lookup(QStringView callsign) const {
    const QString call = callsign.trimmed().toString().toUpper();
    if (call.isEmpty() || !std::all_of(call.begin(), call.end(), isCallCharacter))
        return std::nullopt;
    if (const auto it = exactCalls_.constFind(call); it != exactCalls_.constEnd())
        return resolve(*it);
    // "XYZZY" is a word: its first letters happen to be a prefix, it is no call.
    if (std::count_if(call.begin(), call.end(), [](QChar c) { return c.isLetter(); }) >= 3 &&
        std::none_of(call.begin(), call.end(), [](QChar c) { return c.isDigit(); })) {
        const auto it = prefixes_.constFind(call);
        return it == prefixes_.constEnd() ? std::nullopt : resolve(*it);
    }

    QStringList parts = call.split(u'/');
    if (parts.contains(QString()))
        return std::nullopt;
    bool dropped = false;
    while (parts.size() > 1 && isOperatingSuffix(parts.last())) {
        parts.removeLast();
        dropped = true;
    }
    if (dropped) {
        const auto it = exactCalls_.constFind(parts.join(u'/'));
        if (it != exactCalls_.constEnd())
            return resolve(*it);
    }
    if (parts.size() > 1 && parts.last().size() == 1 && parts.last()[0].isDigit()) {
        const QChar area = parts.takeLast()[0];
        if (parts.size() == 1)
            parts[0] = withCallArea(parts[0], area);
    }
    // Of a prefix and a call ("KH6/JA1XYZ", "JA1XYZ/KH6") the shorter is the place.
    const QString* place = &parts[0];
    for (const QString& part : parts) {
        if (part.size() < place->size())
            place = &part;
    }
    return longestPrefix(*place);
}
