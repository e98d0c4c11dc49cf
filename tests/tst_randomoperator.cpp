// A randomized operator: random actions through the real window's controls against
// the simulated controller, with the window's invariants checked after each one.
//
//   AZIVEX_SEED=n            repeats a run (the seed is printed; random otherwise)
//   AZIVEX_ACTIONS=n         actions of a short run (default 1500)
//   AZIVEX_SOAK_SECONDS=n    runs for this long instead, with memory samples
//   AZIVEX_REPORT_SECONDS=n  interval of those samples (default 30)
#include "core/geometry.h"
#include "core/layout.h"
#include "core/protocol.h"
#include "core/rotatorsession.h"
#include "core/settingsfile.h"
#include "gui/appstyle.h"
#include "gui/mainwindow.h"
#include "gui/mapview.h"
#include "gui/messagebox.h"
#include "gui/tabcontrol.h"
#include "pseudoterminal.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <malloc.h>
#include <random>

namespace {
quint64 envNumber(const char* name, quint64 fallback) {
    bool ok = false;
    const quint64 v = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? v : fallback;
}
long long statusKiB(const char* key) { // "VmRSS:", "VmHWM:"
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).simplified().split(' ').value(0).toLongLong();
    return -1;
}
// How the controller's log shows a received line: bytes outside printable ASCII as \xNN.
QString logged(const QString& line) {
    QString out;
    for (const char c : line.toUtf8())
        out += c >= 0x20 && c < 0x7f && c != '\\'
                   ? QString(QLatin1Char(c))
                   : QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    return out;
}
// Mostly usable values, some the window must refuse or pass on unchanged.
const char* const raws[] = {"L",   "R", "A", "M090",   "M450", "Y11",
                            "Y80", "",  " ", "AZ=123", "x\\y", "ｱﾝﾃﾅ"};
const char* const offsets[] = {"0",   "0",    "10",   "-12",   "",    "0.5",
                               "abc", "-400", "1000", "40000", "&H10"};
const char* const ports[] = {"3", "3", "3", "4", "x", ""};
const char* const lines[] = {"9600,N,8,1", "9600,N,8,1", "19200,n,8,1", "9600,E,7,1", "x", ""};
} // namespace

