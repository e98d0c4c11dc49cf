// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "stationmapjob.h"

#include "maprenderer.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <vector>

namespace mapdraw {

namespace {
// Shares of the whole job, from timing it: reading the outlines takes about a
// tenth, rasterising the land a quarter, and the pictures nearly all the rest.
constexpr double loadingShare = 0.1;
constexpr double maskShare = 0.25;
constexpr double writingShare = 0.02;
constexpr double picturesShare = 1.0 - loadingShare - maskShare - writingShare;

// The picture as a BMP file; the image writer says little of a failed write and
// nothing of the system's reason, so it only ever writes to memory.
QByteArray encodeBmp(const QImage& image, QString* error) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (writer.write(image))
        return bytes;
    *error = writer.errorString();
    return {};
}

// A write cut short (the disk filled up part way) leaves no error of its own; the
// next write of the rest fails at once, and carries the system's reason.
bool writeAll(QIODevice& file, const QByteArray& data) {
    for (qint64 done = 0; done < data.size();) {
        const qint64 written = file.write(data.constData() + done, data.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}
} // namespace

StationMapJob::StationMapJob(QString dataFolder, GeoPoint station, QList<PictureRequest> pictures,
                             QObject* parent)
    : QObject(parent), m_dataFolder(std::move(dataFolder)), m_station(station),
      m_pictures(std::move(pictures)) {}

StationMapJob::~StationMapJob() {
    cancel();
    if (m_thread)
        m_thread->wait();
}

void StationMapJob::start() {
    if (m_thread)
        return;
    m_running = true;
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->start();
}

void StationMapJob::cancel() {
    m_cancelRequested = true;
}

bool StationMapJob::reportProgress(double done) {
    const int percent = std::clamp(int(std::floor(done * 100.0)), 0, 100);
    if (percent > m_reportedPercent) {
        m_reportedPercent = percent;
        // Queued to this object: dropped if the job is gone by then.
        QMetaObject::invokeMethod(
            this, [this, percent] { emit progress(percent); }, Qt::QueuedConnection);
    }
    return !m_cancelRequested;
}

void StationMapJob::end(Outcome outcome, const QString& reason) {
    QStringList written;
    if (outcome == Outcome::Finished)
        for (const PictureRequest& picture : m_pictures)
            written.append(picture.file);
    QMetaObject::invokeMethod(
        this,
        [this, outcome, reason, written] {
            m_running = false;
            switch (outcome) {
            case Outcome::Finished:
                emit finished(written);
                break;
            case Outcome::Failed:
                emit failed(reason);
                break;
            case Outcome::Cancelled:
                emit cancelled();
                break;
            }
        },
        Qt::QueuedConnection);
}

void StationMapJob::run() {
    double pixels = 0;
    for (const PictureRequest& picture : m_pictures) {
        if (picture.sizePx < minPictureSizePx || picture.sizePx > maxPictureSizePx)
            return end(Outcome::Failed,
                       QStringLiteral("%1: a picture is %2 to %3 pixels wide, not %4")
                           .arg(picture.file)
                           .arg(minPictureSizePx)
                           .arg(maxPictureSizePx)
                           .arg(picture.sizePx));
        pixels += double(picture.sizePx) * picture.sizePx;
    }
    if (m_pictures.isEmpty())
        return end(Outcome::Failed, QStringLiteral("no picture to draw"));

    QString error;
    const auto data = loadMapData(m_dataFolder, &error);
    if (!data)
        return end(Outcome::Failed, error);
    if (!reportProgress(loadingShare))
        return end(Outcome::Cancelled);
    const QImage mask = landMask(*data);
    double done = loadingShare + maskShare;
    if (!reportProgress(done))
        return end(Outcome::Cancelled);

    QList<QImage> images;
    for (const PictureRequest& picture : m_pictures) {
        // Filling takes the same time for every pixel, so a picture's share goes with its area.
        const double share = picturesShare * picture.sizePx * picture.sizePx / pixels;
        const QImage image =
            renderMap(*data, mask, m_station, picture.sizePx, [this, done, share](double drawn) {
                return reportProgress(done + share * drawn);
            });
        if (image.isNull() || m_cancelRequested)
            return end(Outcome::Cancelled);
        done += share;
        // RGB888 makes the BMP writer store 24 bits a pixel, as the map maker's pictures.
        images.append(image.convertToFormat(QImage::Format_RGB888));
    }

    // Every picture is written beside its target before any replaces it, so one
    // that cannot be written leaves the others as they were too.
    std::vector<std::unique_ptr<QSaveFile>> files;
    for (qsizetype i = 0; i < m_pictures.size(); ++i) {
        QString encodeError;
        const QByteArray bmp = encodeBmp(images[i], &encodeError);
        auto file = std::make_unique<QSaveFile>(m_pictures[i].file);
        // Unbuffered, so a write that fails fails here, with the system's reason.
        if (bmp.isNull() || !file->open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
            !writeAll(*file, bmp))
            return end(Outcome::Failed,
                       QStringLiteral("cannot write %1: %2")
                           .arg(m_pictures[i].file, bmp.isNull() ? encodeError : file->errorString()));
        files.push_back(std::move(file));
    }
    for (const auto& file : files) {
        if (!file->commit())
            return end(
                Outcome::Failed,
                QStringLiteral("cannot write %1: %2").arg(file->fileName(), file->errorString()));
    }
    reportProgress(1.0);
    end(Outcome::Finished);
}

} // namespace mapdraw
