// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "mapdraw/maprenderer.h"
#include "mapdraw/stationmapjob.h"
#include "testfiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace mapdraw;

namespace {
constexpr GeoPoint frankfurt{50.1, 8.7};
const QString mapData = QStringLiteral(AZIVEX_SOURCE_DIR "/data/naturalearth");

} // namespace

class TestStationMapJob : public QObject {
    Q_OBJECT
  private slots:
    void drawsPicturesCentredOnStation() {
        QTemporaryDir dir;
        const QStringList files{dir.filePath(QStringLiteral("world4.bmp")),
                                dir.filePath(QStringLiteral("world5.bmp"))};
        StationMapJob job(mapData, frankfurt, {{files[0], 60}, {files[1], 90}});
        QSignalSpy progress(&job, &StationMapJob::progress);
        QSignalSpy finished(&job, &StationMapJob::finished);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ticks += job.isRunning(); });
        ticker.start(1);
        job.start();
        QVERIFY(finished.wait(60000));
        QVERIFY(!job.isRunning());
        QCOMPARE(finished.first().first().toStringList(), files);
        // The caller's event loop ran all along.
        QVERIFY(ticks > 0);
        QCOMPARE(progress.last().first().toInt(), 100);

        const auto data = loadMapData(mapData);
        QVERIFY(data);
        for (int i : {0, 1}) {
            const QByteArray bmp = readFile(files[i]);
            QVERIFY(bmp.startsWith("BM"));
            QCOMPARE(int(bmp[28]), 24); // bits a pixel
            const QImage picture(files[i]);
            const int size = picture.width();
            QCOMPARE(picture.size(), QSize(size, size));
            QCOMPARE(picture, renderMap(*data, frankfurt, size).convertToFormat(picture.format()));
        }
    }

    void cancelLeavesNoFile() {
        QTemporaryDir dir;
        StationMapJob job(mapData, frankfurt,
                          {{dir.filePath(QStringLiteral("world4.bmp")), maxPictureSizePx}});
        QSignalSpy cancelled(&job, &StationMapJob::cancelled);
        QSignalSpy finished(&job, &StationMapJob::finished);
        connect(&job, &StationMapJob::progress, &job, &StationMapJob::cancel);
        job.start();
        QVERIFY(cancelled.wait(60000));
        QVERIFY(finished.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList());
    }

    void failures_data() {
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("fileSizeLimit"); // bytes a file may hold; 0: no limit
        QTest::addRow("unwritable target") << mapData << "file/world5.bmp" << 40 << "cannot write" << 0;
        QTest::addRow("no map data") << "missing" << "world5.bmp" << 40 << "land-50m.json" << 0;
        QTest::addRow("too small") << mapData << "world5.bmp" << 31 << "not 31" << 0;
        // A write cut short part way, as on a disk that fills up: the system's reason.
        QTest::addRow("file cut short") << mapData << "world5.bmp" << 100 << "world5.bmp: " + QString::fromLocal8Bit(std::strerror(EFBIG)) << 10000;
    }

    // Nothing written, and the picture that could be written is left as it was too.
    void failures() {
        QFETCH(QString, data);
        QFETCH(QString, target);
        QFETCH(int, size);
        QFETCH(QString, reason);
        QFETCH(int, fileSizeLimit);
        QTemporaryDir dir;
        const QString existing = dir.filePath(QStringLiteral("world4.bmp"));
        for (const QString& name : {existing, dir.filePath(QStringLiteral("file"))})
            QVERIFY(writeFile(name, "operator's own"));
        StationMapJob job(QDir(dir.path()).filePath(data), frankfurt,
                          {{existing, minPictureSizePx}, {dir.filePath(target), size}});
        QSignalSpy failed(&job, &StationMapJob::failed);
        rlimit unlimited{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the process
        const rlimit limit{fileSizeLimit ? rlim_t(fileSizeLimit) : unlimited.rlim_cur, unlimited.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        job.start();
        const bool ended = failed.wait(60000);
        setrlimit(RLIMIT_FSIZE, &unlimited);
        QVERIFY(ended);
        QVERIFY2(failed.first().first().toString().contains(reason),
                 qPrintable(failed.first().first().toString()));
        QCOMPARE(readFile(existing), QByteArray("operator's own"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList({QStringLiteral("file"), QStringLiteral("world4.bmp")}));
    }
};

QTEST_MAIN(TestStationMapJob)
#include "tst_stationmapjob.moc"