class TestRandomOperator : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_sim;
    PseudoTerminal m_com4; // a port nobody answers on
    std::unique_ptr<MainWindow> m_window;
    QStringList m_messages, m_got, m_want, m_recent; // m_got/m_want: lines at the controller
    QByteArray m_simOutput, m_com4Want;
    QString m_stoppedAt; // what the controller reported on stopping
    std::array<bool, 8> m_on{};
    QList<QSize> m_pictures;
    QSize m_largest;

    template <typename T = QWidget> T* w(const QString& name) {
        T* found = m_window->findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    QString text(const QString& name) {
        if (auto* l = m_window->findChild<QLabel*>(name))
            return l->text();
        if (auto* e = m_window->findChild<QLineEdit*>(name))
            return e->text();
        return w<QAbstractButton>(name)->text();
    }
    void click(const QString& name) { QTest::mouseClick(w(name), Qt::LeftButton); }
    void showTab(int tab) {
        QTabBar* bar = w<TabControl>(QStringLiteral("tabs"))->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
    }
    // Emptied from code, then typed: select-and-type would keep every deleted
    // character in the box's undo history, which a soak would report as growth.
    void type(const QString& name, const QString& text) {
        w<QLineEdit>(name)->setText(QString());
        for (const QChar c : text) // keyClicks() takes Latin-1 only
            QTest::sendKeyEvent(QTest::Click, w(name), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    int checkedPicture() {
        for (int i = 0; i < 5; ++i)
            if (w<QRadioButton>(QStringLiteral("pictureButton%1").arg(i))->isChecked())
                return i;
        return -1;
    }
    void simOutput() {
        m_simOutput += m_sim.readAllStandardOutput();
        static const QRegularExpression stopped(QStringLiteral("^(?:stopped|still) at (\\d{3})$"));
        for (qsizetype end; (end = m_simOutput.indexOf('\n')) >= 0;
             m_simOutput.remove(0, end + 1)) {
            const QString line = QString::fromLocal8Bit(m_simOutput.left(end));
            if (line.startsWith(QLatin1String("cmd ")) ||
                line.startsWith(QLatin1String("ignored ")))
                m_got << line;
            else if (const auto m = stopped.match(line); m.hasMatch())
                m_stoppedAt = QString::number(m.captured(1).toInt() % 360);
        }
    }
    // Waits on the event loop itself, woken by the ports, the controller's output or a
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
        for (int i = 1; i <= 3; ++i) {
            const QString name = QStringLiteral("world%1.bmp").arg(i);
            QVERIFY(QFile::copy(QStringLiteral(AZIVEX_MAPS_DIR "/") + name, name));
            const QSize s = QImage(name).size(),
                        outer = s + 2 * QSize(MapView::frameWidth, MapView::frameWidth);
            m_pictures << s;
            const WindowLayout l = WindowLayout::forPicture(Twips::fromPixels(s.height()),
                                                            Twips::fromPixels(outer.width()));
            const int panel = l.withPanel(Twips::fromPixels(outer.height())).windowHeight;
            m_largest = m_largest.expandedTo(
                QSize(Twips::toPixels(l.windowWidth) - Twips::frameWidth,
                      Twips::toPixels(std::max(panel, l.windowHeight)) - Twips::frameHeight));
        }
        QFile settings(SettingsCodec::fileName);
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(SettingsCodec::fileText(QStringLiteral("3,9600,N,8,1:0-0/1")));
        settings.close();
        QVERIFY(m_com4.linkAs(m_dir.path(), 4));
        connect(&m_sim, &QProcess::readyReadStandardOutput, this, &TestRandomOperator::simOutput);
        m_sim.start(QStringLiteral(AZIVEX_SIMCONTROLLER),
                    {"--rate", "90", "--moving-interval", "20", "--still-interval", "200",
                     m_dir.filePath("COM3")});
        QTRY_VERIFY(QFileInfo(m_dir.filePath("COM3")).isSymLink());
        m_window = std::make_unique<MainWindow>();
        QVERIFY(m_window->start());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QVERIFY(m_window->session().link().isOpen());
    }
    void cleanupTestCase() {
        m_window.reset();
        m_sim.terminate();
        m_sim.waitForFinished();
    }
    void randomActions() {
        const quint64 seed = envNumber("AZIVEX_SEED", QRandomGenerator::global()->generate());
        const quint64 soak = envNumber("AZIVEX_SOAK_SECONDS", 0),
                      report = envNumber("AZIVEX_REPORT_SECONDS", 30);
        const quint64 actions = soak ? 0 : envNumber("AZIVEX_ACTIONS", 1500);
        qInfo("seed %llu (AZIVEX_SEED=%llu repeats this run)", seed, seed);
        std::mt19937 random(static_cast<std::mt19937::result_type>(seed));
        QElapsedTimer clock;
        clock.start();
        quint64 done = 0;
        qint64 nextSample = 0;
        const auto sample = [&] {
            // Heap in use tells a leak from memory the allocator keeps for reuse.
            const struct mallinfo2 heap = mallinfo2();
            qInfo("memory: actions=%llu seconds=%.1f rss_kib=%lld hwm_kib=%lld heap_kib=%llu", done,
                  clock.elapsed() / 1000.0, statusKiB("VmRSS:"), statusKiB("VmHWM:"),
                  static_cast<unsigned long long>((heap.uordblks + heap.hblkhd) / 1024));
        };
        QSet<QString> headings;
        while (soak ? clock.elapsed() < qint64(soak) * 1000 : done < actions) {
            if (soak && clock.elapsed() >= nextSample) {
                sample();
                nextSample += qint64(report) * 1000;
            }
            act(random);
            ++done;
            if (QTest::currentTestFailed())
                return qWarning("seed %llu, action %llu; last actions: %s", seed, done,
                                qPrintable(m_recent.join(", ")));
            headings.insert(text(QStringLiteral("headingLabel")));
        }
        if (soak)
            sample();
        qInfo("%llu actions in %.1f s, %lld different azimuths shown", done,
              clock.elapsed() / 1000.0, qint64(headings.size()));
        QVERIFY(headings.size() > 2); // the antenna turned and the window saw it
    }
};

void TestRandomOperator::act(std::mt19937& random) {
    const auto pick = [&random](std::size_t n) { return int(random() % n); };
    const RotatorLink& link = m_window->session().link();
    const bool open = link.isOpen(), toSim = link.portNumber() == 3;
    const int picture = checkedPicture(), action = pick(17);
    std::optional<QString> sent; // the line this action sends over an open link
    bool known = true, registers = false, missing = false;
    m_stoppedAt.clear();
    if (action < 3) {
        showTab(0);
        click(QStringList{"ccwButton", "stopButton", "cwButton"}[action]);
        sent = QStringList{Protocol::turnCcw, Protocol::stop, Protocol::turnCw}[action];
    } else if (action < 5) {
        showTab(0);
        click(action == 3 ? "stepCcwButton" : "stepCwButton");
        sent = Protocol::goTo(text("targetLabel"));
    } else if (action < 7) {
        showTab(0);
        auto* map = w<MapView>("mapView");
        const QPoint at(pick(map->width()), pick(map->height()));
        const QString before = text("targetLabel");
        QTest::mouseClick(map, Qt::LeftButton, {}, at);
        const auto target = MapGeometry::aimTarget(
            MapGeometry::clickDegrees(at.x(), at.y(), 0, 0, map->width(), map->height()).value(),
            text("offsetEdit"));
        // A target that cannot be formed is neither shown nor sent.
        QCOMPARE(text("targetLabel"), target ? QString::number(*target) : before);
        sent = target ? Protocol::goTo(text("targetLabel")) : std::nullopt;
    } else if (action == 7) {
        showTab(0);
        const int i = pick(5);
        QTest::mouseClick(w(QStringLiteral("pictureButton%1").arg(i)), Qt::LeftButton);
        registers = i != picture;
        missing = registers && i >= 3;
    } else if (action < 10) {
        const bool panel = action == 8 && w<QCheckBox>("showPanelCheck")->isChecked();
        const int n = pick(8) + 1;
        showTab(panel ? 0 : 1);
        click(QString::fromLatin1(panel ? "panelSwitchButton%1" : "switchButton%1").arg(n));
        m_on[n - 1] = !m_on[n - 1];
        sent = Protocol::switchCommand(n, m_on[n - 1]);
    } else if (action == 10) {
        showTab(1);
        type("rawCommandEdit", QString::fromUtf8(raws[pick(std::size(raws))]));
        click("sendRawButton");
        sent = text("rawCommandEdit");
        known = false;
    } else if (action < 14) {
        showTab(1);
        const char* const* pool[] = {offsets, ports, lines};
        const std::size_t size[] = {std::size(offsets), std::size(ports), std::size(lines)};
        type(QStringList{"offsetEdit", "portEdit", "lineSettingsEdit"}[action - 11],
             pool[action - 11][pick(size[action - 11])]);
    } else if (action == 14) {
        showTab(1);
        click("registerButton");
        registers = true;
    } else if (action == 15) {
        showTab(1);
        QTest::mouseClick(w("showPanelCheck"), Qt::LeftButton, {},
                          QPoint(4, w("showPanelCheck")->height() / 2));
        registers = true;
    } else {
        click("connectButton");
    }
    m_recent << QStringLiteral("%1 (%2)").arg(action).arg(sent.value_or("-"));
    if (m_recent.size() > 10)
        m_recent.removeFirst();
    QCoreApplication::processEvents();

    // Every line reaching the controller is one this action sent over an open link; the
    // controller knows it unless typed, or a go-to for a negative target.
    if (open && sent && toSim && !sent->isEmpty())
        m_want << (known && !sent->contains(u'-') ? QStringLiteral("cmd ") : QStringLiteral("? ")) +
                      logged(*sent);
    if (open && sent && !toSim)
        m_com4Want += Protocol::frame(*sent);
    QVERIFY(until([&] {
        return m_got.size() >= m_want.size() && m_com4.received().size() >= m_com4Want.size();
    }));
    for (qsizetype i = 0; i < m_got.size(); ++i) {
        const QString want = m_want.value(i, QStringLiteral("(nothing)"));
        QVERIFY2(
            m_got[i] == want || (want.startsWith(u'?') && (m_got[i] == "cmd" + want.mid(1) ||
                                                           m_got[i] == "ignored" + want.mid(1))),
            qPrintable(
                QStringLiteral("controller logged \"%1\", expected \"%2\"").arg(m_got[i], want)));
    }
    QCOMPARE(m_com4.received(), m_com4Want);
    const bool stopped =
        m_want.contains(QStringLiteral("cmd A")) || m_want.contains(QStringLiteral("? A"));
    m_got.clear();
    m_want.clear();
    m_com4.clearReceived();
    m_com4Want.clear();
    // Once the controller has stopped, the heading shows what it reported then.
    if (stopped) {
        QVERIFY2(
            until([&] { return text("headingLabel") == m_stoppedAt && !m_stoppedAt.isEmpty(); }),
            qPrintable(text("headingLabel") + " shown, stopped at " + m_stoppedAt));
    }
    static const QRegularExpression heading(QStringLiteral("^(000|0|[1-9]\\d{0,2})$"));
    QVERIFY2(heading.match(text("headingLabel")).hasMatch() && text("headingLabel").toInt() < 360,
             qPrintable(text("headingLabel")));

    // A message only for a missing picture; the first picture then takes its place.
    QCOMPARE(m_messages.size(), missing ? 1 : 0);
    m_messages.clear();
    const int shown = checkedPicture();
    QVERIFY(shown >= 0 && shown < 3);
    QCOMPARE(w<MapView>("mapView")->bitmap().size(), m_pictures[shown]);
    QVERIFY2(m_window->width() <= m_largest.width() && m_window->height() <= m_largest.height(),
             qPrintable(QStringLiteral("%1 x %2").arg(m_window->width()).arg(m_window->height())));
    QCOMPARE(text("connectButton"),
             m_window->session().link().isOpen() ? QStringLiteral("切断") : QStringLiteral("接続"));
    for (int n = 1; n <= 8; ++n) {
        auto* a = w<QPushButton>(QStringLiteral("switchButton%1").arg(n));
        auto* b = w<QPushButton>(QStringLiteral("panelSwitchButton%1").arg(n));
        const QColor face = a->palette().color(QPalette::Button);
        QCOMPARE(a->text(), m_on[n - 1] ? QStringLiteral("ON") : QStringLiteral("SW%1").arg(n));
        QCOMPARE(b->text(), a->text());
        QCOMPARE(b->palette().color(QPalette::Button), face);
        QCOMPARE(face == QColor(255, 192, 255), m_on[n - 1]);
    }
    // What was registered reads back from the file as the boxes show it.
    if (registers) {
        QCOMPARE(text("statusLabel"), QStringLiteral("環境ファイルに登録完了"));
        const SettingsFields f = SettingsCodec::extract(
            SettingsCodec::decodeLine(SettingsFile::readFirstLine(SettingsCodec::fileName).bytes));
        const QStringList stored{f.portNo.value_or("?"), f.lineSettings.value_or("?"),
                                 f.offset.value_or("?"), f.pictureNo.value_or("?"),
                                 f.controlPosition.value_or("?")};
        QCOMPARE(stored, (QStringList{text("portEdit"), text("lineSettingsEdit"),
                                      text("offsetEdit"), QString::number(shown),
                                      w<QCheckBox>("showPanelCheck")->isChecked() ? "1" : "0"}));
    }
}

QTEST_MAIN(TestRandomOperator)
#include "tst_randomoperator.moc"
