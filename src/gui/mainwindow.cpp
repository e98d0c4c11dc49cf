// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/mainwindow.h"

#include "core/session/geometry.h"
#include "core/application/layout.h"
#include "core/session/rotatorsession.h"
#include "core/links/serialports.h"
#include "core/text/textnumber.h"
#include "core/settings/userfolder.h"
#include "gui/appstyle.h"
#include "gui/icons.h"
#include "gui/mapview.h"
#include "gui/messagebox.h"
#include "core/diagnostics/logging.h"
#include "core/settings/picturefile.h"
#include "gui/servicesdialog.h"
#include "gui/tabcontrol.h"
#include "gui/targetdialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QShortcut>
#include <cmath>
#include <cstdio>

namespace {

using AppStyle::fixedGothic;

using AppStyle::proportionalGothic;

// Shared by several controls; translated where they are set.
const char* const switchTip =
    QT_TRANSLATE_NOOP("MainWindow", "環境設定と連動しています。コントローラの遠隔スイッチをＯＮ・ＯＦＦします。");
const char* const panelSwitchTip =
    QT_TRANSLATE_NOOP("MainWindow", "環境設定と連動しています。遠隔スイッチをＯＮ・ＯＦＦします。");
const QColor switchOnColour(255, 192, 255);
const char* const statusLineTip =
    QT_TRANSLATE_NOOP("MainWindow", "ポートの接続状態等のメッセージを表示します。");
const char* const headingTip =
    QT_TRANSLATE_NOOP("MainWindow", "コントローラーから送られてきた角度を表示します。");
const char* const silentStatus = QT_TRANSLATE_NOOP("MainWindow", "コントローラが応答しません");

QString switchCaption(int number, bool on) {
    return on ? QStringLiteral("ON") : QStringLiteral("SW%1").arg(number);
}

// A palette whose every colour counts as set, so the tab control does not inherit
// the window's dark blue.
QPalette fullyResolved(const QPalette& source) {
    QPalette out;
    for (int g = 0; g < QPalette::NColorGroups; ++g)
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto group = static_cast<QPalette::ColorGroup>(g);
            const auto role = static_cast<QPalette::ColorRole>(r);
            out.setColor(group, role, source.color(group, role));
        }
    return out;
}

template <typename W> W* withName(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

void placeAt(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(Twips::rect(left, top, width, height));
}

void setColours(QWidget* w, const QColor& back, const QColor& text = QColor()) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, back);
    pal.setColor(QPalette::Button, back);
    pal.setColor(QPalette::Base, back);
    if (text.isValid()) {
        pal.setColor(QPalette::WindowText, text);
        pal.setColor(QPalette::ButtonText, text);
        pal.setColor(QPalette::Text, text);
    }
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int l, int t, int w,
                  int h) {
    auto* lab = withName(new QLabel(caption, parent), name);
    lab->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeAt(lab, l, t, w, h);
    return lab;
}

// A fixed caption drawn in a wider font than it was laid out for grows to the right
// as far as its container allows, rather than being cut off.
void fitCaption(QLabel* lab) {
    const int room = lab->parentWidget()->width() - lab->x() - 2;
    const int wanted = lab->fontMetrics().horizontalAdvance(lab->text().trimmed()) + 2;
    if (wanted > lab->width())
        lab->resize(std::min(wanted, std::max(room, lab->width())), lab->height());
}

// Whether the window shows a translation of its designed Japanese texts.
bool translated() {
    return MainWindow::tr("環境設定") != QStringLiteral("環境設定");
}

// Whether a label's text, drawn in font at the top or the bottom of its box, leaves
// every pixel of its letters inside it; the raster puts the baseline on a whole pixel.
bool inkFits(const QLabel* lab, const QFont& font, Qt::Alignment vertical) {
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(lab->text().trimmed());
    const qreal room = lab->contentsRect().height();
    const qreal dpr = lab->devicePixelRatioF();
    const qreal baseline =
        std::round((vertical == Qt::AlignBottom ? room - metrics.descent() : metrics.ascent()) * dpr) /
        dpr;
    return baseline + ink.top() >= 0 && baseline + ink.bottom() <= room;
}

