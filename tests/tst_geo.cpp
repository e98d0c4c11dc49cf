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
#include <cmath>

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
    void publishedGeodesics_data();
    void publishedGeodesics();
    void shortAndLongPath_data();
    void shortAndLongPath();
    void reverseDirectionAgrees();
    void locatorCentres_data();
    void locatorCentres();
    void locatorRoundTrip();
    void countryRules_data();
    void countryRules();
    void countryFileRejected_data();
    void countryFileRejected();
    void countryFileInWorkingFolder();
    void targetText_data();
    void targetText();
    void realCountryFile_data();
    void realCountryFile();
};

// Rows of the test set in GeographicLib's own geodtest.cpp (C. Karney): lat1, lon1,
// azi1, lat2, lon2, azi2, s12 in metres.
void TstGeo::publishedGeodesics_data() {
    QTest::addColumn<double>("lat1");
    QTest::addColumn<double>("lon1");
    QTest::addColumn<double>("azi1");
    QTest::addColumn<double>("lat2");
    QTest::addColumn<double>("lon2");
    QTest::addColumn<double>("azi2");
    QTest::addColumn<double>("s12");
    QTest::addRow("case 1") << 35.60777 << -139.44815 << 111.098748429560326 << -11.17491
                            << -69.95921 << 129.289270889708762 << 8935244.5604818305;
    QTest::addRow("case 2") << 55.52454 << 106.05087 << 22.020059880982801 << 77.03196
                            << 197.18234 << 109.112041110671519 << 4105086.1713924406;
    QTest::addRow("case 3") << -21.97856 << 142.59065 << -32.44456876433189 << 41.84138
                            << 98.56635 << -41.84359951440466 << 8394328.894657671;
    QTest::addRow("case 4") << -66.99028 << 112.2363 << 173.73491240878403 << -12.70631
                            << 285.90344 << 2.512956620913668 << 11150344.2312080241;
}

void TstGeo::publishedGeodesics() {
    QFETCH(double, lat1);
    QFETCH(double, lon1);
    QFETCH(double, azi1);
    QFETCH(double, lat2);
    QFETCH(double, lon2);
    QFETCH(double, azi2);
    QFETCH(double, s12);
    const Bearings b = Geodesy::inverse({lat1, lon1}, {lat2, lon2});
    QVERIFY2(b.shortPath >= 0 && b.shortPath < 360, qPrintable(QString::number(b.shortPath)));
    QVERIFY2(angleGap(b.shortPath, azi1) < 1e-9, qPrintable(QString::number(b.shortPath)));
    QVERIFY(angleGap(b.longPath, azi1 + 180) < 1e-9);
    QVERIFY2(angleGap(b.backBearing, azi2 + 180) < 1e-9, qPrintable(QString::number(b.backBearing)));
    QVERIFY2(std::fabs(b.shortKm * 1000 - s12) < 1e-6, qPrintable(QString::number(b.shortKm)));
}

// Equator and meridian from the WGS-84 axes (a = 6378137 m; quarter meridian
// 10001965.729 m); locator pairs worked by hand on a sphere of 6371 km, so within
// half a degree and half a percent of the ellipsoid.
void TstGeo::shortAndLongPath_data() {
    QTest::addColumn<GeoPoint>("from");
    QTest::addColumn<GeoPoint>("to");
    QTest::addColumn<double>("shortPath");
    QTest::addColumn<double>("shortKm");
    QTest::addColumn<double>("longKm");
    QTest::addColumn<double>("kmTolerance");
    QTest::addColumn<double>("degreeTolerance");
    QTest::addRow("quarter equator") << GeoPoint{0, 0} << GeoPoint{0, 90} << 90.0 << 10018.754
                                     << 30056.263 << 0.001 << 1e-9;
    QTest::addRow("quarter meridian") << GeoPoint{0, 0} << GeoPoint{90, 0} << 0.0 << 10001.966
                                      << 30005.897 << 0.001 << 1e-9;
    QTest::addRow("same place aims north") << GeoPoint{10, 20} << GeoPoint{10, 20} << 0.0 << 0.0
                                           << 40007.863 << 0.001 << 0.0;
    QTest::addRow("PM95vq to FN42") << *Locator::centre(u"PM95vq") << *Locator::centre(u"FN42")
                                    << 22.345 << 10775.8 << 29254.4 << 60.0 << 0.5;
    QTest::addRow("PM95vq to QF56od") << *Locator::centre(u"PM95vq")
                                      << *Locator::centre(u"QF56od") << 169.948 << 7823.2
                                      << 32207.0 << 60.0 << 0.5;
    QTest::addRow("JN58td to IO91wm46") << *Locator::centre(u"JN58td")
                                        << *Locator::centre(u"IO91wm46") << 298.459 << 921.65
                                        << 39108.5 << 60.0 << 0.5;
}

