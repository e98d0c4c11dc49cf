// Times one map redraw (the overlay painted on a copy of the bitmap) and compares it
// with the time an 8-character azimuth reply takes on the wire at 9600 baud: every
// reply triggers a redraw, which must stay a small fraction of that.
//
//   azivex-bench-redraw [world3.bmp] [iterations]

#include "map/overlaypainter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

constexpr double kReplyWireMs = 8.3; // 8 characters x 10 bits at 9600 baud

// A stand-in map: shaded sea with a few land blobs, 24-bit like a loaded bitmap.
QImage generatedMap() {
    QImage img(450, 450, QImage::Format_RGB888);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixelColor(x, y, QColor(20, 60 + y / 4, 120 + x / 4));
    QPainter p(&img);
    p.setBrush(QColor(90, 140, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(60, 80, 140, 90);
    p.drawEllipse(250, 220, 120, 160);
    p.drawEllipse(180, 30, 200, 60);
    return img;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QStringList args = app.arguments();

    QImage bitmap;
    QString source = QStringLiteral("generated 450 x 450");
    if (args.size() > 1) {
        if (!bitmap.load(args.at(1))) {
            QTextStream(stderr) << "cannot load " << args.at(1) << '\n';
            return 1;
        }
        source = args.at(1);
    } else {
        bitmap = generatedMap();
    }
    const int iterations = args.size() > 2 ? std::max(1, args.at(2).toInt()) : 20000;

    // Every mark drawn: command, offset, centre mark and heading, the heading moving
    // as it does while the antenna turns.
    OverlayState state{QStringLiteral("000"), QStringLiteral("123"), QStringLiteral("10"),
                       bitmap.height() * 15 <= 3000 ? 3 : bitmap.height() * 15 < 5000 ? 4 : 5};

    qint64 checksum = 0;
    for (int i = 0; i < 200; ++i) // warm-up
        checksum += OverlayPainter::paint(bitmap, state).width();

    std::vector<double> batchMeansUs;
    const int batches = 10;
    const int perBatch = std::max(1, iterations / batches);
    QElapsedTimer timer;
    for (int b = 0; b < batches; ++b) {
        timer.start();
        for (int i = 0; i < perBatch; ++i) {
            state.currentAzimuth = QString::number((b * perBatch + i) % 360);
            const QImage img = OverlayPainter::paint(bitmap, state);
            checksum += img.constScanLine(img.height() / 2)[0];
        }
        batchMeansUs.push_back(double(timer.nsecsElapsed()) / 1000.0 / perBatch);
    }
    std::sort(batchMeansUs.begin(), batchMeansUs.end());
    double sum = 0;
    for (double v : batchMeansUs)
        sum += v;
    const double meanUs = sum / batches;
    const double medianUs = (batchMeansUs[batches / 2 - 1] + batchMeansUs[batches / 2]) / 2;

    out << "bitmap:      " << source << " (" << bitmap.width() << " x " << bitmap.height()
        << ", format " << int(bitmap.format()) << ")\n";
    out << "iterations:  " << perBatch * batches << " in " << batches << " batches\n";
    out << "mean:        " << QString::number(meanUs, 'f', 1) << " us per redraw\n";
    out << "median:      " << QString::number(medianUs, 'f', 1) << " us (batch means "
        << QString::number(batchMeansUs.front(), 'f', 1) << " to "
        << QString::number(batchMeansUs.back(), 'f', 1) << ")\n";
    out << "vs reply:    " << QString::number(meanUs / 1000.0 / kReplyWireMs * 100.0, 'f', 2)
        << " % of " << kReplyWireMs << " ms (target below 2 %)\n";
    out << "checksum:    " << checksum << '\n';
    return 0;
}
