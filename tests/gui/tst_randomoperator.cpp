// A randomized operator: thousands of random actions on the window against the
// simulated controller, with the window's invariants checked after every one.
//
//   AZIVEX_SEED=n           the seed (printed; default fixed), to repeat a run
//   AZIVEX_ACTIONS=n        how many actions (default a few thousand)
//   AZIVEX_SOAK_SECONDS=n   run for this long instead, whatever the count
//   AZIVEX_REPORT_SECONDS=n how often the soak reports its memory (default 30)

#include "fakemscomm.h"
#include "formharness.h"
#include "windowtexts.h"
#include "platform/comports.h"
#include "platform/settingsfile.h"
#include "pseudoterminal.h"
#include "ui/controls_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QTabBar>
#include <QTest>

#include <deque>
#include <random>

namespace {
using namespace WindowTexts;

const QColor switchOn(255, 192, 255);

QString missingUserPicture(int index) {
    return QStringLiteral(
               "「world%1.bmp」画像ファイルが有りませんので変更できませんでした。\r\n\r\n"
               "ユーザ作成ファイルに変更する場合はファイルを作成してください。")
        .arg(index + 1);
}

quint32 envNumber(const char* name, quint32 fallback) {
    bool ok = false;
    const quint32 v = qEnvironmentVariable(name).toUInt(&ok);
    return ok ? v : fallback;
}

constexpr quint32 defaultActions = 4000;
constexpr quint32 defaultSeed = 20240611;
// Picture sizes the run writes: world1 to world3 only, so 4 and 5 are missing.
constexpr int pictureSide[3] = {200, 300, 450};

// What the operator types. Mostly usable values, some that the window must refuse
// or pass on unchanged, some with the separators of the settings line in them.
const char* const text1Pool[] = {"3",   "3", "3",  "3",     "4",   "4",  "200", "",
                                 "abc", "0", "-1", "99999", "3.5", " 3", "3/",  "3:4"};
const char* const text2Pool[] = {"9600,N,8,1", "9600,N,8,1", "9600,N,8,1", "19200,N,8,1",
                                 "4800,n,8,2", "9600,E,7,1", "",           "x",
                                 "9600,N,8",   "9600:N,8,1", "9600,N,8,1/"};
const char* const text5Pool[] = {"0",    "0",   "10",   "-12",   "",  "0.5",
                                 "1000", "abc", "-400", "40000", "7", "3/"};
const char* const text3Pool[] = {"L",   "R", "A", "M090",   "M450", "Y11",
                                 "Y80", "",  " ", "AZ=123", "M-10"};

} // namespace

class TestRandomOperator : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanup();
    void randomActions();
    void switchingKeepsMemoryFlat();

  private:
    enum class Act {
        Rotate,
        Connect,
        MapClick,
        Picture,
        PanelSwitch,
        Tab,
        CheckBox,
        Register,
        SendRaw,
        PrimarySwitch,
        Type,
        PortChoice
    };
    struct Outcome {
        QString description;
        bool registers = false; // the settings are written by this action
        int userPicture = -1;   // a missing picture 4 or 5 was chosen
    };
    bool startSimulator(const QString& dir);
    Outcome act(std::mt19937& random);
    QString violation(const Outcome& outcome);
    QString windowDataLine() const;
    int checkedPicture() const;

    QString m_binary;
    std::unique_ptr<FormHarness> h;
    std::unique_ptr<QProcess> m_sim;
    std::unique_ptr<PseudoTerminal> m_silentPort; // COM4: a port that never answers
    QByteArray m_simOutputTail;
    std::array<bool, 8> m_switchOn{};
    QString m_storedLine;
    QSet<QString> m_azimuthsShown;
    QMap<QString, qint64> m_tally; // what the run did and saw, for its report
};

