// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A randomized operator: seeded random actions through the real window's controls
// against the simulated controller, checking the window's invariants after each one.
// AZIVEX_SEED repeats a run, AZIVEX_ACTIONS sets its length; AZIVEX_SOAK_SECONDS runs for
// that long instead, with memory samples every AZIVEX_REPORT_SECONDS for scripts/soak.
#include "core/links/protocol.h"
#include "core/session/rotatorsession.h"
#include "core/settings/settingsfile.h"
#include "gui/appstyle.h"
#include "core/services/servicemodel.h"
#include "gui/mainwindow.h"
#include "gui/mapview.h"
#include "gui/messagebox.h"
#include "gui/tabcontrol.h"

#include <QtTest>
#include <QtWidgets>
#include <malloc.h>
#include <random>

namespace {
quint64 env(const char* name, quint64 fallback) {
    if (!qEnvironmentVariableIsSet(name))
        return fallback;
    // A seed mistyped must not run another sequence than the one asked for.
    bool ok = false;
    const quint64 value = qEnvironmentVariable(name).toULongLong(&ok);
    if (!ok)
        qFatal("%s is not a whole number: \"%s\"", name, qPrintable(qEnvironmentVariable(name)));
    return value;
}
long long statusKiB(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    const QString status = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    const auto match = QRegularExpression(key + QStringLiteral(":\\s*(\\d+)")).match(status);
    return match.captured(1).toLongLong();
}
const QStringList buttons{"ccwButton", "stopButton", "cwButton", "stepCcwButton", "stepCwButton"};
// Raw commands and offsets: mostly usable, some the window must refuse or pass on.
const QStringList typed[] = {{"L", "R", "A", "M090", "M450", "Y11", "Y80", "", " ", "AZ=123", "?"},
                             {"0", "0", "10", "-12", "", "0.5", "abc", "-400", "1000", "&H10"}};
} // namespace