void TstGeo::shortAndLongPath() {
    QFETCH(GeoPoint, from);
    QFETCH(GeoPoint, to);
    QFETCH(double, shortPath);
    QFETCH(double, shortKm);
    QFETCH(double, longKm);
    QFETCH(double, kmTolerance);
    QFETCH(double, degreeTolerance);
    const Bearings b = Geodesy::inverse(from, to);
    const QString got = QStringLiteral("%1 / %2 deg, %3 / %4 km")
                            .arg(b.shortPath, 0, 'f', 4)
                            .arg(b.longPath, 0, 'f', 4)
                            .arg(b.shortKm, 0, 'f', 4)
                            .arg(b.longKm, 0, 'f', 4);
    QVERIFY2(angleGap(b.shortPath, shortPath) <= degreeTolerance, qPrintable(got));
    QVERIFY2(angleGap(b.longPath, shortPath + 180) <= degreeTolerance, qPrintable(got));
    QVERIFY2(std::fabs(b.shortKm - shortKm) <= kmTolerance, qPrintable(got));
    QVERIFY2(std::fabs(b.longKm - longKm) <= kmTolerance, qPrintable(got));
}

// B to A retraces A to B; near-antipodal and polar points stay defined.
void TstGeo::reverseDirectionAgrees() {
    QRandomGenerator random(4242);
    for (int i = 0; i < 2000; ++i) {
        const GeoPoint a{random.bounded(180.0) - 90, random.bounded(360.0) - 180};
        // Every tenth pair nearly antipodal, every hundredth at a pole.
        GeoPoint b{random.bounded(180.0) - 90, random.bounded(360.0) - 180};
        if (i % 10 == 0)
            b = {-a.lat + random.bounded(0.2), a.lon + 180 - random.bounded(0.2)};
        if (i % 100 == 0)
            b.lat = 90;
        const Bearings there = Geodesy::inverse(a, b);
        const Bearings back = Geodesy::inverse(b, a);
        const QString pair = QStringLiteral("%1,%2 -> %3,%4").arg(a.lat).arg(a.lon).arg(b.lat).arg(b.lon);
        for (double v : {there.shortPath, there.longPath, there.backBearing, there.shortKm, there.longKm})
            QVERIFY2(std::isfinite(v), qPrintable(pair));
        QVERIFY2(there.shortPath >= 0 && there.shortPath < 360 && there.backBearing < 360, qPrintable(pair));
        QVERIFY2(std::fabs(there.shortKm - back.shortKm) < 1e-6, qPrintable(pair));
        QVERIFY2(there.longKm > 19900 && there.shortKm + there.longKm > 39900 &&
                     there.shortKm + there.longKm < 40100, qPrintable(pair));
        // Nearly antipodal pairs may take another of the equally short geodesics back.
        if (there.shortKm < 19000)
            QVERIFY2(angleGap(back.shortPath, there.backBearing) < 1e-6, qPrintable(pair));
    }
}

void TstGeo::locatorCentres_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lon");
    QTest::addColumn<QString>("canonical");
    QTest::addRow("field") << "JN" << true << 45.0 << 10.0 << "JN";
    QTest::addRow("square") << "FN42" << true << 42.5 << -71.0 << "FN42";
    QTest::addRow("subsquare, mixed case") << "pm95VQ" << true << 35.6875 << 139.7916667 << "PM95vq";
    QTest::addRow("extended") << "IO91wm46" << true << 51.5270833 << -0.1291667 << "IO91wm46";
    QTest::addRow("ten characters") << "AA00aa00aa" << true << -90 + 1 / 11520.0
                                    << -180 + 1 / 5760.0 << "AA00aa00aa";
    QTest::addRow("north-east corner") << "RR99XX" << true << 89.9791667 << 179.9583333 << "RR99xx";
    QTest::addRow("field past R") << "SA" << false << 0.0 << 0.0 << "";
    QTest::addRow("subsquare past X") << "JN58ty" << false << 0.0 << 0.0 << "";
    QTest::addRow("fifth pair past X") << "JN58td46xz" << false << 0.0 << 0.0 << "";
    QTest::addRow("letter for digit") << "JN5Atd" << false << 0.0 << 0.0 << "";
    QTest::addRow("odd length") << "JN58t" << false << 0.0 << 0.0 << "";
    QTest::addRow("too long") << "JN58td46xx00" << false << 0.0 << 0.0 << "";
    QTest::addRow("empty") << "" << false << 0.0 << 0.0 << "";
}