// A translated caption in a font taller than its box loses the bottom of its letters
// (the p of "Map"): the designed boxes were drawn for Japanese, which is kept as
// designed. It sits at the bottom of its box instead, moving up into the room its line
// keeps above the letters, and where that is not enough it takes a smaller font.
void fitCaptionHeight(QLabel* lab) {
    QFont font = lab->font();
    if (!translated() || lab->text().trimmed().isEmpty() || inkFits(lab, font, Qt::AlignTop))
        return;
    while (!inkFits(lab, font, Qt::AlignBottom) && font.pointSizeF() > 5)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    lab->setFont(font);
    lab->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int l, int t,
                        int w, int h) {
    auto* b = withName(new QPushButton(caption, parent), name);
    placeAt(b, l, t, w, h);
    return b;
}

QLineEdit* makeTextBox(QWidget* parent, const char* name, const QString& text, int l, int t, int w,
                       int h) {
    auto* e = withName(new QLineEdit(text, parent), name);
    placeAt(e, l, t, w, h);
    return e;
}

QGroupBox* makeFrame(QWidget* parent, const char* name, const QString& caption, int l, int t, int w,
                     int h) {
    auto* f = withName(new QGroupBox(caption, parent), name);
    placeAt(f, l, t, w, h);
    return f;
}

// Drawn for ordinary screens and for those with two pixels a point; the icon picks
// the drawing by the screen, so neither is an enlargement.
QIcon rotationIcon(Icons::Rotation kind) {
    QIcon icon;
    for (const qreal scale : {1.0, 2.0})
        icon.addPixmap(QPixmap::fromImage(Icons::rotation(kind, scale)));
    return icon;
}

} // namespace