class TestRandomOperator : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_sim;
    std::unique_ptr<OperatingCore> m_core;
    std::unique_ptr<ServiceModel> m_services;
    std::unique_ptr<MainWindow> m_window;
    QStringList m_messages, m_got, m_want; // m_got, m_want: lines at the controller
    QString m_stoppedAt;                   // what the controller reported on stopping
    std::array<bool, 8> m_on{};
    QList<QSize> m_pictures;

    template <typename T = QWidget> T* w(const QString& n) { return m_window->findChild<T*>(n); }
    QString text(const QString& name) { return w(name)->property("text").toString(); }
    // Only the controls of the tab shown can be clicked: the operator shows it first.
    void click(const QString& name, int tab, QPoint at = {}) {
        QTabBar* bar = w<TabControl>("tabs")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        QTest::mouseClick(w(name), Qt::LeftButton, {}, at);
    }
    // Waits on the event loop itself, woken by the port, the controller's output or a
    // timer, so a round trip to the controller costs no polling interval.
    bool until(const std::function<bool()>& done) {
        QTimer wake;
        wake.start(20);
        for (QDeadlineTimer deadline(5000); !done() && !deadline.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return done();
    }
    void act(std::mt19937& random);

  private slots:
    void initTestCase() {
        AppStyle::install();
        AppMessageBox::setRecorder(
            [this](const QString&, const QString& text) { m_messages << text; });
        QVERIFY(QDir::setCurrent(m_dir.path()));
        for (const char* name : {"world1.bmp", "world2.bmp", "world3.bmp"}) {
            QVERIFY(QFile::copy(QStringLiteral(AZIVEX_MAPS_DIR "/") + name, name));
            m_pictures << QImage(name).size();
        }
        QVERIFY(SettingsFile::replaceContents(SettingsCodec::fileName,
                                              SettingsCodec::fileText("3,9600,N,8,1:0-2/1"),
                                              SettingsCodec::marker));
        connect(&m_sim, &QProcess::readyReadStandardOutput, this, [this] {
            static const QRegularExpression stopped(QStringLiteral("^(stopped|still) at \\d+$"));
            while (m_sim.canReadLine()) {
                const QString line = QString::fromLatin1(m_sim.readLine().chopped(1));
                if (line.startsWith("cmd ") || line.startsWith("ignored "))
                    m_got << line;
                else if (line.contains(stopped))
                    m_stoppedAt = QString::number(line.section(u' ', -1).toInt() % 360);
            }
        });
        m_sim.start(AZIVEX_SIMCONTROLLER, {"--rate", "90", "--moving-interval", "20",
                                           "--still-interval", "60000", "COM3"});
        QTRY_VERIFY(QFileInfo(QStringLiteral("COM3")).isSymLink());
        m_core = std::make_unique<OperatingCore>();
        m_services = std::make_unique<ServiceModel>(m_core->store());
        m_window = std::make_unique<MainWindow>(*m_core, *m_services);
        QVERIFY(m_core->start());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QVERIFY(m_core->session().link().isOpen());
    }
    void cleanupTestCase() {
        m_window.reset();
        m_services.reset();
        m_core.reset();
        m_sim.terminate();
        m_sim.waitForFinished();
    }
    void randomActions() {
        const quint64 seed = env("AZIVEX_SEED", QRandomGenerator::global()->generate());
        const quint64 soak = env("AZIVEX_SOAK_SECONDS", 0),
                      actions = soak ? 0 : env("AZIVEX_ACTIONS", 1500);
        // The command that repeats a run of `count` actions, from the test's output alone.
        const auto repeat = [seed](quint64 count) {
            return QStringLiteral("QT_QPA_PLATFORM=offscreen AZIVEX_SEED=%1 AZIVEX_ACTIONS=%2 %3 "
                                  "randomActions")
                .arg(seed)
                .arg(count)
                .arg(QCoreApplication::applicationFilePath());
        };
        if (soak)
            qInfo("seed %llu (a failure prints the command that repeats it)", seed);
        else
            qInfo("seed %llu; repeat this run with: %s", seed, qPrintable(repeat(actions)));
        std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
        QElapsedTimer clock;
        clock.start();
        quint64 done = 0;
        const auto sample = [&] {
            // With the smallest picture, as the largest takes a megabyte more. Heap in use
            // tells a leak from memory the allocator keeps.
            click(QStringLiteral("pictureButton0"), 0);
            QCoreApplication::processEvents();
            const struct mallinfo2 heap = mallinfo2();
            qInfo("memory: actions=%llu seconds=%.1f rss_kib=%lld hwm_kib=%lld heap_kib=%zu", done,
                  clock.elapsed() / 1000.0, statusKiB("VmRSS"), statusKiB("VmHWM"),
                  (heap.uordblks + heap.hblkhd) / 1024);
        };
        for (qint64 next = 0; soak ? clock.elapsed() < qint64(soak) * 1000 : done < actions;
             ++done) {
            if (soak && clock.elapsed() >= next) {
                sample();
                next += qint64(env("AZIVEX_REPORT_SECONDS", 30)) * 1000;
            }
            act(random);
            if (QTest::currentTestFailed())
                return qWarning("seed %llu, action %llu failed; repeat it with: %s", seed,
                                done + 1, qPrintable(repeat(done + 1)));
        }
        if (soak)
            sample();
        qInfo("%llu actions in %.1f s", done, clock.elapsed() / 1000.0);
    }
};

