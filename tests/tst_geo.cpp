// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Aiming at what the operator knows: bearings and distances on the ellipsoid,
// Maidenhead locators, the country file's rules, and reading the target field.
#include "core/geography/countryfile.h"
#include "core/geography/countrytable.h"
#include "core/geography/geodesy.h"
#include "core/geography/locator.h"
#include "core/geography/target.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <sys/stat.h>
#include <tuple>

namespace {
// Difference of two bearings, the short way round.
double angleGap(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

// Real entries and made-up ones, each there for one rule. Longitudes are west
// positive, as in the real file; "<lat/lon>" overrides likewise.
const QByteArray kSmallFile =
    "Fed. Rep. of Germany: 14: 28: EU: 51.00: -10.00: -1.0: DL:\n DA,DL,=DL0XX<60.00/-20.00>;\n"
    "Japan: 25: 45: AS: 36.40: -138.38: -9.0: JA:\n JA,=KH6ZZZ,\n 7J;\n"
    "Hawaii: 31: 61: OC: 21.12: 157.48: 10.0: *KH6:\n KH6,KH7;\n"
    "European Russia: 16: 29: EU: 53.65: -41.37: -4.0: UA:\n UA,R,RRR;\n"
    "Nowhere: 1: 1: EU: nan: inf: 0.0: XN:\n XN,=XN1OK<10.00/20.00>;\n"
    "Pole: 1: 1: EU: 1e308: 0.00: 0.0: XP:\n XP;\nAlaska: 1: 1: NA: 61: 150: 9: KL:\n KL,KL9<91/0>;\n"
    "Asiatic Russia: 17: 30: AS: 55.88: -84.08: -7.0: UA9:\n"
    " UA9,R9(18)[31]<60.00/-90.00>{AS}~-8.0~;\n";

// Each row is one tuple, fetched whole as "row" and named by its first field.
template <typename Row> void addRows(std::initializer_list<Row> rows) {
    QTest::addColumn<Row>("row");
    for (const Row& row : rows)
        QTest::newRow(qPrintable(std::get<0>(row))) << row;
}
// name, from, to; short path, back bearing (-1: unchecked), short and long km; tolerances.
using GeodesicRow =
    std::tuple<QString, GeoPoint, GeoPoint, double, double, double, double, double, double>;
// text, canonical form (empty: no locator), centre.
using LocatorRow = std::tuple<QString, QString, double, double>;
// name, call; country's name, place, CQ and ITU zone, continent, UTC offset (empty: none).
using CountryRow = std::tuple<QString, QString, QString>;
// text; kind and shown text; bearing and distance from PM95vq, by hand on a sphere of
// 6371 km (-1: none); whether read with the installed country file.
using TargetRow = std::tuple<QString, QString, double, double, bool>;
} // namespace

class TstGeo : public QObject {
    Q_OBJECT
  private slots:
    void geodesics_data() {
        // clang-format off
        addRows<GeodesicRow>({
            // WGS-84: a = 6378137 m, quarter meridian 10001965.729 m.
            {"quarter equator", {0, 0}, {0, 90}, 90, 270, 10018.754, 30056.263, 1e-9, 0.001},
            {"quarter meridian", {0, 0}, {90, 0}, 0, -1, 10001.966, 30005.897, 1e-9, 0.001},
            {"same place aims north", {10, 20}, {10, 20}, 0, 180, 0, 40007.863, 0, 0.001},
            // Locator centres, worked by hand on a sphere of 6371 km.
            {"PM95vq to FN42", *Locator::centre(u"PM95vq"), *Locator::centre(u"FN42"),
             22.345, -1, 10775.8, 29254.4, 0.5, 60}});
        // clang-format on
    }
    void geodesics() {
        QFETCH(GeodesicRow, row);
        const auto& [name, from, to, shortPath, back, shortKm, longKm, degrees, km] = row;
        const Bearings b = Geodesy::inverse(from, to);
        QVERIFY2(b.shortPath >= 0 && b.shortPath < 360 && b.longPath < 360 &&
                     angleGap(b.shortPath, shortPath) <= degrees &&
                     angleGap(b.longPath, shortPath + 180) <= degrees &&
                     (back < 0 || angleGap(b.backBearing, back) <= degrees) &&
                     std::fabs(b.shortKm - shortKm) <= km &&
                     (longKm < 0 || std::fabs(b.longKm - longKm) <= km),
                 qPrintable(QString::asprintf("%.9f %.9f %.9f deg, %.9f %.4f km", b.shortPath,
                                              b.longPath, b.backBearing, b.shortKm, b.longKm)));
    }

