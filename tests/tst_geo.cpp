// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Aiming at what the operator knows: bearings and distances on the ellipsoid,
// Maidenhead locators, the country file's rules, and reading the target field.
#include "core/countryfile.h"
#include "core/geodesy.h"
#include "core/locator.h"
#include "core/target.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <cmath>
#include <tuple>

namespace {
// Difference of two bearings, the short way round.
double angleGap(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return std::min(d, 360.0 - d);
}

// Real entries and made-up ones, each there for one rule. Longitudes are west
// positive, as in the real file; "<lat/lon>" overrides likewise.
const char* const kSmallFile =
    "Fed. Rep. of Germany:     14:  28:  EU:   51.00:   -10.00:    -1.0:  DL:\n"
    "    DA,DL,=DL0XX<60.00/-20.00>;\n"
    "Japan:                    25:  45:  AS:   36.40:  -138.38:    -9.0:  JA:\n"
    "    JA,\n    7J;\n"
    "United States:            05:  08:  NA:   37.60:    91.87:     5.0:  K:\n"
    "    K,W,=KH6ZZZ;\n"
    "Hawaii:                   31:  61:  OC:   21.12:   157.48:    10.0:  *KH6:\n"
    "    KH6,KH7;\n"
    "European Russia:          16:  29:  EU:   53.65:   -41.37:    -4.0:  UA:\n"
    "    UA,R,=UA9XX;\n"
    "Asiatic Russia:           17:  30:  AS:   55.88:   -84.08:    -7.0:  UA9:\n"
    "    UA9,R9(18)[31]<60.00/-90.00>{AS}~-8.0~;\n";

bool loadSmallFile(CountryFile& file, const QTemporaryDir& dir) {
    QFile out(dir.filePath(QStringLiteral("cty.dat")));
    return out.open(QIODevice::WriteOnly) && out.write(kSmallFile) > 0 && out.flush() &&
           file.load(out.fileName());
}
} // namespace

class TstGeo : public QObject {
    Q_OBJECT
  private slots:
    void geodesics_data();
    void geodesics();
    void reverseDirectionAgrees();
    void locators_data();
    void locators();
    void locatorRoundTrip();
    void countryRules_data();
    void countryRules();
    void countryFileRejected_data();
    void countryFileRejected();
    void targetText_data();
    void targetText();
    void realCountryFile();
};

// back: bearing from the target back to the station; -1 where unchecked.
void TstGeo::geodesics_data() {
    for (const char* c : {"from", "to"})
        QTest::addColumn<GeoPoint>(c);
    for (const char* c : {"shortPath", "back", "shortKm", "longKm", "degrees", "km"})
        QTest::addColumn<double>(c);
    // GeographicLib's own test set (geodtest.cpp, C. Karney): azi1, azi2 + 180, s12.
    QTest::addRow("GeographicLib 1")
        << GeoPoint{35.60777, -139.44815} << GeoPoint{-11.17491, -69.95921} << 111.098748429560326
        << 309.289270889708762 << 8935.2445604818305 << -1.0 << 1e-9 << 1e-9;
    QTest::addRow("GeographicLib 2")
        << GeoPoint{55.52454, 106.05087} << GeoPoint{77.03196, 197.18234} << 22.020059880982801
        << 289.112041110671519 << 4105.0861713924406 << -1.0 << 1e-9 << 1e-9;
    QTest::addRow("GeographicLib 3")
        << GeoPoint{-21.97856, 142.59065} << GeoPoint{41.84138, 98.56635} << 360 - 32.44456876433189
        << 180 - 41.84359951440466 << 8394.328894657671 << -1.0 << 1e-9 << 1e-9;
    QTest::addRow("GeographicLib 4")
        << GeoPoint{-66.99028, 112.2363} << GeoPoint{-12.70631, 285.90344} << 173.73491240878403
        << 182.512956620913668 << 11150.3442312080241 << -1.0 << 1e-9 << 1e-9;
    // WGS-84: a = 6378137 m, quarter meridian 10001965.729 m.
    QTest::addRow("quarter equator") << GeoPoint{0, 0} << GeoPoint{0, 90} << 90.0 << 270.0
                                     << 10018.754 << 30056.263 << 1e-9 << 0.001;
    QTest::addRow("quarter meridian") << GeoPoint{0, 0} << GeoPoint{90, 0} << 0.0 << -1.0
                                      << 10001.966 << 30005.897 << 1e-9 << 0.001;
    QTest::addRow("same place aims north")
        << GeoPoint{10, 20} << GeoPoint{10, 20} << 0.0 << 180.0 << 0.0 << 40007.863 << 0.0 << 0.001;
    // Locator centres, worked by hand on a sphere of 6371 km.
    const auto at = [](const char16_t* l) { return *Locator::centre(QStringView(l)); };
    QTest::addRow("PM95vq to FN42")
        << at(u"PM95vq") << at(u"FN42") << 22.345 << -1.0 << 10775.8 << 29254.4 << 0.5 << 60.0;
    QTest::addRow("PM95vq to QF56od")
        << at(u"PM95vq") << at(u"QF56od") << 169.948 << -1.0 << 7823.2 << 32207.0 << 0.5 << 60.0;
    QTest::addRow("JN58td to IO91wm46")
        << at(u"JN58td") << at(u"IO91wm46") << 298.459 << -1.0 << 921.65 << 39108.5 << 0.5 << 60.0;
}

