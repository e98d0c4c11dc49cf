// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "projection.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;

namespace mapdraw {

// One picture to draw: the file it goes to and its width and height in pixels.
struct PictureRequest {
    QString file;
    int sizePx = 0;
};

// Draws map pictures centred on a station on a thread of its own, so that the
// window stays responsive: reads the outlines from dataFolder, renders every
// picture, and only then writes them all as 24-bit BMP, each to a file beside
// its target that replaces it only when whole. A failure or a cancel before the
// writing leaves every target as it was.
//
// The signals arrive in the thread the job lives in, never from within start();
// a started job ends with exactly one of finished, failed or cancelled.
class StationMapJob : public QObject {
    Q_OBJECT
  public:
    StationMapJob(QString dataFolder, GeoPoint station, QList<PictureRequest> pictures,
                  QObject* parent = nullptr);
    // Cancels a running job and waits for its thread.
    ~StationMapJob() override;

    // Starts the drawing; a job runs once.
    void start();
    // Stops the drawing soon. Once the writing has begun the job completes instead.
    void cancel();
    // From start() until the signal that ends the job.
    bool isRunning() const { return m_running; }

  signals:
    // How much of the whole job is done, 0 to 100, each value once and rising.
    void progress(int percent);
    // The files written, in the order they were asked for.
    void finished(const QStringList& written);
    void failed(const QString& reason);
    void cancelled();

  private:
    enum class Outcome { Finished, Failed, Cancelled };
    // On the job's thread.
    void run();
    bool reportProgress(double done);
    void end(Outcome outcome, const QString& reason = {});

    const QString m_dataFolder;
    const GeoPoint m_station;
    const QList<PictureRequest> m_pictures;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_cancelRequested{false};
    bool m_running = false;
    int m_reportedPercent = -1; // the job's thread's
};

} // namespace mapdraw