MainWindow::MainWindow(OperatingCore& core, ServiceModel& services, QWidget* parent)
    : QWidget(parent), m_core(core), m_services(services), m_session(&core.session()) {
    createControls();
    bindControls();
    // Asking the system for its serial ports takes longer than building the whole
    // window; the list sits on the settings tab, so it is filled once the window
    // is up.
    QMetaObject::invokeMethod(this, &MainWindow::listSerialPorts, Qt::QueuedConnection);
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls() {
    setWindowTitle(QStringLiteral("AZIVEX"));
    QIcon icon(QPixmap::fromImage(Icons::window()));
    icon.addPixmap(QPixmap::fromImage(Icons::window(96)));
    setWindowIcon(icon);
    setFont(AppStyle::font(proportionalGothic, 9));
    const QPalette standard = palette();
    // Two palettes shared by all sixteen switch buttons: a switch changes palette,
    // never makes a new one.
    m_switchOffPalette = standard;
    m_switchOnPalette = standard;
    m_switchOnPalette.setColor(QPalette::Button, switchOnColour);
    setColours(this, QColor(0, 0, 192));
    // Design-time client area.
    resize(Twips::toPixels(3240), Twips::toPixels(4725));

    createHeader();
    m_tabs = withName(new TabControl(this), "tabs");
    m_tabs->setPalette(fullyResolved(standard));
    m_tabs->setAutoFillBackground(true);
    placeAt(m_tabs, 30, 480, 3165, 4215);
    createOperatingTab(m_tabs->addTab(tr("ＡＺX")));
    createSettingsTab(m_tabs->addTab(tr("環境設定")));

    for (QLabel* caption :
         {m_columnHeadings, m_versionLabel, m_portListCaption, m_targetCaption, m_pictureCaption})
    {
        fitCaption(caption);
        fitCaptionHeight(caption);
    }
    // The settings tab is the selected one when the window is created.
    m_tabs->setCurrentIndex(1);
}

void MainWindow::createHeader() {
    // Empty until the start-up writes its first status, before the window is shown.
    m_statusLabel = makeLabel(this, "statusLabel", QString(), 120, 30, 2985, 195);
    setColours(m_statusLabel, QColor(0, 0, 192), QColor(255, 255, 128));
    m_statusLabel->setFont(AppStyle::font(proportionalGothic, 9.75));
    m_statusLabel->setToolTip(tr(statusLineTip));

    m_targetCaption =
        makeLabel(this, "targetCaption", tr("設定角度 = "), 90, 270, 975, 165);
    setColours(m_targetCaption, QColor(0, 0, 192), QColor(255, 255, 255));
    m_targetCaption->setFont(AppStyle::font(proportionalGothic, 8.25));

    m_targetLabel = makeLabel(this, "targetLabel", QString(), 1200, 240, 1095, 195);
    setColours(m_targetLabel, QColor(0, 0, 192), QColor(255, 255, 128));
    m_targetLabel->setFont(AppStyle::font(proportionalGothic, 9.75));

    m_connectButton =
        makeButton(this, "connectButton", tr("接続"), 2640, 150, 585, 285);
    setColours(m_connectButton, QColor(255, 255, 192));
    m_connectButton->setToolTip(tr(
        "Connection and cutting are performed. 　接続・切断を行います。（ドグルスイッチ）"));
}

void MainWindow::createOperatingTab(QWidget* tab) {
    m_ccwButton = makeButton(tab, "ccwButton", QString(), 90, 360, 645, 465);
    m_ccwButton->setFont(AppStyle::font(proportionalGothic, 11.25, true));
    m_ccwButton->setToolTip(tr(" (CCW).左へ回転します。 \r\n"));
    m_ccwButton->setIcon(rotationIcon(Icons::Rotation::CounterClockwise));
    m_stopButton = makeButton(tab, "stopButton", QString(), 750, 360, 645, 465);
    m_stopButton->setToolTip(tr("回転をストップします。"));
    m_stopButton->setIcon(rotationIcon(Icons::Rotation::Stop));
    m_cwButton = makeButton(tab, "cwButton", QString(), 1410, 360, 645, 465);
    m_cwButton->setFont(AppStyle::font(proportionalGothic, 12, true));
    m_cwButton->setToolTip(tr("(CW). 右へ回転します。 \r\n"));
    m_cwButton->setIcon(rotationIcon(Icons::Rotation::Clockwise));
    for (QPushButton* b : {m_ccwButton, m_stopButton, m_cwButton}) {
        setColours(b, QColor(192, 255, 192));
        b->setIconSize(QSize(32, 32));
    }

    m_headingLabel = makeLabel(tab, "headingLabel", QStringLiteral("000"), 2130, 390, 945, 435);
    setColours(m_headingLabel, QColor(255, 192, 255), QColor(0, 0, 255));
    m_headingLabel->setFont(AppStyle::font(fixedGothic, 18, true));
    m_headingLabel->setToolTip(tr(headingTip));
    // The turn past the first, small at the number's right, only while the antenna
    // stands in the overlap: the number itself stays the bearing.
    m_overlapMark = new QLabel(m_headingLabel);
    m_overlapMark->setFont(AppStyle::font(proportionalGothic, 7, true));
    m_overlapMark->setAlignment(Qt::AlignRight | Qt::AlignTop);
    // Clear of the widest number, three digits.
    const int markLeft = m_headingLabel->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 1;
    m_overlapMark->setGeometry(markLeft, 2, m_headingLabel->width() - markLeft - 1,
                               m_overlapMark->fontMetrics().height());
    m_overlapMark->hide();

    m_stepCcwButton = makeButton(tab, "stepCcwButton", QStringLiteral("-10"), 450, 870, 615, 210);
    m_stepCcwButton->setToolTip(
        tr("最終コマンドの角度から１５度左（ＣＣＷ）へ回転させます。"));
    m_stepCwButton = makeButton(tab, "stepCwButton", QStringLiteral("+10"), 1080, 870, 585, 210);
    m_stepCwButton->setToolTip(
        tr("最終コマンドの角度に１０度右（ＣＷ）へ回転させます。"));
    for (QPushButton* b : {m_stepCcwButton, m_stepCwButton})
        setColours(b, QColor(224, 224, 224));

    m_pictureCaption =
        makeLabel(tab, "pictureCaption", tr("画像"), 1770, 900, 405, 165);
    m_pictureCaption->setToolTip(tr(
        "画像を選択します。　左から画像番号WORLD*.BMP(＊＝１・２・３・４・５)を読み込みます。"));
    const int optionLeft[5] = {2160, 2310, 2490, 2670, 2850};
    const QString optionTip[5] = {
        tr("画像１：　標準のミニ画面を表示します。使用ファイルは「world1.bmp」"),
        tr("画像２：　中画面を表示します。使用ファイルは「world2.bmp」"),
        tr("画像３：　大きい画面を表示します。使用ファイルは「world3.bmp」"),
        tr("画像４：　オプションで選択した画像が使用できます。使用する画像の名前を"
                       "オプションで選択してください。使用ファイルは「world4.bmp」"),
        tr("画像５：　オプションで選択した画像が使用できます。使用する画像の名前を"
                       "オプションで選択してください。使用ファイルは「world5.bmp」"),
    };
    m_pictureButtons = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        // Only the round mark shows; a screen reader names the picture.
        auto* button = new QRadioButton(tab);
        button->setAccessibleName(optionTip[i].section(QRegularExpression(QStringLiteral("[:：]")), 0, 0));
        button->setObjectName(QStringLiteral("pictureButton%1").arg(i));
        placeAt(button, optionLeft[i], 900, 195, 180);
        button->setToolTip(optionTip[i]);
        m_pictureButtons->addButton(button, i);
    }

    m_mapView = withName(new MapView(tab), "mapView");
    m_mapView->move(Twips::toPixels(60), Twips::toPixels(1110));
    m_mapView->setToolTip(tr("地図クリックでローテータをコントロールします。"));

    m_switchPanel =
        makeFrame(tab, "switchPanel", tr("ﾛｰﾃｰﾀｰｵﾌﾟｼｮﾝ ｽｲｯﾁ"), 90, 3360, 3015, 765);
    m_switchPanel->setToolTip(tr(panelSwitchTip));
    m_panelSwitchGroup = new QButtonGroup(this);
    m_panelSwitchGroup->setExclusive(false);
    const int panelLeft[4] = {60, 780, 1500, 2220};
    for (int i = 0; i < 8; ++i) {
        QPushButton* b = makeButton(m_switchPanel, "", switchCaption(i + 1, false),
                                    panelLeft[i % 4], i < 4 ? 180 : 450, 705, 255);
        b->setObjectName(QStringLiteral("panelSwitchButton%1").arg(i + 1));
        b->setToolTip(tr(panelSwitchTip));
        m_panelSwitchButtons[static_cast<std::size_t>(i)] = b;
        m_panelSwitchGroup->addButton(b, i + 1);
    }
}

