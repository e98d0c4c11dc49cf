// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the built simulator through its link as the program would, and reads its log.

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Case {
    const char *name, *options, *command, *then; // then: sent ten degrees into the turn
    int direction, lo, hi;                       // where it comes to rest: lo to hi
    const char* logged;                          // log lines in this order, split at '|'
};

// The azimuth that the last line of the log holding text names, or -1.
int loggedAzimuth(const QByteArray& log, const QByteArray& text) {
    const qsizetype at = log.lastIndexOf(text);
    static const QRegularExpression digits(QStringLiteral("\\d{3}"));
    const QRegularExpressionMatch m =
        digits.match(QString::fromLatin1(log.mid(at, log.indexOf('\n', at) - at)));
    return at >= 0 && m.hasMatch() ? m.captured().toInt() : -1;
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestSimController : public QObject {
    Q_OBJECT
  private slots:
    void commands_data() {
        // clang-format off
        static const Case cases[] = {
            {"go to, CW", "--start 0", "M090\r\n", "", 1, 90, 90, "cmd M090|arrived at 090"},
            {"go to beyond the end stop", "--start 100 --max 180", "M300\r", "", 1, 180, 180,
             "(300 is beyond the end stop)|arrived at 180"},
            {"CW to end stop", "--start 300 --max 400", "R\n", "", 1, 400, 400, "end stop 400"},
            {"CCW to end stop", "--start 100 --min 20", "L\r\n", "", -1, 20, 20, "end stop 020"},
            {"stop", "--start 0 --rate 100", "R\r\n", "A\r\n", 1, 10, 449, "cmd A|stopped at "},
            {"switches", "--start 5", "Y81\r\nY11\r\nY80\r\n", "", 0, 5, 5, "8 on|1 on|8 off"},
            {"malformed go-to", "--start 50", "M-30\r\nM0900\r\n", "", 0, 50, 50, "ignored M-30"},
        };
        // clang-format on
        QTest::addColumn<Case>("c");
        for (const Case& c : cases)
            QTest::addRow("%s", c.name) << c;
    }

    void commands() {
        QFETCH(Case, c);
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("COM3"));
        QProcess sim;
        QByteArray log;
        connect(&sim, &QProcess::readyReadStandardOutput, this,
                [&] { log += sim.readAllStandardOutput(); });
        // Reports while still come only after an hour: every report the test sees is
        // sent at the turning pace (or answers "A"), whatever the machine's load.
        const auto pace =
            QStringLiteral("--rate 600 --moving-interval 20 --still-interval 3600000 %1");
        sim.start(QStringLiteral(AZIVEX_SIMCONTROLLER_PATH),
                  pace.arg(QLatin1String(c.options)).split(QLatin1Char(' ')) << link);
        QTRY_VERIFY(QFileInfo(link).isSymLink());

        // The program's side of the line: the link opened like a serial port. The line
        // is left as the simulator set it, which must be raw: no echo, no CR/LF changes.
        const int fd = ::open(qPrintable(link), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        const auto closeFd = qScopeGuard([fd] { ::close(fd); });
        QByteArray data;
        const auto reports = [&] { // the azimuths reported so far
            char buf[512];
            for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
                data.append(buf, n);
            static const QRegularExpression report(QStringLiteral("AZ=(\\d{3})\r\n"));
            QList<int> values;
            for (auto it = report.globalMatch(QString::fromLatin1(data)); it.hasNext();)
                values << it.next().captured(1).toInt();
            return values;
        };
        const auto send = [fd](const char* s) { return ::write(fd, s, strlen(s)) > 0; };

        const int start = QByteArray(c.options).split(' ').at(1).toInt(); // "--start N ..."
        QVERIFY(send(c.command));
        if (*c.then) {
            QTRY_VERIFY(!reports().isEmpty() &&
                        c.direction * (reports().constLast() - start) >= 10);
            QVERIFY(send(c.then));
        }
        const QList<QByteArray> logged = QByteArray(c.logged).split('|');
        QTRY_VERIFY2(log.contains(logged.constLast()), log.constData());
        // A turn ends with its last report, which gives where the log says it came to rest.
        if (c.direction)
            QTRY_VERIFY2(!reports().isEmpty() &&
                             reports().constLast() == loggedAzimuth(log, logged.constLast()),
                         log.constData());

        QList<int> path = reports();
        QCOMPARE(data.size(), path.size() * qsizetype(strlen("AZ=000\r\n"))); // nothing else
        // Still: nothing reported; turning: only ever towards the end.
        QCOMPARE(path.isEmpty(), c.direction == 0);
        path.prepend(start);
        QVERIFY2(path.constLast() >= c.lo && path.constLast() <= c.hi, data.constData());
        QVERIFY(std::ranges::is_sorted(path, {}, [&](int v) { return c.direction * v; }));
        qsizetype at = 0;
        for (const QByteArray& line : logged)
            QVERIFY2((at = log.indexOf(line, at)) >= 0,
                     (line + " in order in\n" + log).constData());
        sim.terminate(); // ends cleanly and takes its link away
        QVERIFY(sim.waitForFinished() && sim.exitCode() == 0 && !QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestSimController)
#include "tst_simcontroller.moc"