void TestRandomOperator::initTestCase() {
#ifdef AZIVEX_SIMCONTROLLER_PATH
    m_binary = QStringLiteral(AZIVEX_SIMCONTROLLER_PATH);
#else
    QSKIP("azivex-simcontroller is not part of this build");
#endif
    QVERIFY2(QFileInfo(m_binary).isExecutable(), qPrintable(m_binary));
    Form1::prepareApplication();
}

void TestRandomOperator::cleanup() {
    h.reset();
    if (m_sim && m_sim->state() != QProcess::NotRunning) {
        m_sim->terminate();
        if (!m_sim->waitForFinished(5000))
            m_sim->kill();
        m_sim->waitForFinished(5000);
    }
    m_sim.reset();
    m_silentPort.reset();
}

bool TestRandomOperator::startSimulator(const QString& dir) {
    m_sim = std::make_unique<QProcess>();
    m_sim->setProcessChannelMode(QProcess::MergedChannels);
    // Its log is not kept beyond a tail for diagnosis, so a long run stays flat.
    connect(m_sim.get(), &QProcess::readyReadStandardOutput, this, [this] {
        m_simOutputTail += m_sim->readAllStandardOutput();
        if (m_simOutputTail.size() > 8192)
            m_simOutputTail = m_simOutputTail.right(4096);
    });
    m_sim->start(m_binary, {QStringLiteral("--rate"), QStringLiteral("40"),
                            QStringLiteral("--moving-interval"), QStringLiteral("40"),
                            QStringLiteral("--still-interval"), QStringLiteral("150"),
                            QDir(dir).filePath(QStringLiteral("COM3"))});
    return m_sim->waitForStarted(5000);
}

int TestRandomOperator::checkedPicture() const {
    for (int i = 0; i < 5; ++i)
        if (h->form->Option1[static_cast<std::size_t>(i)]->isChecked())
            return i;
    return -1;
}