    void locators_data() {
        // clang-format off
        addRows<LocatorRow>({{"JN", "JN", 45, 10}, {"FN42", "FN42", 42.5, -71},
            {"pm95VQ", "PM95vq", 35.6875, 139.7916667}, {"IO91wm46", "IO91wm46", 51.5270833, -0.1291667},
            {"AA00aa00aa", "AA00aa00aa", -90 + 1 / 11520.0, -180 + 1 / 5760.0},
            {"RR99XX", "RR99xx", 89.9791667, 179.9583333}, {"SA", "", 0, 0}, {"JN58ty", "", 0, 0},
            {"JN58td46xz", "", 0, 0}, {"JN5Atd", "", 0, 0}, {"JN58t", "", 0, 0},
            {"JN58td46xx00", "", 0, 0}, {"", "", 0, 0}});
        // clang-format on
    }
    void locators() {
        QFETCH(LocatorRow, row);
        const auto& [text, canonical, lat, lon] = row;
        const auto centre = Locator::centre(text);
        QCOMPARE(Locator::canonical(text), canonical);
        QCOMPARE(centre.has_value(), !canonical.isEmpty());
        QCOMPARE(Locator::centre(text, 4).has_value(), centre && text.size() >= 4);
        if (!centre)
            return;
        QVERIFY2(std::fabs(centre->lat - lat) < 1e-6 && std::fabs(centre->lon - lon) < 1e-6,
                 qPrintable(QString::asprintf("%g, %g", centre->lat, centre->lon)));
        QCOMPARE(Locator::fromPoint(*centre, int(text.size())), canonical);
        QVERIFY(Locator::fromPoint({0, 180}, 4) == u"AJ00" && Locator::fromPoint({90, 0}, 4) == u"JR09");
    }


    void countryRules_data() {
        const QString de = "Fed. Rep. of Germany 51 10 14 28 EU 1",
                      ja = "Japan 36.4 138.38 25 45 AS 9",
                      kh6 = "Hawaii 21.12 -157.48 31 61 OC -10",
                      ua = "European Russia 53.65 41.37 16 29 EU 4",
                      ua9 = "Asiatic Russia 55.88 84.08 17 30 AS 7";
        // clang-format off
        addRows<CountryRow>({{"west-positive, any case", " dl1abc ", de},
            {"exact call's place", "DL0XX", "Fed. Rep. of Germany 60 20 14 28 EU 1"},
            {"prefix on a second line", "7J1ABC", ja}, {"place after call", "JA1XYZ/KH6", kh6},
            {"portable", "JA1XYZ/P", ja}, {"place before call, QRP", "KH6/JA1XYZ/QRP", kh6},
            {"exact beats prefix", "KH6ZZZ", ja}, {"exact, maritime mobile", "KH6ZZZ/MM", ja},
            {"longest prefix", "UA9ABC", ua9}, {"shorter prefix", "UA1ABC", ua},
            {"call area suffix", "UA1ABC/9", ua9}, {"overrides", "R9ABC", "Asiatic Russia 60 90 18 31 AS 8"},
            {"no prefix", "XX1ABC", ""}, {"empty part", "DL1ABC/", ""}, {"no call", "DL-1", ""},
            {"a word is no call", "RUA", ""}, {"a listed word", "rrr", ua}, {"NaN place", "XN1ABC", ""},
            {"own place", "XN1OK", "Nowhere 10 -20 1 1 EU 0"}, {"past the pole", "XP1A", ""},
            {"override past the pole", "KL9A", ""}, {"beside it", "KL1A", "Alaska 61 -150 1 1 NA -9"}});
        // clang-format on
    }
    void countryRules() {
        QFETCH(CountryRow, row);
        const auto& [name, call, expected] = row;
        CountryFile file;
        QVERIFY2(file.parse(kSmallFile) && file.countryCount() == 8 && file.skippedCount() == 3,
                 qPrintable(file.errorString()));
        const auto c = file.lookup(call);
        QCOMPARE(c ? c->name +
                         QString::asprintf(" %g %g %d %d ", c->place.lat, c->place.lon, c->cqZone,
                                           c->ituZone) +
                         c->continent + QString::asprintf(" %g", c->utcOffset)
                   : QString(),
                 expected);
    }

    // A broken file leaves nothing half-read; a cty.dat of the working folder wins.
    void countryFileRejected() {
        QTemporaryDir dir;
        QCOMPARE(CountryFile::defaultPath(dir.path()), CountryFile::systemPath());
        QFile out(dir.filePath(QStringLiteral("cty.dat")));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(kSmallFile) > 0 && out.flush());
        CountryFile file;
        // clang-format off
        for (const char* broken : {"Japan: 25: 45: AS: 36.40: -138.38: -9.0: JA:\n JA,7J\n", // no ';'
                 "Japan: 25: 45: AS: 36.40:\n JA;\n", "Japan: 25: 45: AS: N: -138.38: -9.0: JA:\n JA;\n",
                 "Japan: 25: 45: AS: 36.40: -138.38: -9.0: JA:\n JA(25;\n", " \n"}) {
            QVERIFY2(file.load(out.fileName()) && file.lookup(u"JA1XYZ"), qPrintable(file.errorString()));
            QVERIFY2(!file.parse(broken) && !file.errorString().isEmpty(), broken);
            QVERIFY(file.countryCount() == 0 && !file.lookup(u"JA1XYZ"));
        }
        // clang-format on
        QVERIFY(out.rename(dir.filePath(QStringLiteral("Cty.Dat"))));
        QCOMPARE(CountryFile::defaultPath(dir.path()), dir.filePath(QStringLiteral("Cty.Dat")));
        QVERIFY(!file.load(dir.filePath(QStringLiteral("cty.dat"))));
    }