void TstGeo::geodesics() {
    QFETCH(GeoPoint, from);
    QFETCH(GeoPoint, to);
    QFETCH(double, shortPath);
    QFETCH(double, back);
    QFETCH(double, shortKm);
    QFETCH(double, longKm);
    QFETCH(double, degrees);
    QFETCH(double, km);
    const Bearings b = Geodesy::inverse(from, to);
    const QString got = QStringLiteral("%1 %2 %3 deg, %4 %5 km")
                            .arg(b.shortPath, 0, 'f', 9)
                            .arg(b.longPath)
                            .arg(b.backBearing)
                            .arg(b.shortKm, 0, 'f', 9)
                            .arg(b.longKm, 0, 'f', 4);
    QVERIFY2(b.shortPath >= 0 && b.shortPath < 360 && b.longPath < 360 &&
                 angleGap(b.shortPath, shortPath) <= degrees &&
                 angleGap(b.longPath, shortPath + 180) <= degrees &&
                 (back < 0 || angleGap(b.backBearing, back) <= degrees),
             qPrintable(got));
    QVERIFY2(std::fabs(b.shortKm - shortKm) <= km &&
                 (longKm < 0 || std::fabs(b.longKm - longKm) <= km),
             qPrintable(got));
}

// B to A retraces A to B; near-antipodal and polar points stay defined.
void TstGeo::reverseDirectionAgrees() {
    QRandomGenerator random(4242);
    for (int i = 0; i < 2000; ++i) {
        const GeoPoint a{random.bounded(180.0) - 90, random.bounded(360.0) - 180};
        GeoPoint b{random.bounded(180.0) - 90, random.bounded(360.0) - 180};
        if (i % 10 == 0)
            b = {-a.lat + random.bounded(0.2), a.lon + 180 - random.bounded(0.2)};
        if (i % 100 == 0)
            b.lat = 90;
        const Bearings there = Geodesy::inverse(a, b), back = Geodesy::inverse(b, a);
        const QString pair =
            QStringLiteral("%1,%2 %3,%4").arg(a.lat).arg(a.lon).arg(b.lat).arg(b.lon);
        const double round = there.shortKm + there.longKm;
        QVERIFY2(std::isfinite(there.backBearing) && there.backBearing < 360, qPrintable(pair));
        QVERIFY2(std::fabs(there.shortKm - back.shortKm) < 1e-6, qPrintable(pair));
        QVERIFY2(there.longKm > 19900 && round > 39900 && round < 40100, qPrintable(pair));
        // Nearly antipodal pairs may go back by another geodesic as short.
        if (there.shortKm < 19000)
            QVERIFY2(angleGap(back.shortPath, there.backBearing) < 1e-6, qPrintable(pair));
    }
}

