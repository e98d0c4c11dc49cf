// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/geography/geodesy.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// The country of a callsign, with whatever the matching entry overrides applied.
struct Country {
    QString name;          // "Fed. Rep. of Germany"
    QString primaryPrefix; // "DL", without the file's "*" mark
    int cqZone = 0;
    int ituZone = 0;
    QString continent;    // "EU"
    GeoPoint place;       // east positive, unlike the file
    double utcOffset = 0; // hours ahead of UTC (+1 in Germany), unlike the file
};

// AD1C's country file, cty.dat: each country a header line of eight fields ended by
// ':' (name, CQ zone, ITU zone, continent, latitude north positive, longitude WEST
// positive, UTC offset WEST positive, primary prefix), then its prefixes separated by ',' and
// ended by ';'. "=CALL" is an exact call; (cq) [itu] <lat/lon> {continent} ~utc~
// after a prefix or call override the country's values for it.
class CountryFile {
  public:
    // cty.dat in the working folder, in any letter case, so that an operator can keep
    // it current; else the one Debian's hamradio-files installs.
    static QString defaultPath(const QString& workingDir);
    static QString systemPath();
    // The real file is a few hundred KB; a larger one is refused unread, so that a
    // wrong file cannot take the program's memory.
    static constexpr qint64 maxBytes = 16 * 1024 * 1024;

    // False, with errorString(), when the file cannot be read, is larger than
    // maxBytes or holds no country. A failed load leaves an empty table.
    bool load(const QString& path);
    bool parse(const QByteArray& text);
    QString errorString() const { return error_; }
    qsizetype countryCount() const { return countries_.size(); }
    // Countries and prefixes whose place is no place on Earth (a latitude beyond 90
    // degrees, a longitude beyond 180, not a number): they are known to be there and
    // found by no look-up.
    qsizetype skippedCount() const { return skipped_; }

    // The country of a callsign or prefix ("DL1ABC", "VK2", "KH6/JA1XYZ",
    // "JA1XYZ/P", "DL1ABC/3"), any letter case. Exact calls win over prefixes and the
    // longest prefix wins. Of two parts around '/', an operating suffix (P, M, MM,
    // AM, A, QRP, ...) is dropped, a lone digit replaces the call's area digit, and
    // otherwise the shorter part is the place (on a tie, the first). A text of three
    // or more letters without a digit is a word, not a call, unless the file lists it
    // as a prefix itself.
    std::optional<Country> lookup(QStringView callsign) const;

  private:
    struct Entry {
        int country = 0;
        std::optional<int> cqZone, ituZone;
        std::optional<GeoPoint> place;
        QString continent;
        std::optional<double> utcOffset;
    };
    std::optional<Country> resolve(const Entry& entry) const;
    std::optional<Country> longestPrefix(const QString& text) const;
    bool addAlias(QStringView token, int country);

    QList<Country> countries_;
    QHash<QString, Entry> exactCalls_;
    QHash<QString, Entry> prefixes_;
    qsizetype longestPrefixLength_ = 0;
    qsizetype skipped_ = 0;
    QString error_;
};