void TstGeo::locatorCentres() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(double, lat);
    QFETCH(double, lon);
    QFETCH(QString, canonical);
    const auto centre = Locator::centre(text);
    QCOMPARE(centre.has_value(), valid);
    QCOMPARE(Locator::canonical(text), canonical);
    if (!valid)
        return;
    QVERIFY2(std::fabs(centre->lat - lat) < 1e-6 && std::fabs(centre->lon - lon) < 1e-6,
             qPrintable(QStringLiteral("%1, %2").arg(centre->lat, 0, 'f', 7).arg(centre->lon, 0, 'f', 7)));
    QCOMPARE(Locator::fromPoint(*centre, int(text.size())), canonical);
    // The station needs at least a square.
    QCOMPARE(Locator::centre(text, 4).has_value(), text.size() >= 4);
}

// A point lies in the square its locator names, and that square's centre gives the
// same locator back; the edges wrap and clamp.
void TstGeo::locatorRoundTrip() {
    QRandomGenerator random(1958);
    for (int i = 0; i < 5000; ++i) {
        const GeoPoint p{random.bounded(180.0) - 90, random.bounded(360.0) - 180};
        for (int length = 2; length <= 10; length += 2) {
            const QString locator = Locator::fromPoint(p, length);
            const auto centre = Locator::centre(locator);
            QVERIFY2(centre, qPrintable(locator));
            const double lonHalf = 10.0 / std::pow(length <= 2 ? 1 : 10, length >= 4) /
                                   std::pow(24, length >= 6) / std::pow(10, length >= 8) /
                                   std::pow(24, length >= 10);
            QVERIFY2(std::fabs(centre->lon - p.lon) <= lonHalf + 1e-9 &&
                         std::fabs(centre->lat - p.lat) <= lonHalf / 2 + 1e-9,
                     qPrintable(locator));
            QCOMPARE(Locator::fromPoint(*centre, length), locator);
        }
    }
    QCOMPARE(Locator::fromPoint({0, 180}, 4), QStringLiteral("AJ00"));
    QCOMPARE(Locator::fromPoint({90, 0}, 4), QStringLiteral("JR09"));
    QCOMPARE(Locator::fromPoint({-90, -180}, 10), QStringLiteral("AA00aa00aa"));
}

void TstGeo::countryRules_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("name"); // empty: no country
    QTest::addColumn<double>("lat");
    QTest::addColumn<double>("lon");
    QTest::addColumn<int>("cq");
    QTest::addColumn<int>("itu");
    QTest::addRow("prefix, west-positive file") << "DL1ABC" << "Fed. Rep. of Germany" << 51.0 << 10.0 << 14 << 28;
    QTest::addRow("any letter case") << " dl1abc " << "Fed. Rep. of Germany" << 51.0 << 10.0 << 14 << 28;
    QTest::addRow("exact call's place") << "DL0XX" << "Fed. Rep. of Germany" << 60.0 << 20.0 << 14 << 28;
    QTest::addRow("prefix on a second line") << "7J1ABC" << "Japan" << 36.4 << 138.38 << 25 << 45;
    QTest::addRow("place before call") << "KH6/JA1XYZ" << "Hawaii" << 21.12 << -157.48 << 31 << 61;
    QTest::addRow("place after call") << "JA1XYZ/KH6" << "Hawaii" << 21.12 << -157.48 << 31 << 61;
    QTest::addRow("portable") << "JA1XYZ/P" << "Japan" << 36.4 << 138.38 << 25 << 45;
    QTest::addRow("maritime mobile") << "JA1XYZ/MM" << "Japan" << 36.4 << 138.38 << 25 << 45;
    QTest::addRow("place and portable") << "KH6/JA1XYZ/QRP" << "Hawaii" << 21.12 << -157.48 << 31 << 61;
    QTest::addRow("exact beats prefix") << "KH6ZZZ" << "United States" << 37.6 << -91.87 << 5 << 8;
    QTest::addRow("exact, portable") << "KH6ZZZ/P" << "United States" << 37.6 << -91.87 << 5 << 8;
    QTest::addRow("exact beats longer prefix") << "UA9XX" << "European Russia" << 53.65 << 41.37 << 16 << 29;
    QTest::addRow("longest prefix") << "UA9ABC" << "Asiatic Russia" << 55.88 << 84.08 << 17 << 30;
    QTest::addRow("shorter prefix") << "UA1ABC" << "European Russia" << 53.65 << 41.37 << 16 << 29;
    QTest::addRow("call area suffix") << "UA1ABC/9" << "Asiatic Russia" << 55.88 << 84.08 << 17 << 30;
    QTest::addRow("overrides") << "R9ABC" << "Asiatic Russia" << 60.0 << 90.0 << 18 << 31;
    QTest::addRow("unknown prefix") << "XX1ABC" << "" << 0.0 << 0.0 << 0 << 0;
    QTest::addRow("empty part") << "DL1ABC/" << "" << 0.0 << 0.0 << 0 << 0;
    QTest::addRow("not a call") << "DL-1" << "" << 0.0 << 0.0 << 0 << 0;
}

