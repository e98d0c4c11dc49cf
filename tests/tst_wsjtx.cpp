// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// WSJT-X status datagrams, built with Qt's own QDataStream as WSJT-X builds them: what
// the decoder reads, and over UDP on the loopback what reaches a pseudo-terminal
// standing in for the controller behind the operating core.
#include "core/application/operatingcore.h"
#include "core/application/wsjtxfollower.h"
#include "core/links/nativelink.h"
#include "core/services/servicemodel.h"
#include "net/networkservices.h"
#include "net/wsjtxmessage.h"
#include "pseudoterminal.h"
#include "testfiles.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

namespace {
// A heartbeat (type 0) or a status (type 1) as WSJT-X writes them; a null grid is a
// null QByteArray.
QByteArray datagram(quint32 type, const QByteArray& dxCall, const QByteArray& dxGrid,
                    const QByteArray& deGrid = "PM95vq", quint32 schema = 3,
                    quint32 magic = Wsjtx::magic) {
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setVersion(schema == 2 ? QDataStream::Qt_5_2 : QDataStream::Qt_5_4);
    s << magic << schema << type << QByteArray("WSJT-X");
    if (type == 0)
        s << quint32(3) << QByteArray("2.6.1") << QByteArray("abc");
    else
        s << quint64(14074000) << QByteArray("FT8") << dxCall << QByteArray("-10")
          << QByteArray("FT8") << true << false << false << quint32(1500) << quint32(1200)
          << QByteArray("JA1XYZ") << deGrid << dxGrid << false << QByteArray() << false
          << quint8(0) << quint32(0xffffffff) << quint32(15) << QByteArray("Default")
          << QByteArray("CQ JA1XYZ PM95");
    // For the check against WSJT-X's own receiver.
    if (QFile dump(qEnvironmentVariable("AZIVEX_WSJTX_DUMP"));
        !dump.fileName().isEmpty() && dump.open(QIODevice::Append))
        dump.write(out.toHex() + '\n');
    return out;
}
constexpr int afterDxGrid = 44; // the bytes of the status's later fields
} // namespace