void TestRandomOperator::act(std::mt19937& random) {
    const auto pick = [&random](qsizetype n) { return int(random() % n); };
    const bool open = m_core->session().link().isOpen();
    const int action = pick(14), n = pick(8) + 1, choice = pick(5);
    std::optional<QString> sent; // over an open link, this line reaches the controller
    m_stoppedAt.clear();
    if (action < 5) {
        click(buttons[action], 0);
        sent =
            action < 3 ? QStringList{"L", "A", "R"}[action] : Protocol::goTo(text("targetLabel"));
    } else if (action < 7) {
        click("mapView", 0, QPoint(pick(w("mapView")->width()), pick(w("mapView")->height())));
        sent = Protocol::goTo(text("targetLabel")); // every offset typed makes a target
    } else if (action == 7) {
        click(QStringLiteral("pictureButton%1").arg(choice), 0);
    } else if (action < 10) {
        const bool panel = action == 8 && w<QCheckBox>("showPanelCheck")->isChecked();
        click(QString::fromLatin1(panel ? "panelSwitchButton%1" : "switchButton%1").arg(n),
              panel ? 0 : 1);
        sent = Protocol::switchCommand(n, m_on[n - 1] = !m_on[n - 1]);
    } else if (action < 12) {
        // Emptied from code, then typed: select-and-type would keep every deleted
        // character in the box's undo history, which a soak would report as growth.
        const QString box = action == 10 ? "rawCommandEdit" : "offsetEdit";
        click(box, 1);
        w<QLineEdit>(box)->setText(QString());
        QTest::keyClicks(w(box), typed[action - 10][pick(typed[action - 10].size())]);
        if (action == 10) {
            click("sendRawButton", 1);
            sent = text(box);
        }
    } else {
        click(action == 12 ? "showPanelCheck" : "connectButton", 1,
              action == 12 ? QPoint(4, 8) : QPoint());
    }
    QCoreApplication::processEvents();
    // As the program's event loop does between events: processEvents() alone never
    // deletes what deleteLater() was given (the link's notifier at every close), which
    // would pile up here and nowhere else.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Every line the controller received is one this action sent over an open link:
    // known to the controller, unless typed or a go-to for a negative target.
    if (open && sent && !sent->isEmpty())
        m_want << (action != 10 && !sent->contains(u'-') ? "cmd " + *sent : *sent);
    QVERIFY(until([&] { return m_got.size() >= m_want.size(); }));
    for (qsizetype k = 0; k < m_got.size(); ++k)
        QVERIFY2(m_got[k] == m_want.value(k) || m_got[k].section(u' ', 1) == m_want.value(k),
                 qPrintable(m_got[k] + " received, expected " + m_want.value(k)));
    const bool stopped = m_want.contains("cmd A");
    m_got.clear();
    m_want.clear();
    // Once the controller has stopped, the heading shows what it reported then (the stop
    // button empties what the reply parser held; a typed "A" leaves it waiting there).
    if (stopped)
        QVERIFY2(
            until([&] { return !m_stoppedAt.isEmpty() && text("headingLabel") == m_stoppedAt; }),
            qPrintable(text("headingLabel") + " shown, stopped at " + m_stoppedAt));
    // A message only for a missing picture; the first picture takes its place.
    QCOMPARE(m_messages.size(), action == 7 && choice >= 3 ? 1 : 0);
    m_messages.clear();
    // The map shows the picture chosen, and the switch panel shows as the check box says
    // (where they go is the window test's).
    const int picture = w<QRadioButton>("pictureButton0")->group()->checkedId();
    QCOMPARE(w("mapView")->size() - QSize(2, 2) * MapView::frameWidth, m_pictures.value(picture));
    QCOMPARE(w("switchPanel")->isHidden(), !w<QCheckBox>("showPanelCheck")->isChecked());
    const bool connected = m_core->session().link().isOpen();
    // The controller is always there to connect to.
    QVERIFY(action != 13 ||
            (connected != open && text("statusLabel").endsWith(connected ? "True" : "False")));
    QCOMPARE(text("connectButton"), connected ? "切断" : "接続");
    for (int k = 1; k <= 8; ++k) { // a switch's two buttons agree, with each other and the clicks
        const auto* a = w<QPushButton>(QStringLiteral("switchButton%1").arg(k));
        const auto* b = w<QPushButton>(QStringLiteral("panelSwitchButton%1").arg(k));
        const QColor face = a->palette().color(QPalette::Button);
        QCOMPARE(a->text() + b->text(),
                 (m_on[k - 1] ? QStringLiteral("ON") : QStringLiteral("SW%1").arg(k)).repeated(2));
        QVERIFY(b->palette().color(QPalette::Button) == face &&
                (face == QColor(255, 192, 255)) == m_on[k - 1]);
    }
}

QTEST_MAIN(TestRandomOperator)
#include "tst_randomoperator.moc"