void MainWindow::createSettingsTab(QWidget* tab) {
    m_settingsGroup =
        makeFrame(tab, "settingsGroup", tr("環境設定"), 90, 390, 3015, 2025);
    m_rawCommandGroup = makeFrame(tab, "rawCommandGroup", tr("ローテーター設定等"), 90,
                                  2520, 3015, 705);
    m_switchGroup =
        makeFrame(tab, "switchGroup", tr("ﾛｰﾃｰﾀｰｵﾌﾟｼｮﾝ ｽｲｯﾁ"), 90, 3300, 3015, 855);
    m_switchGroup->setToolTip(tr(switchTip));

    QGroupBox* g = m_settingsGroup;
    m_versionLabel =
        makeLabel(g, "versionLabel", QStringLiteral("Ver 20130823"), 1770, 150, 1125, 165);
    m_portListCaption =
        makeLabel(g, "portListCaption", tr("ｺﾑﾎﾟｰﾄ設定"), 90, 540, 975, 165);
    m_portList = withName(new QComboBox(g), "portList");
    m_portList->setEditable(true);
    m_portList->setInsertPolicy(QComboBox::NoInsert);
    m_portList->setEditText(tr("ポート選択"));
    placeAt(m_portList, 1140, 480, 1815, 285);
    setColours(m_portList, QColor(192, 255, 255));
    m_portList->setFont(AppStyle::font(proportionalGothic, 8.25));
    m_portList->setToolTip(tr("コムポートを選択すれば「Port No」欄に番号が書き込まれ"
                                          "ます。　設定後は再起動してください。"));
    m_columnHeadings =
        makeLabel(g, "columnHeadings", tr("ﾎﾟｰﾄ番号　　ﾎﾞｰﾚｲﾄ等　  　　ｵﾌｾｯﾄ\r\n"), 120,
                  900, 2835, 195);

    m_portEdit = makeTextBox(g, "portEdit", QStringLiteral("3"), 210, 1170, 495, 285);
    m_portEdit->setFont(AppStyle::font(proportionalGothic, 9.75, true));
    m_portEdit->setToolTip(
        tr("上の有効ポートよりコントローラの接続されているポートを選択してください。"));
    m_lineSettingsEdit =
        makeTextBox(g, "lineSettingsEdit", QStringLiteral("9600,N,8,1"), 780, 1170, 1455, 285);
    m_lineSettingsEdit->setFont(AppStyle::font(proportionalGothic, 9.75));
    m_lineSettingsEdit->setToolTip(tr("(通常は変更不要です。)ボーレイト，パリティ，"
                                                  "ビット，ストップビットを記入します。"));
    m_offsetEdit = makeTextBox(g, "offsetEdit", QStringLiteral("0"), 2310, 1170, 615, 270);
    m_offsetEdit->setToolTip(tr(
        "オフセット値（プラス・マイナスの数字）を入れた数値が目的の角度に加算されたものが設定"
        "角度としてコントロールされます。"));
    for (QLineEdit* e : {m_portEdit, m_lineSettingsEdit, m_offsetEdit}) {
        e->setAlignment(Qt::AlignCenter);
        setColours(e, QColor(192, 255, 192));
    }

    m_registerButton =
        makeButton(g, "registerButton", tr("環境登録"), 1560, 1530, 1365, 345);
    setColours(m_registerButton, QColor(128, 255, 128));
    m_registerButton->setFont(AppStyle::font(proportionalGothic, 9.75));
    m_registerButton->setToolTip(tr(
        "環境設定変更実施内容を登録します。ボーレイト変更以外は各コマンド設定時に自動登録します"
        "ので通常は不要です。"));

    m_showPanelCheck = withName(new QCheckBox(tr("ｽｲｯﾁ表示"), g), "showPanelCheck");
    placeAt(m_showPanelCheck, 240, 1590, 1155, 255);
    setColours(m_showPanelCheck, QColor(192, 192, 255), QColor(0, 0, 192));
    m_showPanelCheck->setToolTip(
        tr("レ＝ＡＺＸ画面にスイッチを表示します。　□＝表示しません"));

    m_rawCommandEdit =
        makeTextBox(m_rawCommandGroup, "rawCommandEdit", QString(), 90, 300, 1425, 270);
    m_rawCommandEdit->setFont(AppStyle::font(fixedGothic, 9.75, true));
    setColours(m_rawCommandEdit, QColor(255, 255, 192));
    m_rawCommandEdit->setToolTip(tr(
        "コントローラへコマンドを送信します。コマント゛のみを入力して「データ転送」ボタンで実行"
        "してください。　★ [Enter] は入力不要"));
    m_sendRawButton = makeButton(m_rawCommandGroup, "sendRawButton", tr("ﾃﾞｰﾀ送信"),
                                 1680, 240, 1155, 285);
    setColours(m_sendRawButton, QColor(255, 255, 192));
    m_sendRawButton->setToolTip(tr("コントローラへテキストのﾃﾞｰﾀを送信します。"));

    m_switchButtonGroup = new QButtonGroup(this);
    m_switchButtonGroup->setExclusive(false);
    const int left[4] = {30, 750, 1470, 2190};
    for (int i = 0; i < 8; ++i) {
        QPushButton* b = makeButton(m_switchGroup, "", switchCaption(i + 1, false), left[i % 4],
                                    i < 4 ? 210 : 510, 705, 285);
        b->setObjectName(QStringLiteral("switchButton%1").arg(i + 1));
        b->setToolTip(tr(switchTip));
        m_switchButtons[static_cast<std::size_t>(i)] = b;
        m_switchButtonGroup->addButton(b, i + 1);
    }
}