QString TestRandomOperator::windowDataLine() const {
    const Form1& f = *h->form;
    return SettingsCodec::registeredDataLine(
        f.Text1->text(), f.Text2->text(), f.Text5->text(), QString::number(checkedPicture()),
        f.Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

TestRandomOperator::Outcome TestRandomOperator::act(std::mt19937& random) {
    Form1& f = *h->form;
    const auto pick = [&random](int n) { return static_cast<int>(random() % unsigned(n)); };
    const auto click = [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); };
    const auto type = [&](QLineEdit* edit, const QString& text) {
        // Emptied from code, then typed: selecting and typing over would keep every
        // deleted character in the box's undo history, and at this pace that is
        // months of an operator's typing, which a soak would report as growth.
        edit->setText(QString());
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    };
    const auto randomText = [&] {
        QString s;
        const int n = pick(9);
        for (int i = 0; i < n; ++i)
            s += pick(12) == 0 ? QChar(0x30a2 + pick(40)) : QChar(0x20 + pick(95));
        return s;
    };

    // Only what the operator can see can be clicked: the controls of the tab shown.
    const bool operating = f.SSTab1->currentIndex() == 0;
    std::vector<Act> choices = {Act::Connect, Act::Tab, Act::Tab};
    if (operating) {
        choices.insert(choices.end(), {Act::Rotate, Act::Rotate, Act::Rotate, Act::MapClick,
                                       Act::MapClick, Act::MapClick, Act::Picture, Act::Picture});
        if (f.Frame4->isVisible())
            choices.insert(choices.end(), {Act::PanelSwitch, Act::PanelSwitch});
    } else {
        choices.insert(choices.end(), {Act::CheckBox, Act::Register, Act::SendRaw, Act::SendRaw,
                                       Act::PrimarySwitch, Act::PrimarySwitch, Act::Type, Act::Type,
                                       Act::Type, Act::Type, Act::PortChoice});
    }

    Outcome out;
    switch (choices[static_cast<std::size_t>(pick(int(choices.size())))]) {
    case Act::Rotate: {
        QPushButton* const b[] = {f.Command1, f.Command2, f.Command3, f.Command4, f.Command5};
        const int i = pick(5);
        click(b[i]);
        out.description = QStringLiteral("click Command%1").arg(i + 1);
        break;
    }
    case Act::Connect:
        click(f.Command6);
        out.description = QStringLiteral("click Command6");
        break;
    case Act::MapClick: {
        const QPoint p(pick(f.Picture1->width()), pick(f.Picture1->height()));
        QTest::mouseClick(f.Picture1, Qt::LeftButton, {}, p);
        out.description = QStringLiteral("click map at %1,%2").arg(p.x()).arg(p.y());
        break;
    }
    case Act::Picture: {
        const int i = pick(5);
        const int before = checkedPicture();
        click(f.Option1[static_cast<std::size_t>(i)]);
        out.registers = i != before;
        if (i >= 3 && i != before)
            out.userPicture = i;
        out.description = QStringLiteral("choose picture %1").arg(i);
        break;
    }
    case Act::PanelSwitch: {
        const int n = pick(8) + 1;
        click(f.panelSwitchButton(n));
        m_switchOn[static_cast<std::size_t>(n - 1)] = !m_switchOn[static_cast<std::size_t>(n - 1)];
        out.description = QStringLiteral("click panel switch %1").arg(n);
        break;
    }
    case Act::PrimarySwitch: {
        const int n = pick(8) + 1;
        click(f.primarySwitchButton(n));
        m_switchOn[static_cast<std::size_t>(n - 1)] = !m_switchOn[static_cast<std::size_t>(n - 1)];
        out.description = QStringLiteral("click switch %1").arg(n);
        break;
    }
    case Act::Tab: {
        const int tab = pick(2);
        QTabBar* bar = f.SSTab1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        out.description = QStringLiteral("click tab %1").arg(tab);
        break;
    }
    case Act::CheckBox:
        click(f.Check1);
        out.registers = true;
        out.description = QStringLiteral("click Check1");
        break;
    case Act::Register:
        click(f.Command8);
        out.registers = true;
        out.description = QStringLiteral("click Command8");
        break;
    case Act::SendRaw:
        click(f.Command9);
        out.description = QStringLiteral("click Command9 with \"%1\"").arg(f.Text3->text());
        break;
    case Act::Type: {
        const int box = pick(4);
        QLineEdit* const edits[] = {f.Text1, f.Text2, f.Text5, f.Text3};
        QString text;
        if (pick(8) == 0) {
            text = randomText();
        } else if (box == 0) {
            text = QString::fromLatin1(text1Pool[pick(std::size(text1Pool))]);
        } else if (box == 1) {
            text = QString::fromLatin1(text2Pool[pick(std::size(text2Pool))]);
        } else if (box == 2) {
            text = QString::fromLatin1(text5Pool[pick(std::size(text5Pool))]);
        } else {
            text = QString::fromLatin1(text3Pool[pick(std::size(text3Pool))]);
        }
        type(edits[box], text);
        const char* const names[] = {"Text1", "Text2", "Text5", "Text3"};
        out.description = QStringLiteral("type %1 \"%2\"").arg(names[box], text);
        break;
    }
    case Act::PortChoice: {
        // Only the ports of this run; the machine's own serial ports are left alone.
        std::vector<int> rows;
        for (int row = 0; row < f.Combo1->count(); ++row) {
            const std::optional<int> n = comNumberFromEntry(f.Combo1->itemText(row));
            if (n == 3 || n == 4)
                rows.push_back(row);
        }
        if (rows.empty()) {
            out.description = QStringLiteral("no port to choose");
            break;
        }
        const int row = rows[static_cast<std::size_t>(pick(int(rows.size())))];
        chooseComboEntry(f.Combo1, row);
        out.registers = true;
        out.description = QStringLiteral("choose port entry \"%1\"").arg(f.Combo1->itemText(row));
        break;
    }
    }
    return out;
}

// Empty when all is as it should be, else what is wrong.
QString TestRandomOperator::violation(const Outcome& outcome) {
    Form1& f = *h->form;
    if (f.programEnded() || !f.isVisible())
        return QStringLiteral("the program has ended");
    if (m_sim->state() != QProcess::Running)
        return QStringLiteral("the simulated controller has ended: ") +
               QString::fromLocal8Bit(m_simOutputTail.right(500));

    // The two buttons of every switch agree, with each other and with the clicks.
    const QColor face = QPalette().color(QPalette::Button);
    for (int n = 1; n <= 8; ++n) {
        QPushButton* p = f.primarySwitchButton(n);
        QPushButton* t = f.panelSwitchButton(n);
        const bool on = m_switchOn[static_cast<std::size_t>(n - 1)];
        const QString caption = on ? QStringLiteral("ON") : QStringLiteral("SW%1").arg(n);
        const QColor colour = on ? switchOn : face;
        if (p->text() != caption || t->text() != caption ||
            p->palette().color(QPalette::Button) != colour ||
            t->palette().color(QPalette::Button) != colour)
            return QStringLiteral(
                       "switch %1: buttons show \"%2\" %3 and \"%4\" %5, expected \"%6\" %7")
                .arg(n)
                .arg(p->text(), p->palette().color(QPalette::Button).name(), t->text(),
                     t->palette().color(QPalette::Button).name(), caption, colour.name());
    }

    const QString label1 = f.Label1->text();
    if (label1 != portTrue && label1 != portFalse && label1 != registeredText &&
        label1 != notRegisteredText && !label1.isEmpty())
        return QStringLiteral("Label1 shows \"%1\"").arg(label1);

    const bool open = f.MSComm1->PortOpen();
    if (f.Command6->text() != (open ? disconnectCaption : connectCaption))
        return QStringLiteral("Command6 reads \"%1\" while the port is %2")
            .arg(f.Command6->text(), open ? "open" : "closed");

    static const QRegularExpression azimuth(QStringLiteral("^(000|0|[1-9]\\d{0,2})$"));
    const QString shown = f.Label4->text();
    if (!azimuth.match(shown).hasMatch() || shown.toInt() >= 640)
        return QStringLiteral("Label4 shows \"%1\"").arg(shown);
    m_azimuthsShown.insert(shown);

    // The picture shown is the one chosen, and the window is sized for it and the
    // switch panel.
    const int chosen = checkedPicture();
    if (chosen < 0 || chosen > 2 || f.pictureNo != QString::number(chosen))
        return QStringLiteral("picture %1 chosen, pictureNo \"%2\"").arg(chosen).arg(f.pictureNo);
    const int side = pictureSide[chosen];
    if (f.Picture1->bitmap().size() != QSize(side, side))
        return QStringLiteral("picture %1 shows a bitmap of %2 x %3")
            .arg(chosen)
            .arg(f.Picture1->bitmap().width())
            .arg(f.Picture1->bitmap().height());
    const int inner = side * 15;
    const int outer = inner + 60;
    const bool panel = f.Check1->isChecked();
    const int windowHeight = panel ? outer + 3000 : inner + 2195;
    const int tabHeight = panel ? outer + 1950 : inner + 1235;
    if (f.Frame4->isHidden() == panel || f.windowHeightTwips() != windowHeight ||
        f.tabHeightTwips() != tabHeight || f.windowWidthTwips() != outer + 400 ||
        f.tabWidthTwips() != outer + 160 || f.command6LeftTwips() != outer - 350 ||
        (panel && f.frame4TopTwips() != outer + 1110))
        return QStringLiteral("layout for picture %1, panel %2: window %3 x %4, tab %5 x %6, "
                              "Command6 at %7, panel at %8")
            .arg(chosen)
            .arg(panel)
            .arg(f.windowWidthTwips())
            .arg(f.windowHeightTwips())
            .arg(f.tabWidthTwips())
            .arg(f.tabHeightTwips())
            .arg(f.command6LeftTwips())
            .arg(f.frame4TopTwips());

    // Messages: only the missing user pictures, and only when one was chosen.
    const QList<Message> messages = h->messages;
    h->messages.clear();
    if (outcome.userPicture >= 0) {
        if (messages.size() != 1 || messages[0].title != QStringLiteral("AZIVEX") ||
            messages[0].text != missingUserPicture(outcome.userPicture))
            return QStringLiteral("%1 messages after choosing a missing picture; first: %2")
                .arg(messages.size())
                .arg(messages.value(0).text);
    } else if (!messages.isEmpty()) {
        return QStringLiteral("unexpected message: ") + messages[0].text;
    }

    // The settings file holds what was last registered, and it reads back to what
    // the window showed then.
    ++m_tally[open ? QStringLiteral("(port open)") : QStringLiteral("(port closed)")];
    if (outcome.registers) {
        ++m_tally[QStringLiteral("(registrations)")];
        if (label1 != registeredText)
            return QStringLiteral("a registration left \"%1\" in Label1").arg(label1);
        if (f.Text5->text().isEmpty())
            return QStringLiteral("a registration left the offset empty");
        m_storedLine = windowDataLine();
    }
    const QByteArray bytes = h->settingsBytes();
    if (bytes != SettingsCodec::fileText(m_storedLine))
        return QStringLiteral("the settings file holds \"%1\", expected \"%2\"")
            .arg(QString::fromUtf8(bytes.left(200)), m_storedLine);
    if (outcome.registers) {
        const SettingsFile::FirstLine first =
            SettingsFile::readFirstLine(h->path(SettingsCodec::fileName));
        const ExtractedFields read = SettingsCodec::extract(SettingsCodec::decodeLine(first.bytes));
        // Separators typed into a box shift the fields; the file then holds what was
        // typed, byte for byte, which the check above has seen.
        static const QRegularExpression separators(QStringLiteral("[,:/]"));
        static const QRegularExpression lineSeparators(QStringLiteral("[:/]"));
        const bool clean = !f.Text1->text().contains(separators) &&
                           !f.Text2->text().contains(lineSeparators) &&
                           !f.Text5->text().contains(lineSeparators);
        if (clean && (read.portNo != f.Text1->text() || read.lineSettings != f.Text2->text() ||
                      read.offset != f.Text5->text() || read.pictureNo != f.pictureNo ||
                      read.controlPosition != (panel ? QStringLiteral("1") : QStringLiteral("0"))))
            return QStringLiteral("the data line \"%1\" does not read back").arg(m_storedLine);
    }
    return QString();
}

void TestRandomOperator::randomActions() {
    const quint32 seed = envNumber("AZIVEX_SEED", defaultSeed);
    const quint32 soakSeconds = envNumber("AZIVEX_SOAK_SECONDS", 0);
    const quint32 actions = soakSeconds ? 0 : envNumber("AZIVEX_ACTIONS", defaultActions);
    const quint32 reportSeconds = envNumber("AZIVEX_REPORT_SECONDS", 30);
    if (soakSeconds)
        qInfo("seed %u (AZIVEX_SEED repeats it), running for %u s", seed, soakSeconds);
    else
        qInfo("seed %u (AZIVEX_SEED repeats it), %u actions", seed, actions);

    h = std::make_unique<FormHarness>();
    h->writeStandardPictures();
    m_storedLine = QStringLiteral("3,9600,N,8,1:0-0/0");
    h->writeSettings(m_storedLine);
    m_silentPort = std::make_unique<PseudoTerminal>();
    QVERIFY(m_silentPort->linkAs(h->dir(), 4));
    QVERIFY(startSimulator(h->dir()));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(h->path(QStringLiteral("COM3"))).isSymLink(), 10000);
    Form1& f = h->start();
    QVERIFY(f.MSComm1->PortOpen());
    QVERIFY(h->messages.isEmpty());
    m_azimuthsShown = {f.Label4->text()};

    std::mt19937 random(seed);
    std::deque<QString> recent;
    QElapsedTimer clock;
    clock.start();
    qint64 nextReportMs = 0;
    const auto report = [&](quint64 done) {
        // Heap in use tells a leak from memory the allocator keeps for reuse.
        qInfo("memory: actions=%llu seconds=%.1f rss_kib=%lld hwm_kib=%lld heap_kib=%lld",
              static_cast<unsigned long long>(done), double(clock.elapsed()) / 1000,
              static_cast<long long>(residentKiB()), static_cast<long long>(peakResidentKiB()),
              static_cast<long long>(heapInUseKiB()));
    };
    quint64 done = 0;
    for (;; ++done) {
        if (soakSeconds ? clock.elapsed() >= qint64(soakSeconds) * 1000 : done >= actions)
            break;
        if (clock.elapsed() >= nextReportMs) {
            report(done);
            nextReportMs += qint64(reportSeconds) * 1000;
        }
        const Outcome outcome = act(random);
        ++m_tally[outcome.description.section(u' ', 0, 1)];
        // Let the controller's replies and the link's notices in.
        QCoreApplication::processEvents();
        m_silentPort->clearReceived();
        recent.push_back(outcome.description);
        if (recent.size() > 12)
            recent.pop_front();
        const QString wrong = violation(outcome);
        if (!wrong.isEmpty()) {
            QStringList last(recent.begin(), recent.end());
            QFAIL(qPrintable(QStringLiteral("seed %1, action %2: %3\nlast actions:\n  %4")
                                 .arg(seed)
                                 .arg(done + 1)
                                 .arg(wrong, last.join(QStringLiteral("\n  ")))));
        }
    }
    report(done);
    qInfo("%llu actions in %.1f s, %lld different azimuths shown",
          static_cast<unsigned long long>(done), double(clock.elapsed()) / 1000,
          static_cast<long long>(m_azimuthsShown.size()));
    QStringList tally;
    for (auto it = m_tally.cbegin(); it != m_tally.cend(); ++it)
        tally << QStringLiteral("%1: %2").arg(it.key()).arg(it.value());
    qInfo("%s", qPrintable(tally.join(QStringLiteral(", "))));
    qInfo("last data line registered: %s", qPrintable(m_storedLine));
    // The run turned the antenna and saw it turn.
    QVERIFY(m_azimuthsShown.size() > 2);
}