    // Read off the caller's thread: a look-up while the file still comes says so at
    // once (the reader waits on a pipe), and the table follows. A file beyond the
    // limit is refused unread, and said in the status line.
    void countryTable() {
        QTemporaryDir dir;
        const QString pipe = dir.filePath(QStringLiteral("pipe")), big = dir.filePath("cty.dat");
        QVERIFY(mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QString path = pipe;
        CountryTable table([&] { return path; });
        QSignalSpy loaded(&table, &CountryTable::loaded);
        table.load();
        QVERIFY(table.isLoading() && !table.file());
        QCOMPARE(Target::parse(u"DL", table.file(), table.isLoading()).kind, Target::Kind::CountriesLoading);
        QFile writer(pipe);
        QVERIFY(writer.open(QIODevice::WriteOnly) && writer.write(kSmallFile) > 0);
        writer.close();
        QVERIFY(loaded.wait() && !table.isLoading() && table.file()->lookup(u"DL1ABC"));
        QFile file(path = big);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(CountryFile::maxBytes + 1));
        CountryTable tooLarge([&] { return path; });
        QSignalSpy refused(&tooLarge, &CountryTable::statusWanted);
        tooLarge.load();
        QVERIFY(QSignalSpy(&tooLarge, &CountryTable::loaded).wait() && tooLarge.file()->countryCount() == 0);
        QCOMPARE(refused.value(0), QVariantList{"cty.dat を読み込めませんでした"});
    }

    // A figure that is no number shows as dashes: qRound() of it is undefined.
    void bearingsShown() {
        QCOMPARE((TargetBearings{22.4, 202.4, 10776.4, 29254.6}.shown()), "SP 022°  LP 202°  10,776 km / 29,255 km");
        QCOMPARE((TargetBearings{NAN, INFINITY, NAN, 1e300}.shown()), "SP ---°  LP ---°  --- km / --- km");
    }

    void targetText_data() {
        const QString de = "3 Fed. Rep. of Germany (DL)";
        // clang-format off
        addRows<TargetRow>({{" 123.5° ", "1 123.5°", 123.5, -1, false}, {"360", "1 360°", 0, -1, false},
            {"361", "0 361", -1, -1, false}, {"FN42", "2 FN42", 22.3, 10776, false},
            {"jn58TD", "2 JN58td", 328.2, 9372, false}, {"dl1abc", de, 330.8, 9201, false},
            {"DL", de, 330.8, 9201, false}, {"JN", "2 JN", 327.1, 9721, false},
            {"JA1XYZ", "3 Japan (JA)", 302.4, 150, false}, {"KH6/JA1XYZ", "3 Hawaii (KH6)", 87.0, 6241, false},
            {"-33.87   151.21", "4 -33.87, 151.21", 169.9, 7825, false}, {"90 0", "4 90, 0", 0, 6051, false}, {"95, 10", "0 95, 10", -1, -1, false},
            {"  ", "0 ", -1, -1, false}, {"DL1ABC", de, 330.8, 9201, true}, {"VK2", "3 Australia (VK)", 187.9, 6650, true}});
        // clang-format on
    }
    void targetText() {
        QFETCH(TargetRow, row);
        const auto& [text, taken, shortPath, shortKm, installedFile] = row;
        CountryFile file;
        if (installedFile && !file.load(CountryFile::systemPath()))
            QSKIP("hamradio-files' cty.dat is not installed");
        QVERIFY(installedFile || file.parse(kSmallFile));
        const Target target = Target::parse(text, &file);
        QCOMPARE(QString::number(int(target.kind)) + u' ' + target.shown, taken);
        const auto b = target.bearings(*Locator::centre(u"PM95vq"));
        QCOMPARE(b.has_value(), shortPath >= 0);
        QVERIFY2(
            !b || (angleGap(b->shortPath, shortPath) < 1.0 &&
                   angleGap(b->longPath, shortPath + 180) < 1.0 &&
                   b->longKm.has_value() == (shortKm >= 0) &&
                   (shortKm < 0 ? !b->shortKm : std::fabs(*b->shortKm - shortKm) < shortKm * 0.02)),
            qPrintable(b ? QString::asprintf("%g deg %g km", b->shortPath, b->shortKm.value_or(-1))
                         : QString()));
    }
};

QTEST_GUILESS_MAIN(TstGeo)
#include "tst_geo.moc"