// canonical: empty when the text is no locator.
void TstGeo::locators_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("canonical");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lon");
    QTest::addRow("field") << "JN"
                           << "JN" << 45.0 << 10.0;
    QTest::addRow("square") << "FN42"
                            << "FN42" << 42.5 << -71.0;
    QTest::addRow("subsquare, mixed case") << "pm95VQ"
                                           << "PM95vq" << 35.6875 << 139.7916667;
    QTest::addRow("extended") << "IO91wm46"
                              << "IO91wm46" << 51.5270833 << -0.1291667;
    QTest::addRow("ten") << "AA00aa00aa"
                         << "AA00aa00aa" << -90 + 1 / 11520.0 << -180 + 1 / 5760.0;
    QTest::addRow("north-east corner") << "RR99XX"
                                       << "RR99xx" << 89.9791667 << 179.9583333;
    for (const char* bad : {"SA", "JN58ty", "JN58td46xz", "JN5Atd", "JN58t", "JN58td46xx00", ""})
        QTest::addRow("no locator: \"%s\"", bad) << bad << "" << 0.0 << 0.0;
}

void TstGeo::locators() {
    QFETCH(QString, text);
    QFETCH(QString, canonical);
    QFETCH(double, lat);
    QFETCH(double, lon);
    const auto centre = Locator::centre(text);
    QCOMPARE(Locator::canonical(text), canonical);
    QCOMPARE(centre.has_value(), !canonical.isEmpty());
    QCOMPARE(Locator::centre(text, 4).has_value(), centre && text.size() >= 4);
    if (!centre)
        return;
    QVERIFY2(std::fabs(centre->lat - lat) < 1e-6 && std::fabs(centre->lon - lon) < 1e-6,
             qPrintable(QStringLiteral("%1, %2").arg(centre->lat).arg(centre->lon)));
    QCOMPARE(Locator::fromPoint(*centre, int(text.size())), canonical);
}

// A point lies in the square its locator names, whose centre gives it back.
void TstGeo::locatorRoundTrip() {
    QRandomGenerator random(1958);
    for (int i = 0; i < 5000; ++i) {
        const GeoPoint p{random.bounded(180.0) - 90, random.bounded(360.0) - 180};
        double halfWidth = 360.0;
        for (int length = 2; length <= 10; length += 2) {
            halfWidth /= std::array{18, 10, 24, 10, 24}[length / 2 - 1];
            const QString locator = Locator::fromPoint(p, length);
            const auto c = Locator::centre(locator);
            QVERIFY2(c && std::fabs(c->lon - p.lon) <= halfWidth / 2 + 1e-9 &&
                         std::fabs(c->lat - p.lat) <= halfWidth / 4 + 1e-9,
                     qPrintable(locator));
            QCOMPARE(Locator::fromPoint(*c, length), locator);
        }
    }
    QCOMPARE(Locator::fromPoint({0, 180}, 4), QStringLiteral("AJ00"));
    QCOMPARE(Locator::fromPoint({90, 0}, 4), QStringLiteral("JR09"));
}