class TestWsjtx : public QObject {
    Q_OBJECT
  private slots:
    void decode_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("read"); // kind|DX call|DX grid|DE grid|frequency, or why
        const QString fn42 = QStringLiteral("status|DL1ABC|FN42|PM95vq|14074000");
        const QByteArray status = datagram(1, "DL1ABC", "FN42");
        // clang-format off
        QTest::addRow("schema 3") << status << fn42;
        QTest::addRow("schema 2") << datagram(1, "DL1ABC", "FN42", "PM95vq", 2) << fn42;
        QTest::addRow("null grid") << datagram(1, "DL1ABC", QByteArray()) << "status|DL1ABC||PM95vq|14074000";
        QTest::addRow("ends at the DX grid") << status.chopped(afterDxGrid) << fn42;
        QTest::addRow("cut inside the DX grid") << status.chopped(afterDxGrid + 1) << "status cut short";
        QTest::addRow("length past the end") << status.left(status.indexOf("DL1ABC") - 4) + QByteArray("\x7f\xff\xff\xff", 4) + status.mid(status.indexOf("DL1ABC")) << "status cut short";
        QTest::addRow("heartbeat") << datagram(0, {}, {}) << "other";
        QTest::addRow("header only") << status.left(11) << "too short";
        QTest::addRow("wrong magic") << datagram(1, "DL1ABC", "FN42", "PM95vq", 3, 0xadbccbdb) << "not a WSJT-X message";
        QTest::addRow("schema 1") << datagram(1, "DL1ABC", "FN42", "PM95vq", 1) << "unknown schema";
        QTest::addRow("largest") << status + QByteArray(Wsjtx::maxDatagramBytes - status.size(), 0) << fn42;
        QTest::addRow("too long") << status + QByteArray(Wsjtx::maxDatagramBytes + 1 - status.size(), 0) << "too long";
        // clang-format on
    }
    void decode() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, read);
        const Wsjtx::Decoded got = Wsjtx::decode(bytes);
        const auto& s = got.status;
        QCOMPARE(got.kind == Wsjtx::Decoded::Kind::Status, s.has_value());
        QCOMPARE((s ? QStringList{"status", s->dxCall, s->dxGrid, s->deGrid, QString::number(s->dialFrequency)}.join(u'|')
                    : got.kind == Wsjtx::Decoded::Kind::OtherType ? QStringLiteral("other") : got.problem), read);
    }

    // The DE grid is the station until [station] is set; repeats and junk send nothing.
    void follow() {
        if (!QFileInfo::exists(CountryFile::systemPath()))
            QFAIL(qPrintable(CountryFile::systemPath() + " is missing: install the Debian package "
                                                         "hamradio-files (scripts/setup-deps does)"));
        QTemporaryDir dir;
        PseudoTerminal pty;
        QVERIFY(pty.linkAs(dir.path(), 7));
        const QString home = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const auto back = qScopeGuard([&] { QDir::setCurrent(home); });
        QVERIFY(writeFile("AZIVEX.DAT", SettingsCodec::fileText(QStringLiteral("7,9600,N,8,1:0-0/0"))) &&
                writeFile("AZIVEX.INI", "[wsjtx]\nfollow=true\n"));
        OperatingCore core;
        ServiceModel model(core.store());
        QVERIFY(core.start());
        NetworkServices services(core, model); // the program's own wiring: aims go through the pacer
        std::chrono::milliseconds now{};
        services.pacer().setClock([&] { return now; });
        WsjtxFollower& follower = core.wsjtx();
        WsjtxListener& listener = services.wsjtx();
        WsjtxListener rival(follower);
        QVERIFY(listener.listen(QHostAddress::LocalHost, 0));
        QVERIFY(!rival.serve(QStringLiteral("127.0.0.1:%1").arg(listener.port())).isEmpty());
        QUdpSocket sender;
        // Sends the datagrams, the last a status; what reached the controller once
        // that status is taken.
        const auto line = [&](const QList<QByteArray>& datagrams) -> QByteArray {
            const int statuses = listener.counters().handled + !datagrams.isEmpty();
            for (const QByteArray& d : datagrams)
                sender.writeDatagram(d, QHostAddress::LocalHost, listener.port());
            if (!QTest::qWaitFor([&] { return listener.counters().handled == statuses; }) ||
                !static_cast<NativeLink&>(core.session().link()).channel().send("#") ||
                !QTest::qWaitFor([&] { return pty.received().endsWith('#'); }))
                return "timed out: " + pty.received();
            const QByteArray got = pty.received().chopped(1);
            pty.clearReceived();
            return got;
        };
        const QByteArray fn42 = datagram(1, "W1AW", "FN42");
        QCOMPARE(line({fn42}), QByteArray("M022\r\n"));
        QCOMPARE(line({fn42}), QByteArray());
        QCOMPARE(line({datagram(1, "W1AW", "JN58")}), QByteArray()); // a new grid alone waits its turn
        now += AimPacer::interval;
        services.pacer().release();
        QCOMPARE(line({}), QByteArray("M329\r\n"));
        QVERIFY(core.aiming().setStation(QStringLiteral("PM95vq")));
        now += AimPacer::interval;
        const QByteArray dl = datagram(1, "DL1ABC", "", "AA00aa");
        sender.writeDatagram(dl, QHostAddress::LocalHost, listener.port());
        QTRY_COMPARE(pty.received(), QByteArray("M331\r\n")); // once the country file is read
        pty.clearReceived();
        QCOMPARE(follower.partner().shown, QStringLiteral("Fed. Rep. of Germany (DL)"));
        now += AimPacer::interval; // from here, any aim would go at once
        QCOMPARE(line({datagram(0, {}, {}), fn42.chopped(afterDxGrid + 1), fn42 + QByteArray(Wsjtx::maxDatagramBytes, 0), dl}), QByteArray());
        QCOMPARE(listener.counters().ignored, 2);
        QVERIFY(follower.setFollow(false));
        QCOMPARE(line({fn42}), QByteArray());
        const quint16 port = listener.port(); // switched off, the port is free again
        QCOMPARE(listener.serve(QString()), QString());
        QVERIFY(rival.listen(QHostAddress::LocalHost, port));
    }
};

QTEST_GUILESS_MAIN(TestWsjtx)
#include "tst_wsjtx.moc"