void TstGeo::countryRules() {
    QFETCH(QString, call);
    QFETCH(QString, name);
    QFETCH(double, lat);
    QFETCH(double, lon);
    QFETCH(int, cq);
    QFETCH(int, itu);
    QTemporaryDir dir;
    CountryFile file;
    QVERIFY2(loadSmallFile(file, dir), qPrintable(file.errorString()));
    QCOMPARE(file.countryCount(), 6);
    const auto country = file.lookup(call);
    QCOMPARE(country ? country->name : QString(), name);
    if (!country)
        return;
    QCOMPARE(country->place.lat, lat);
    QCOMPARE(country->place.lon, lon);
    QCOMPARE(country->cqZone, cq);
    QCOMPARE(country->ituZone, itu);
    if (call == QStringLiteral("R9ABC")) {
        QCOMPARE(country->utcOffset, -8.0);
        QCOMPARE(country->continent, QStringLiteral("AS"));
    }
    if (name == QStringLiteral("Hawaii"))
        QCOMPARE(country->primaryPrefix, QStringLiteral("KH6"));
}

void TstGeo::countryFileRejected_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addRow("no semicolon") << QByteArray("Japan: 25: 45: AS: 36.40: -138.38: -9.0: JA:\n JA,7J\n");
    QTest::addRow("short header") << QByteArray("Japan: 25: 45: AS: 36.40:\n JA;\n");
    QTest::addRow("latitude not a number") << QByteArray("Japan: 25: 45: AS: north: -138.38: -9.0: JA:\n JA;\n");
    QTest::addRow("unclosed override") << QByteArray("Japan: 25: 45: AS: 36.40: -138.38: -9.0: JA:\n JA(25;\n");
    QTest::addRow("nothing") << QByteArray(" \n");
}

void TstGeo::countryFileRejected() {
    QFETCH(QByteArray, text);
    CountryFile file;
    QTemporaryDir dir;
    QVERIFY(loadSmallFile(file, dir));
    QVERIFY(!file.parse(text));
    QVERIFY(!file.errorString().isEmpty());
    QCOMPARE(file.countryCount(), 0);
    QVERIFY(!file.lookup(u"JA1XYZ"));
    QVERIFY(!file.load(dir.filePath(QStringLiteral("missing.dat"))));
}

void TstGeo::countryFileInWorkingFolder() {
    QTemporaryDir dir;
    QCOMPARE(CountryFile::defaultPath(dir.path()), QStringLiteral("/usr/share/hamradio-files/cty.dat"));
    QFile own(dir.filePath(QStringLiteral("CTY.DAT")));
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.close();
    QCOMPARE(CountryFile::defaultPath(dir.path()), own.fileName());
}