void MainWindow::bindControls() {
    RotatorSession* s = m_session;
    connect(m_ccwButton, &QPushButton::clicked, s, &RotatorSession::turnCcw);
    connect(m_stopButton, &QPushButton::clicked, s, &RotatorSession::stop);
    connect(m_cwButton, &QPushButton::clicked, s, &RotatorSession::turnCw);
    connect(m_stepCwButton, &QPushButton::clicked, s, &RotatorSession::stepCw);
    connect(m_stepCcwButton, &QPushButton::clicked, s, &RotatorSession::stepCcw);
    connect(m_connectButton, &QPushButton::clicked, s, &RotatorSession::toggleConnection);
    connect(m_registerButton, &QPushButton::clicked, this, &MainWindow::registerSettings);
    connect(m_sendRawButton, &QPushButton::clicked, this, &MainWindow::sendRawCommand);
    connect(m_rawCommandEdit, &QLineEdit::returnPressed, this, &MainWindow::sendRawCommand);
    // A switch is toggled from either of its two buttons.
    for (QButtonGroup* group : {m_switchButtonGroup, m_panelSwitchGroup})
        connect(group, &QButtonGroup::idClicked, s, &RotatorSession::toggleSwitch);
    connect(m_showPanelCheck, &QCheckBox::toggled, this, &MainWindow::switchPanelToggled);
    connect(m_portList, &QComboBox::activated, this, &MainWindow::choosePort);
    connect(m_pictureButtons, &QButtonGroup::idToggled, this, [this](int index, bool on) {
        if (on)
            choosePicture(index);
    });
    connect(m_tabs, &TabControl::currentChanged, s, &RotatorSession::reportPortState);
    connect(m_mapView, &MapView::clicked, this, [this](int x, int y) { aimAtClick(x, y, false); });
    connect(m_mapView, &MapView::longPathClicked, this,
            [this](int x, int y) { aimAtClick(x, y, true); });
    connect(m_offsetEdit, &QLineEdit::textChanged, s, &RotatorSession::setOffset);

    connect(s, &RotatorSession::headingChanged, this, &MainWindow::showHeading);
    connect(s, &RotatorSession::positionChanged, this, &MainWindow::showHeading);
    connect(s, &RotatorSession::rangeChanged, this, &MainWindow::showHeading);
    connect(s, &RotatorSession::answeringChanged, this, &MainWindow::showAnswering);
    connect(s, &RotatorSession::commandFailed, this, &MainWindow::showStatus);
    connect(s, &RotatorSession::commandedChanged, this, [this](const QString& commanded) {
        m_targetLabel->setText(commanded);
        // The map follows the target at once, not only at the next reply.
        m_mapView->update();
    });
    connect(s, &RotatorSession::switchChanged, this, &MainWindow::showSwitch);
    // Why the port did not open shows under the status line's own tip, until it opens.
    connect(s, &RotatorSession::openRefused, this, [this](const QString& reason) {
        m_statusLabel->setToolTip(tr(statusLineTip) + u'\n' + reason);
    });
    connect(s, &RotatorSession::openChanged, this, [this](bool open) {
        if (open)
            m_statusLabel->setToolTip(tr(statusLineTip));
    });
    connect(s, &RotatorSession::portStateReported, this, &MainWindow::showPortState);
    connect(s, &RotatorSession::disconnectOfferChanged, this, &MainWindow::showDisconnectOffer);
    connect(s, &RotatorSession::portClosedNotice, this, &MainWindow::showPortClosed);
    connect(&m_core, &OperatingCore::statusChanged, this, &MainWindow::showStatus);
    connect(&m_core, &OperatingCore::messageRequested, this, [](const QString& text) {
        AppMessageBox::show(nullptr, QStringLiteral("AZIVEX"), text);
    });
    connect(&m_core, &OperatingCore::pageWanted, this, [this](OperatingCore::Page page) {
        m_tabs->setCurrentIndex(page == OperatingCore::Page::Operating ? 0 : 1);
    });
    connect(&m_core, &OperatingCore::settingsShown, this, &MainWindow::showSettings);
    connect(&m_core, &OperatingCore::started, this, &MainWindow::showStarted);
    // Beyond the designed controls: a menu on the window's background.
    auto* services = new QAction(tr("接続サービス..."), this);
    services->setObjectName(QStringLiteral("servicesAction"));
    services->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(services, &QAction::triggered, this, &MainWindow::openServices);
    auto* target = new QAction(tr("目標..."), this);
    target->setObjectName(QStringLiteral("targetAction"));
    target->setShortcut(QKeySequence(Qt::Key_T));
    connect(target, &QAction::triggered, this, &MainWindow::openTarget);
    // Keys for the rotation buttons; a text box with the focus takes these keys
    // itself, so typing never turns the antenna.
    const std::pair<QKeySequence, QPushButton*> keys[] = {
        {Qt::Key_Left, m_ccwButton}, {Qt::Key_S, m_stopButton},      {Qt::Key_Escape, m_stopButton},
        {Qt::Key_Right, m_cwButton}, {Qt::Key_Minus, m_stepCcwButton}, {Qt::Key_Plus, m_stepCwButton}};
    for (const auto& [key, button] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, button, &QPushButton::click);
    }
    // The park and the presets, one key each.
    connect(new QShortcut(Qt::Key_P, this), &QShortcut::activated, this,
            [this] { m_session->park(); });
    for (int n = 1; n <= Aiming::presetCount; ++n)
        connect(new QShortcut(Qt::Key_0 + n, this), &QShortcut::activated, this,
                [this, n] { m_core.aiming().aimAtPreset(n); });
    addActions({target, services});
    setContextMenuPolicy(Qt::ActionsContextMenu);
    // Every mouse button aims on the map; no menu comes up there.
    m_mapView->setContextMenuPolicy(Qt::PreventContextMenu);
    connect(&m_core.aiming(), &Aiming::lastPlaceChanged, m_mapView, qOverload<>(&QWidget::update));
    m_mapView->setMarksSource([this] {
        MapMarks marks{m_session->heading(), m_session->commanded(), m_session->offset(),
                       m_headingLineWidth, m_session->headingKnown(), targetPlaceMark(),
                       m_session->range()};
        return marks;
    });
}

