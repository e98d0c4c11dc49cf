// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the time from the last byte of an azimuth reply written to the line to the
// end of the map's repaint, through the real window: the link reads the reply, the
// session shows the heading, the map paints its bitmap and marks. Beside it, in
// the same run on the same pseudo-terminal: a bare QSerialPort whose reads repaint
// a plain widget of the same size showing the same bitmap. Then the same window on
// the GS-232B link, answering its position requests on the same line, and on
// Hamlib's link (model 2, a rotctld played on a thread of its own on the loopback):
// from its answer to a position request written to the socket to the repaint,
// through Hamlib's thread and the session.
#include "core/application/operatingcore.h"
#include "core/links/linksetup.h"
#include "core/session/rotatorsession.h"
#include "windowrig.h"
#include "gui/mainwindow.h"
#include "pseudoterminal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kReplies = 400;

class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class BareMap : public QWidget {
  public:
    QImage bitmap;
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(2, 2, bitmap); }
};

// Microseconds from each reply written to the paint that follows it. A polled
// controller answers only when asked: each reply then waits for its position
// request ("C"), and is timed from the answer.
enum class Replies { Pushed, Polled };
std::vector<double> measure(PseudoTerminal& pty, QWidget* map, Replies replies = Replies::Pushed) {
    PaintCounter counter;
    map->installEventFilter(&counter);
    std::vector<double> times;
    for (int i = 0; i < kReplies; ++i) {
        if (replies == Replies::Polled) {
            pty.clearReceived();
            while (!pty.received().contains("C\r"))
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        const int before = counter.paints;
        QElapsedTimer clock;
        clock.start();
        pty.write("AZ=" + QByteArray::number(100 + i % 200) + "\r\n");
        while (counter.paints == before)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // The paint is over once the event that carried it has been handled.
        QCoreApplication::processEvents();
        times.push_back(double(clock.nsecsElapsed()) / 1000);
    }
    map->removeEventFilter(&counter);
    std::sort(times.begin(), times.end());
    return times;
}

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Answers each position request at once with the next azimuth, and notes when.
class QuickRotctld : public QTcpServer {
  public:
    std::atomic<qint64> answeredAt = 0;
    QuickRotctld() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* peer = nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [this, peer] {
                while (peer->canReadLine()) {
                    const QByteArray line = peer->readLine();
                    if (line.startsWith("\\dump_state")) {
                        peer->write("1\n2\nmin_az=0\nmax_az=360\nmin_el=0\nmax_el=90\n"
                                    "south_zero=0\nrot_type=AzEl\ndone\n");
                    } else if (line.startsWith('p')) {
                        answeredAt = nowNs();
                        peer->write(QByteArray::number(100 + m_next++ % 200) + ".00\n0.00\n");
                        peer->flush();
                    }
                }
            });
        });
    }

  private:
    int m_next = 0;
};

// Microseconds from each answer the peer notes to the paint that follows it.
std::vector<double> measureAnswers(std::atomic<qint64>& answeredAt, QWidget* map) {
    PaintCounter counter;
    map->installEventFilter(&counter);
    std::vector<double> times;
    answeredAt = 0;
    while (times.size() < std::size_t(kReplies)) {
        const int before = counter.paints;
        while (counter.paints == before)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
        if (const qint64 at = answeredAt.exchange(0))
            times.push_back(double(nowNs() - at) / 1000);
    }
    map->removeEventFilter(&counter);
    std::sort(times.begin(), times.end());
    return times;
}

void report(const char* what, const std::vector<double>& t) {
    std::printf("  %-44s median %7.1f us   p99 %7.1f us\n", what, t[t.size() / 2],
                t[t.size() * 99 / 100]);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    bench::WindowRig rig;
    if (!rig.start())
        return 1;
    QWidget* map = rig.window.findChild<QWidget*>(QStringLiteral("mapView"));
    const std::vector<double> ours = measure(rig.pty, map);

    // The same line, now to a GS-232B asked every 50 ms.
    LinkSetup gs232b;
    gs232b.protocol = LinkSetup::Protocol::Gs232b;
    gs232b.pollMs = LinkSetup::minPollMs;
    rig.core.setLinkSetup(gs232b); // reopens the port on the new link
    if (!rig.core.session().link().isOpen())
        return 1;
    const std::vector<double> gs232 = measure(rig.pty, map, Replies::Polled);

    QThread peerThread;
    auto* peer = new QuickRotctld;
    peer->moveToThread(&peerThread);
    QObject::connect(&peerThread, &QThread::finished, peer, &QObject::deleteLater);
    peerThread.start();
    quint16 peerPort = 0;
    QMetaObject::invokeMethod(
        peer, [&] { peerPort = peer->listen(QHostAddress::LocalHost, 0) ? peer->serverPort() : 0; },
        Qt::BlockingQueuedConnection);
    LinkSetup hamlib;
    hamlib.protocol = LinkSetup::Protocol::Hamlib;
    hamlib.hamlibModel = 2;
    hamlib.device = QStringLiteral("127.0.0.1:%1").arg(peerPort);
    hamlib.pollMs = LinkSetup::minPollMs;
    rig.core.setLinkSetup(hamlib); // reopens the port on the new link
    if (!peerPort || !rig.core.session().link().isOpen())
        return 1;
    const std::vector<double> polled = measureAnswers(peer->answeredAt, map);
    rig.core.session().closeLink();
    peerThread.quit();
    peerThread.wait();
    rig.window.hide();

    BareMap bare;
    bare.bitmap = QImage(QStringLiteral("world1.bmp")).convertToFormat(QImage::Format_RGB32);
    bare.resize(map->size());
    bare.show();
    QSerialPort port;
    port.setPortName(rig.pty.slavePath());
    if (!port.open(QIODevice::ReadWrite))
        return 1;
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        if (port.readAll().endsWith('\n'))
            bare.update();
    });
    const std::vector<double> reference = measure(rig.pty, &bare);

    std::printf("position answer to repainted map, %d answers a link, %s\n", kReplies,
                qPrintable(QGuiApplication::platformName()));
    report("window: native link, parser, session, map marks", ours);
    report("window: GS-232B link, polled", gs232);
    report("window: Hamlib link, model 2, its thread", polled);
    report("reference: bare read and repaint", reference);
    return 0;
}