// expected: name, latitude, longitude, CQ and ITU zone, continent, UTC offset.
void TstGeo::countryRules_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("expected"); // empty: no country
    const QString de = "Fed. Rep. of Germany 51 10 14 28 EU 1", ja = "Japan 36.4 138.38 25 45 AS 9",
                  kh6 = "Hawaii 21.12 -157.48 31 61 OC -10",
                  us = "United States 37.6 -91.87 5 8 NA -5",
                  ua = "European Russia 53.65 41.37 16 29 EU 4",
                  ua9 = "Asiatic Russia 55.88 84.08 17 30 AS 7";
    QTest::addRow("west-positive file") << "DL1ABC" << de;
    QTest::addRow("any letter case") << " dl1abc " << de;
    QTest::addRow("exact call's place") << "DL0XX"
                                        << "Fed. Rep. of Germany 60 20 14 28 EU 1";
    QTest::addRow("prefix on a second line") << "7J1ABC" << ja;
    QTest::addRow("place before call") << "KH6/JA1XYZ" << kh6;
    QTest::addRow("place after call") << "JA1XYZ/KH6" << kh6;
    QTest::addRow("portable") << "JA1XYZ/P" << ja;
    QTest::addRow("maritime mobile") << "JA1XYZ/MM" << ja;
    QTest::addRow("place and QRP") << "KH6/JA1XYZ/QRP" << kh6;
    QTest::addRow("exact beats prefix") << "KH6ZZZ" << us;
    QTest::addRow("exact, portable") << "KH6ZZZ/P" << us;
    QTest::addRow("exact beats longer prefix") << "UA9XX" << ua;
    QTest::addRow("longest prefix") << "UA9ABC" << ua9;
    QTest::addRow("shorter prefix") << "UA1ABC" << ua;
    QTest::addRow("call area suffix") << "UA1ABC/9" << ua9;
    QTest::addRow("overrides") << "R9ABC"
                               << "Asiatic Russia 60 90 18 31 AS 8";
    for (const char* none : {"XX1ABC", "DL1ABC/", "DL-1"})
        QTest::addRow("no country: %s", none) << none << "";
}

void TstGeo::countryRules() {
    QFETCH(QString, call);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    CountryFile file;
    QVERIFY2(loadSmallFile(file, dir), qPrintable(file.errorString()));
    QCOMPARE(file.countryCount(), 6);
    const auto c = file.lookup(call);
    QCOMPARE(c ? QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                     .arg(c->name)
                     .arg(c->place.lat)
                     .arg(c->place.lon)
                     .arg(c->cqZone)
                     .arg(c->ituZone)
                     .arg(c->continent)
                     .arg(c->utcOffset)
               : QString(),
             expected);
}

void TstGeo::countryFileRejected_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addRow("no semicolon") << QByteArray(
        "Japan: 25: 45: AS: 36.40: -138.38: -9.0: JA:\n JA,7J\n");
    QTest::addRow("short header") << QByteArray("Japan: 25: 45: AS: 36.40:\n JA;\n");
    QTest::addRow("latitude no number")
        << QByteArray("Japan: 25: 45: AS: N: -138.38: -9.0: JA:\n JA;\n");
    QTest::addRow("unclosed override")
        << QByteArray("Japan: 25: 45: AS: 36.40: -138.38: -9.0: JA:\n JA(25;\n");
    QTest::addRow("nothing") << QByteArray(" \n");
}

// A broken file leaves nothing half-read; a cty.dat of the working folder wins.
void TstGeo::countryFileRejected() {
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    CountryFile file;
    QCOMPARE(CountryFile::defaultPath(dir.path()), CountryFile::systemPath());
    QVERIFY(loadSmallFile(file, dir) && !file.parse(text) && !file.errorString().isEmpty());
    QCOMPARE(file.countryCount(), 0);
    QVERIFY(!file.lookup(u"JA1XYZ"));
    QVERIFY(QFile::rename(dir.filePath(QStringLiteral("cty.dat")),
                          dir.filePath(QStringLiteral("Cty.Dat"))));
    QCOMPARE(CountryFile::defaultPath(dir.path()), dir.filePath(QStringLiteral("Cty.Dat")));
    QVERIFY(!file.load(dir.filePath(QStringLiteral("cty.dat"))));
}

