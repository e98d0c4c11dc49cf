// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Prints the median and 99th percentile of the time from an azimuth reply written to
// the controller's line to the state's WebSocket frame at the last of 1 and of 32
// clients on the loopback, and, in the same rounds, to the end of the real window's
// map repaint. Server, window and clients
// share one process and one event loop, as the server and the window do in the program.
#include "core/application/aiming.h"
#include "core/application/operatingcore.h"
#include "windowrig.h"
#include "gui/mainwindow.h"
#include "net/web/webserver.h"
#include "pseudoterminal.h"
#include "roundtrips.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWebSocket>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kRounds = 400;
constexpr int kPauseMs = 3;

// Times the end of each paint of the map: the paint is done here, inside the filter,
// so what the event loop does after it (a push) is not counted to it.
class PaintCounter : public QObject {
  public:
    int paints = 0;
    QElapsedTimer* clock = nullptr;
    double lastPaintEnd = -1;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || m_inside)
            return false;
        m_inside = true;
        QCoreApplication::sendEvent(watched, event);
        m_inside = false;
        lastPaintEnd = double(clock->nsecsElapsed()) / 1000;
        ++paints;
        return true;
    }

  private:
    bool m_inside = false;
};

struct Figures {
    std::vector<double> frame, repaint;
};

// Each round: a new azimuth on the line, timed to its frame at every client and to
// the repaint that follows it.
Figures measure(PseudoTerminal& pty, QWidget* map,
                std::vector<std::unique_ptr<QWebSocket>>& clients) {
    QElapsedTimer clock;
    PaintCounter counter;
    counter.clock = &clock;
    map->installEventFilter(&counter);
    Figures f;
    QByteArray expected;
    std::size_t arrived = 0;
    double frameAt = -1;
    // Timed as the last client takes its frame.
    for (auto& client : clients)
        QObject::connect(client.get(), &QWebSocket::textMessageReceived, map,
                         [&](const QString& text) {
                             if (text.toUtf8().contains(expected) && ++arrived == clients.size())
                                 frameAt = double(clock.nsecsElapsed()) / 1000;
                         });
    for (int i = 0; i < kRounds; ++i) {
        bench::waitUntil([] { return false; }, kPauseMs);
        const QByteArray azimuth = QByteArray::number(100 + i % 200);
        expected = "\"heading\":" + azimuth + ',';
        arrived = 0;
        const int paintsBefore = counter.paints;
        double paintAt = -1;
        frameAt = -1;
        clock.start();
        pty.write("AZ=" + azimuth + "\r\n");
        const bool done = bench::waitUntil([&] {
            if (paintAt < 0 && counter.paints > paintsBefore)
                paintAt = counter.lastPaintEnd;
            return frameAt >= 0 && paintAt >= 0;
        });
        if (!done)
            return {};
        f.frame.push_back(frameAt);
        f.repaint.push_back(paintAt);
    }
    for (auto& client : clients)
        client->disconnect(map);
    map->removeEventFilter(&counter);
    std::sort(f.frame.begin(), f.frame.end());
    std::sort(f.repaint.begin(), f.repaint.end());
    return f;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    bench::WindowRig rig;
    if (!rig.start())
        return 1;
    WebServer server(rig.core.session(), rig.core.aiming());
    const QString token = QStringLiteral("0123456789abcdef0123456789abcdef");
    server.setToken(token);
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 1;
    QWidget* map = rig.window.findChild<QWidget*>(QStringLiteral("mapView"));

    std::printf("azimuth reply on the line to the WebSocket frame at the last client, and "
                "to the repainted map in the same rounds; %d rounds, %s\n",
                kRounds, qPrintable(QGuiApplication::platformName()));
    std::vector<std::unique_ptr<QWebSocket>> clients;
    for (const int count : {1, WebServer::maxWebSockets}) {
        while (int(clients.size()) < count) {
            clients.push_back(std::make_unique<QWebSocket>());
            clients.back()->open(QUrl(
                QStringLiteral("ws://127.0.0.1:%1/ws?token=%2").arg(server.port()).arg(token)));
        }
        if (!bench::waitUntil([&] { return server.webSocketCount() == count; }))
            return 1;
        const Figures f = measure(rig.pty, map, clients);
        if (f.frame.empty())
            return 1;
        const QByteArray frame =
            QByteArray::number(count) + (count == 1 ? " client" : " clients") + ": WebSocket frame";
        bench::printRow(frame.constData(), f.frame);
        bench::printRow("  same rounds: map repainted", f.repaint);
    }
    return 0;
}