void MainWindow::listSerialPorts() {
    // The list keeps showing its caption until the operator chooses an entry.
    const QString caption = m_portList->currentText();
    m_portList->addItems(listPresentPorts());
    m_portList->setCurrentIndex(-1);
    m_portList->setEditText(caption);
}

void MainWindow::showSettings(const Settings& settings) {
    m_portEdit->setText(settings.portNo);
    m_lineSettingsEdit->setText(settings.lineSettings);
    m_offsetEdit->setText(settings.offset);
}

// The window as the settings read at start have it: the switch panel and the
// picture, neither of them registered again.
void MainWindow::showStarted() {
    const Settings& settings = m_core.settings();
    if (settings.controlPosition == QStringLiteral("1")) {
        const QSignalBlocker quiet(m_showPanelCheck);
        m_showPanelCheck->setChecked(true);
    }
    layoutSwitchPanel();
    const double n = numericValue(settings.pictureNo);
    if (QAbstractButton* option = m_pictureButtons->button(n >= 0 && n < 5 ? int(n) : -1)) {
        const QSignalBlocker quiet(m_pictureButtons);
        option->setChecked(true);
        selectMapPicture(int(n), Registering::No);
    }
}

void MainWindow::registerSettings() {
    Settings entered = m_core.settings();
    entered.portNo = m_portEdit->text();
    entered.lineSettings = m_lineSettingsEdit->text();
    entered.offset = m_offsetEdit->text();
    entered.controlPosition =
        m_showPanelCheck->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    m_core.registerSettings(entered);
}

