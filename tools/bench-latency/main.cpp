// Measures, in the running window, the time from writing the last byte of an
// "AZ=ddd" reply into a pseudo-terminal to the end of the map's repaint that shows
// it, on the largest standard picture. Prints the figures and their ratio to the
// wire time of one 8-character reply at 9600 baud.
#include "pseudoterminal.h"
#include "ui/controls_widgets.h"
#include "ui/form1.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Runs the map's paint inside the filter so the time taken includes the painting.
class PaintClock : public QObject {
public:
    QElapsedTimer clock;
    qint64 lastPaintEnd = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint)
            return false;
        removeEventFilter(this);
        watched->removeEventFilter(this);
        const bool handled = watched->event(event);
        watched->installEventFilter(this);
        lastPaintEnd = clock.nsecsElapsed();
        return handled;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Form1::prepareApplication();
    const QString maps = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const int replies = argc > 2 ? std::max(10, atoi(argv[2])) : 500;

    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    if (!maps.isEmpty() && QFile::exists(maps + QStringLiteral("/world3.bmp"))) {
        QFile::copy(maps + QStringLiteral("/world1.bmp"), QStringLiteral("world1.bmp"));
        QFile::copy(maps + QStringLiteral("/world3.bmp"), QStringLiteral("world3.bmp"));
    } else {
        QImage img(450, 450, QImage::Format_RGB32);
        img.fill(QColor(150, 192, 232));
        img.save(QStringLiteral("world3.bmp"), "BMP");
        img.scaled(200, 200).save(QStringLiteral("world1.bmp"), "BMP");
    }
    QFile settings(QStringLiteral("AZIVEX.DAT"));
    if (!settings.open(QIODevice::WriteOnly))
        return 1;
    settings.write("3,9600,N,8,1:0-2/0\r\n");
    settings.close();

    PseudoTerminal pty;
    if (!pty.linkAs(dir.path(), 3))
        return 1;
    Form1 form;
    if (!form.load())
        return 1;
    form.show();
    app.processEvents();

    PaintClock paints;
    paints.clock.start();
    form.Picture1->installEventFilter(&paints);
    // Work the settings line off first, so every reply is shown as it arrives.
    form.inputLine.clear();

    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(replies));
    for (int i = 0; i < replies; ++i) {
        const int azimuth = (i * 7) % 360;
        const QByteArray reply = QStringLiteral("AZ=%1\r\n").arg(azimuth, 3, 10, QLatin1Char('0')).toLatin1();
        pty.write(reply.left(5));
        while (form.inputLine.size() < 5)
            app.processEvents(QEventLoop::WaitForMoreEvents);
        paints.lastPaintEnd = -1;
        const QString expected = QString::number(azimuth);
        const qint64 sent = paints.clock.nsecsElapsed();
        pty.write(reply.mid(5));
        while (paints.lastPaintEnd < 0 || form.Label4->text() != expected)
            app.processEvents(QEventLoop::WaitForMoreEvents);
        latencies.push_back(double(paints.lastPaintEnd - sent) / 1000.0);
        while (!form.inputLine.isEmpty())
            app.processEvents(QEventLoop::WaitForMoreEvents);
    }
    std::sort(latencies.begin(), latencies.end());
    double sum = 0;
    for (double v : latencies)
        sum += v;
    const double mean = sum / double(latencies.size());
    const double median = latencies[latencies.size() / 2];
    const double p99 = latencies[latencies.size() * 99 / 100];
    const double wire = 8.0 * 10.0 / 9600.0 * 1e6; // 8 characters of 10 bits
    std::printf("reply to repainted map, %zu replies on a %dx%d map\n", latencies.size(),
                form.Picture1->bitmap().width(), form.Picture1->bitmap().height());
    std::printf("  mean %.1f us, median %.1f us, 99th percentile %.1f us, max %.1f us\n", mean,
                median, p99, latencies.back());
    std::printf("  mean as a share of one reply's wire time at 9600 baud (%.0f us): %.2f %%\n",
                wire, 100.0 * mean / wire);
    return 0;
}