void TstGeo::targetText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Target::Kind>("kind");
    QTest::addColumn<QString>("shown");
    // From PM95vq, worked by hand on a sphere of 6371 km; -1: none.
    QTest::addColumn<double>("shortPath");
    QTest::addColumn<double>("shortKm");
    using K = Target::Kind;
    QTest::addRow("degrees") << "123" << K::Degrees << "123°" << 123.0 << -1.0;
    QTest::addRow("degrees with fraction and sign") << " 123.5° " << K::Degrees << "123.5°" << 123.5 << -1.0;
    QTest::addRow("full turn") << "360" << K::Degrees << "360°" << 0.0 << -1.0;
    QTest::addRow("past a full turn") << "361" << K::Unknown << "361" << -1.0 << -1.0;
    QTest::addRow("locator square") << "FN42" << K::Locator << "FN42" << 22.3 << 10776.0;
    QTest::addRow("locator, any case") << "jn58TD" << K::Locator << "JN58td" << 328.2 << 9372.0;
    QTest::addRow("callsign") << "dl1abc" << K::Country << "Fed. Rep. of Germany (DL)" << 330.8 << 9201.0;
    QTest::addRow("two-letter prefix beats field") << "DL" << K::Country << "Fed. Rep. of Germany (DL)" << 330.8 << 9201.0;
    QTest::addRow("field nobody's prefix") << "JN" << K::Locator << "JN" << 327.1 << 9721.0;
    QTest::addRow("call, not a locator") << "JA1XYZ" << K::Country << "Japan (JA)" << 302.4 << 150.0;
    QTest::addRow("portable, file's star dropped") << "KH6/JA1XYZ" << K::Country << "Hawaii (KH6)" << 87.0 << 6241.0;
    QTest::addRow("coordinates") << "-33.87, 151.21" << K::Coordinates << "-33.87, 151.21" << 169.9 << 7825.0;
    QTest::addRow("coordinates, spaces") << "-33.87   151.21" << K::Coordinates << "-33.87, 151.21" << 169.9 << 7825.0;
    QTest::addRow("latitude past the pole") << "95, 10" << K::Unknown << "95, 10" << -1.0 << -1.0;
    QTest::addRow("words") << "hello there" << K::Unknown << "hello there" << -1.0 << -1.0;
    QTest::addRow("empty") << "  " << K::Unknown << "" << -1.0 << -1.0;
}

void TstGeo::targetText() {
    QFETCH(QString, text);
    QFETCH(Target::Kind, kind);
    QFETCH(QString, shown);
    QFETCH(double, shortPath);
    QFETCH(double, shortKm);
    QTemporaryDir dir;
    CountryFile file;
    QVERIFY(loadSmallFile(file, dir));
    const Target target = Target::parse(text, &file);
    QCOMPARE(target.kind, kind);
    QCOMPARE(target.shown, shown);
    const auto b = target.bearings(*Locator::centre(u"PM95vq"));
    QCOMPARE(b.has_value(), shortPath >= 0);
    if (!b)
        return;
    const QString got = QStringLiteral("%1 deg %2 km").arg(b->shortPath).arg(b->shortKm.value_or(-1));
    QVERIFY2(angleGap(b->shortPath, shortPath) < 1.0, qPrintable(got));
    QVERIFY2(angleGap(b->longPath, shortPath + 180) < 1.0, qPrintable(got));
    QCOMPARE(b->shortKm.has_value(), shortKm >= 0);
    QCOMPARE(b->longKm.has_value(), shortKm >= 0);
    if (b->shortKm)
        QVERIFY2(std::fabs(*b->shortKm - shortKm) < shortKm * 0.02, qPrintable(got));
}

void TstGeo::realCountryFile_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("shortPath"); // from PM95vq, by hand on a sphere
    QTest::addRow("DL1ABC") << "DL1ABC" << "Germany" << 331.0;
    QTest::addRow("VK2") << "VK2" << "Australia" << 187.9;
}

void TstGeo::realCountryFile() {
    QFETCH(QString, call);
    QFETCH(QString, name);
    QFETCH(double, shortPath);
    if (!QFile::exists(CountryFile::systemPath()))
        QSKIP("hamradio-files' cty.dat is not installed");
    CountryFile file;
    QVERIFY2(file.load(CountryFile::systemPath()), qPrintable(file.errorString()));
    const Target target = Target::parse(call, &file);
    QCOMPARE(target.kind, Target::Kind::Country);
    QVERIFY2(target.shown.contains(name), qPrintable(target.shown));
    const auto b = target.bearings(*Locator::centre(u"PM95vq"));
    QVERIFY(b);
    QVERIFY2(angleGap(b->shortPath, shortPath) < 2.0, qPrintable(QString::number(b->shortPath)));
}

QTEST_GUILESS_MAIN(TstGeo)
#include "tst_geo.moc"