void MainWindow::choosePort(int row) {
    // The number comes from the entry's trailing "(COMn)", so a device whose own
    // name holds "COM" cannot put a non-number into the port box.
    const std::optional<int> number = comNumberFromEntry(m_portList->itemText(row));
    if (!number)
        return;
    m_portEdit->setText(QString::number(*number));
    // A long entry would show its end; its start names the device.
    m_portList->lineEdit()->setCursorPosition(0);
    registerSettings();
}

void MainWindow::choosePicture(int index) {
    selectMapPicture(index, Registering::Yes);
}

void MainWindow::selectMapPicture(int index, Registering registering) {
    setWindowHeightTwips(WindowLayout::baseWindowHeight);
    setWindowWidthTwips(WindowLayout::baseWindowWidth);
    setTabHeightTwips(WindowLayout::baseTabHeight);
    setTabWidthTwips(WindowLayout::baseTabWidth);
    m_core.setPictureNumber(index);

    const QString name = PictureFile::fileName(index);
    if (!PictureFile::find(name).isEmpty()) {
        loadPicture(name);
    } else {
        const bool standard = index <= 2;
        AppMessageBox::show(
            this, QStringLiteral("AZIVEX"),
            tr("「%1」画像ファイルが有りませんので変更できませんでした。\r\n\r\n").arg(name) +
                (standard ? missingStandardPictureNote(name)
                          : tr("ユーザ作成ファイルに変更する場合はファイルを作成して"
                                           "ください。")));
        if (!standard) {
            // The whole selection of picture 1, as if its button had been pressed.
            const QSignalBlocker quiet(m_pictureButtons);
            m_pictureButtons->button(0)->setChecked(true);
            selectMapPicture(0, registering);
            return;
        }
        if (index != 0)
            loadPicture(PictureFile::fileName(0));
    }
    fitToPicture();
    if (registering == Registering::Yes)
        registerSettings();
    layoutSwitchPanel();
    m_mapView->update();
}

// The designed words for a missing standard picture promise it with an upgrade; the
// pictures come with the program, so standard error, and a translated window in place
// of those words, say where pictures are read from and where the standard ones are.
QString MainWindow::missingStandardPictureNote(const QString& name) const {
    const QString standard = m_core.standardPicturesFolder();
    const QString where = standard.isEmpty()
                              ? UserFolder::standardPicturesCandidates().join(QStringLiteral(", "))
                              : standard;
    qCWarning(lcMaps).noquote() << QStringLiteral("%1 is not in the working folder %2; standard pictures: %3")
                                       .arg(name, QDir::currentPath(), where);
    if (!translated())
        return tr("バージョンアップで取り込むことができます。");
    return tr("画像は作業フォルダ %1 から読み込みます。標準の画像を探す場所: %2")
        .arg(QDir::currentPath(), where);
}

void MainWindow::switchPanelToggled() {
    if (m_showPanelCheck->isChecked()) {
        layoutSwitchPanel();
    } else {
        m_switchPanel->hide();
        if (m_pictureButtons->checkedId() >= 0)
            selectMapPicture(m_pictureButtons->checkedId(), Registering::Yes);
    }
    registerSettings();
}