void TestRandomOperator::switchingKeepsMemoryFlat() {
    // Every change of a switch's colour gives its two buttons new palettes. Showing
    // them must not leave something behind for each palette ever painted, or a
    // window left running for months grows without end.
    FormHarness harness;
    harness.writeStandardPictures();
    harness.writeSettings(QStringLiteral("3,9600,N,8,1:0-0/1"));
    Form1& f = harness.start(std::make_unique<FakeMSComm>());
    f.SSTab1->setCurrentIndex(1);
    const auto toggle = [&f](int times) {
        for (int i = 0; i < times; ++i) {
            const int n = i % 8 + 1;
            QTest::mouseClick(f.primarySwitchButton(n), Qt::LeftButton);
            f.primarySwitchButton(n)->grab();
            f.panelSwitchButton(n)->grab();
        }
    };
    toggle(4000); // caches fill up to their limits
    const qint64 before = heapInUseKiB();
    toggle(16000);
    const qint64 growth = heapInUseKiB() - before;
    qInfo("heap in use grew by %lld KiB over 16000 switch changes", static_cast<long long>(growth));
#if !defined(__SANITIZE_ADDRESS__) // its allocator does not report through mallinfo2
    QVERIFY2(growth < 512, qPrintable(QStringLiteral("%1 KiB").arg(growth)));
#endif
}

QTEST_MAIN(TestRandomOperator)
#include "tst_randomoperator.moc"