// taken: the kind and the shown text; bearing and distance from PM95vq, worked by hand
// on a sphere of 6371 km (-1: none).
void TstGeo::targetText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("taken");
    QTest::addColumn<double>("shortPath");
    QTest::addColumn<double>("shortKm");
    QTest::addRow("degrees") << "123"
                             << "1 123°" << 123.0 << -1.0;
    QTest::addRow("degrees, fraction, sign") << " 123.5° "
                                             << "1 123.5°" << 123.5 << -1.0;
    QTest::addRow("full turn") << "360"
                               << "1 360°" << 0.0 << -1.0;
    QTest::addRow("past a full turn") << "361"
                                      << "0 361" << -1.0 << -1.0;
    QTest::addRow("locator square") << "FN42"
                                    << "2 FN42" << 22.3 << 10776.0;
    QTest::addRow("locator, any case") << "jn58TD"
                                       << "2 JN58td" << 328.2 << 9372.0;
    QTest::addRow("callsign") << "dl1abc"
                              << "3 Fed. Rep. of Germany (DL)" << 330.8 << 9201.0;
    QTest::addRow("prefix beats field") << "DL"
                                        << "3 Fed. Rep. of Germany (DL)" << 330.8 << 9201.0;
    QTest::addRow("field nobody's prefix") << "JN"
                                           << "2 JN" << 327.1 << 9721.0;
    QTest::addRow("call, not a locator") << "JA1XYZ"
                                         << "3 Japan (JA)" << 302.4 << 150.0;
    QTest::addRow("file's star dropped") << "KH6/JA1XYZ"
                                         << "3 Hawaii (KH6)" << 87.0 << 6241.0;
    QTest::addRow("coordinates") << "-33.87   151.21"
                                 << "4 -33.87, 151.21" << 169.9 << 7825.0;
    QTest::addRow("latitude past the pole") << "95, 10"
                                            << "0 95, 10" << -1.0 << -1.0;
    QTest::addRow("empty") << "  "
                           << "0 " << -1.0 << -1.0;
}

void TstGeo::targetText() {
    QFETCH(QString, text);
    QFETCH(QString, taken);
    QFETCH(double, shortPath);
    QFETCH(double, shortKm);
    QTemporaryDir dir;
    CountryFile file;
    QVERIFY(loadSmallFile(file, dir));
    const Target target = Target::parse(text, &file);
    QCOMPARE(QString::number(int(target.kind)) + u' ' + target.shown, taken);
    const auto b = target.bearings(*Locator::centre(u"PM95vq"));
    QCOMPARE(b.has_value(), shortPath >= 0);
    const QString got =
        b ? QStringLiteral("%1 deg %2 km").arg(b->shortPath).arg(b->shortKm.value_or(-1)) : "";
    QVERIFY2(!b ||
                 (angleGap(b->shortPath, shortPath) < 1.0 &&
                  angleGap(b->longPath, shortPath + 180) < 1.0 &&
                  b->longKm.has_value() == (shortKm >= 0) &&
                  (shortKm < 0 ? !b->shortKm : std::fabs(*b->shortKm - shortKm) < shortKm * 0.02)),
             qPrintable(got));
}

// From PM95vq: Germany and Australia, by hand on a sphere.
void TstGeo::realCountryFile() {
    if (!QFile::exists(CountryFile::systemPath()))
        QSKIP("hamradio-files' cty.dat is not installed");
    CountryFile file;
    QVERIFY2(file.load(CountryFile::systemPath()), qPrintable(file.errorString()));
    for (const auto& [call, name, shortPath] :
         {std::tuple{u"DL1ABC", "Germany", 330.8}, std::tuple{u"VK2", "Australia", 187.9}}) {
        const Target target = Target::parse(call, &file);
        const auto b = target.bearings(*Locator::centre(u"PM95vq"));
        QVERIFY2(target.kind == Target::Kind::Country && target.shown.contains(name) && b &&
                     angleGap(b->shortPath, shortPath) < 1.0,
                 qPrintable(target.shown + QString::number(b ? b->shortPath : -1)));
    }
}

QTEST_GUILESS_MAIN(TstGeo)
#include "tst_geo.moc"