// The place looked up, where the picture shown is centred on the station.
std::optional<MapMarks::Place> MainWindow::targetPlaceMark() const {
    const std::optional<TargetBearings> place = m_core.aiming().lastPlace();
    const std::optional<GeoPoint> centre = m_core.pictureCentre(m_pictureButtons->checkedId());
    const GeoPoint station = m_core.aiming().station().point;
    // Closer than a pixel of the largest picture (some 90 km) counts as centred.
    if (!place || !centre || std::abs(centre->lat - station.lat) > 0.25 ||
        std::abs(centre->lon - station.lon) > 0.25)
        return std::nullopt;
    const double circuit = *place->shortKm + *place->longKm;
    return MapMarks::Place{place->shortPath, circuit > 0 ? 2 * *place->shortKm / circuit : 0};
}

void MainWindow::openTarget() {
    if (!m_targetDialog) {
        m_targetDialog = new TargetDialog(m_core, this);
        connect(m_targetDialog, &TargetDialog::stationPicturesDrawn, this, [this] {
            if (m_pictureButtons->checkedId() == 3)
                choosePicture(3); // drawn anew: shown anew
            else
                m_pictureButtons->button(3)->setChecked(true);
        });
        // Beside the window, so the map stays in sight.
        m_targetDialog->move(frameGeometry().topRight() + QPoint(8, 0));
    }
    m_targetDialog->show();
    m_targetDialog->raise();
    m_targetDialog->activateWindow();
    m_targetDialog->focusTarget();
}

void MainWindow::openServices() {
    ServicesDialog dialog(m_core, m_services, this);
    dialog.exec();
}

void MainWindow::showStatus(const QString& message) {
    // Each message fits anew, from the line's own font.
    m_statusLabel->setFont(AppStyle::font(proportionalGothic, 9.75));
    m_statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_statusLabel->setText(message);
    fitCaptionHeight(m_statusLabel);
}

void MainWindow::showHeading() {
    const RotatorSession& s = *m_session;
    // Silent after it has reported: the last number would pass for where it stands.
    m_headingLabel->setText(s.headingReported() && !s.headingKnown() ? QStringLiteral("---")
                                                                      : s.heading());
    const std::optional<double> position = s.position();
    // A silent controller has no position.
    const bool overlap = position && s.range().inOverlap(*position);
    QString tip = tr(headingTip);
    if (overlap) {
        const QString where = tr("オーバーラップ内: コントローラの位置 %1°").arg(*position, 0, 'g', 15);
        const double turn = *position - RotationRange::bearingOf(*position);
        m_overlapMark->setText(QString::asprintf("%+.0f", turn));
        m_overlapMark->setToolTip(where);
        tip += u'\n' + where;
    }
    m_overlapMark->setVisible(overlap);
    m_headingLabel->setToolTip(tip);
    m_mapView->update();
}

void MainWindow::showAnswering(bool answering) {
    showHeading();
    if (!answering) {
        m_statusBeforeSilence = m_statusLabel->text();
        showStatus(tr(silentStatus));
    } else if (m_statusLabel->text() == tr(silentStatus)) {
        showStatus(m_statusBeforeSilence);
    }
}

void MainWindow::showPortState(bool open) {
    showStatus(tr("ﾎﾟｰﾄ = ") + (open ? QStringLiteral("True") : QStringLiteral("False")));
}

void MainWindow::showDisconnectOffer(bool offered) {
    m_connectButton->setText(offered ? tr("切断") : tr("接続"));
}

void MainWindow::showPortClosed() {
    showPortState(false);
    showDisconnectOffer(false);
}

void MainWindow::showSwitch(int number, bool on) {
    const QPalette& palette = on ? m_switchOnPalette : m_switchOffPalette;
    for (QPushButton* b : {m_switchButtons.at(static_cast<std::size_t>(number - 1)),
                           m_panelSwitchButtons.at(static_cast<std::size_t>(number - 1))}) {
        b->setText(switchCaption(number, on));
        b->setPalette(palette);
    }
}

void MainWindow::aimAtClick(int x, int y, bool longPath) {
    showStatus(QString());
    // The click position is already relative to the map's outer rectangle.
    if (const std::optional<double> degrees =
            MapGeometry::clickDegrees(x, y, 0, 0, m_mapView->width(), m_mapView->height()))
        m_session->aimAt(longPath ? std::fmod(*degrees + 180, 360) : *degrees,
                         RotatorSession::Turn::AsClicked);
}

void MainWindow::sendRawCommand() {
    m_session->sendRaw(m_rawCommandEdit->text());
}
