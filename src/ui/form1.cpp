#include "ui/form1.h"

#include "platform/mscomm.h"
#include "platform/serialmscomm.h"
#include "ui/controls_widgets.h"
#include "ui/icons.h"
#include "ui/twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmapCache>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>

namespace {

const QString pGothic = QStringLiteral("ＭＳ Ｐゴシック");
const QString gothic = QStringLiteral("ＭＳ ゴシック");

const QString mainSwitchTip = QStringLiteral(
    "環境設定と連動しています。コントローラの遠隔スイッチをＯＮ・ＯＦＦします。");
const QString panelSwitchTip =
    QStringLiteral("環境設定と連動しています。遠隔スイッチをＯＮ・ＯＦＦします。");

QFont makeFont(const QString& family, double points, bool bold = false) {
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
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

void place(QWidget* w, int left, int top, int width, int height) {
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

QLabel* label(QWidget* parent, const QString& caption, int l, int t, int w, int h) {
    auto* lab = new QLabel(caption, parent);
    lab->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(lab, l, t, w, h);
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

QPushButton* button(QWidget* parent, const QString& caption, int l, int t, int w, int h) {
    auto* b = new QPushButton(caption, parent);
    place(b, l, t, w, h);
    return b;
}

QLineEdit* textBox(QWidget* parent, const QString& text, int l, int t, int w, int h) {
    auto* e = new QLineEdit(text, parent);
    e->setFrame(true);
    place(e, l, t, w, h);
    return e;
}

QGroupBox* frame(QWidget* parent, const QString& caption, int l, int t, int w, int h) {
    auto* f = new QGroupBox(caption, parent);
    place(f, l, t, w, h);
    return f;
}

} // namespace

void Form1::prepareApplication() {
    // The window names the Japanese system fonts; map them to the installed IPA
    // Gothic family so the names stay as designed.
    QFont::insertSubstitutions(pGothic, {QStringLiteral("IPAPGothic"),
                                         QStringLiteral("IPA Pゴシック"),
                                         QStringLiteral("Noto Sans CJK JP")});
    QFont::insertSubstitutions(gothic, {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                                        QStringLiteral("Noto Sans Mono CJK JP")});
    // Fusion paints buttons in their palette colour, which the switch buttons need.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    // The style caches painted buttons by a name that holds the palette, and this Qt
    // never forgets a name once its picture is dropped; every colour change of a
    // switch button gives a new palette, so the names would pile up for as long as
    // the window runs. The window is small enough to paint without that cache.
    QPixmapCache::setCacheLimit(0);
}

Form1::Form1(std::unique_ptr<MSComm> port, QWidget* parent)
    : QWidget(parent), m_port(port ? std::move(port) : std::make_unique<SerialMSComm>()) {
    MSComm1 = m_port.get();
    createControls();
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::createControls() {
    setWindowTitle(QStringLiteral("AZIVEX"));
    setWindowIcon(QIcon(QPixmap::fromImage(Icons::window())));
    setFont(makeFont(pGothic, 9));
    const QPalette standard = palette();
    setColours(this, QColor(0, 0, 192));
    // Design-time client area.
    resize(Twips::toPixels(3240), Twips::toPixels(4725));
    m_windowHeightTwips = 4725 + Twips::fromPixels(Twips::frameHeight);
    m_windowWidthTwips = 3240 + Twips::fromPixels(Twips::frameWidth);

    // Header, directly on the window.
    Label1 = label(this, QStringLiteral("Label1"), 120, 30, 2985, 195);
    setColours(Label1, QColor(0, 0, 192), QColor(255, 255, 128));
    Label1->setFont(makeFont(pGothic, 9.75));
    Label1->setToolTip(QStringLiteral("ポートの接続状態等のメッセージを表示します。"));

    Label2[5] = label(this, QStringLiteral("設定角度 = "), 90, 270, 975, 165);
    setColours(Label2[5], QColor(0, 0, 192), QColor(255, 255, 255));
    Label2[5]->setFont(makeFont(pGothic, 8.25));

    Label5 = label(this, QString(), 1200, 240, 1095, 195);
    setColours(Label5, QColor(0, 0, 192), QColor(255, 255, 128));
    Label5->setFont(makeFont(pGothic, 9.75));

    Command6 = button(this, QStringLiteral("接続"), 2640, 150, 585, 285);
    setColours(Command6, QColor(255, 255, 192));
    Command6->setToolTip(QStringLiteral(
        "Connection and cutting are performed. 　接続・切断を行います。（ドグルスイッチ）"));

    SSTab1 = new TabControl(this);
    SSTab1->setPalette(fullyResolved(standard));
    SSTab1->setAutoFillBackground(true);
    place(SSTab1, 30, 480, 3165, 4215);
    m_tabHeightTwips = 4215;
    m_tabWidthTwips = 3165;
    QWidget* tab0 = SSTab1->addTab(QStringLiteral("ＡＺX"));
    QWidget* tab1 = SSTab1->addTab(QStringLiteral("環境設定"));

    // Tab 0: operating controls.
    Command1 = button(tab0, QString(), 90, 360, 645, 465);
    Command1->setFont(makeFont(pGothic, 11.25, true));
    Command1->setToolTip(QStringLiteral(" (CCW).左へ回転します。 \r\n"));
    Command1->setIcon(QIcon(QPixmap::fromImage(Icons::rotation(Icons::Rotation::CounterClockwise))));
    Command2 = button(tab0, QString(), 750, 360, 645, 465);
    Command2->setToolTip(QStringLiteral("回転をストップします。"));
    Command2->setIcon(QIcon(QPixmap::fromImage(Icons::rotation(Icons::Rotation::Stop))));
    Command3 = button(tab0, QString(), 1410, 360, 645, 465);
    Command3->setFont(makeFont(pGothic, 12, true));
    Command3->setToolTip(QStringLiteral("(CW). 右へ回転します。 \r\n"));
    Command3->setIcon(QIcon(QPixmap::fromImage(Icons::rotation(Icons::Rotation::Clockwise))));
    for (QPushButton* b : {Command1, Command2, Command3}) {
        setColours(b, QColor(192, 255, 192));
        b->setIconSize(QSize(32, 32));
    }

    Label4 = label(tab0, QStringLiteral("000"), 2130, 390, 945, 435);
    setColours(Label4, QColor(255, 192, 255), QColor(0, 0, 255));
    Label4->setFont(makeFont(gothic, 18, true));
    Label4->setAlignment(Qt::AlignCenter);
    Label4->setToolTip(QStringLiteral("コントローラーから送られてきた角度を表示します。"));

    Command5 = button(tab0, QStringLiteral("-10"), 450, 870, 615, 210);
    setColours(Command5, QColor(224, 224, 224));
    Command5->setToolTip(
        QStringLiteral("最終コマンドの角度から１５度左（ＣＣＷ）へ回転させます。"));
    Command4 = button(tab0, QStringLiteral("+10"), 1080, 870, 585, 210);
    setColours(Command4, QColor(224, 224, 224));
    Command4->setToolTip(QStringLiteral("最終コマンドの角度に１０度右（ＣＷ）へ回転させます。"));

    Label6 = label(tab0, QStringLiteral("画像"), 1770, 900, 405, 165);
    Label6->setToolTip(QStringLiteral("画像を選択します。　左から画像番号WORLD*.BMP(＊＝１・２・"
                                      "３・４・５)を読み込みます。"));
    const int optionLeft[5] = {2160, 2310, 2490, 2670, 2850};
    const QString optionTip[5] = {
        QStringLiteral("画像１：　標準のミニ画面を表示します。使用ファイルは「world1.bmp」"),
        QStringLiteral("画像２：　中画面を表示します。使用ファイルは「world2.bmp」"),
        QStringLiteral("画像３：　大きい画面を表示します。使用ファイルは「world3.bmp」"),
        QStringLiteral("画像４：　オプションで選択した画像が使用できます。使用する画像の名前を"
                       "オプションで選択してください。使用ファイルは「world4.bmp」"),
        QStringLiteral("画像５：　オプションで選択した画像が使用できます。使用する画像の名前を"
                       "オプションで選択してください。使用ファイルは「world5.bmp」"),
    };
    for (int i = 0; i < 5; ++i) {
        auto* o = new QRadioButton(QStringLiteral("Option1"), tab0);
        place(o, optionLeft[i], 900, 195, 180);
        o->setToolTip(optionTip[i]);
        Option1[static_cast<std::size_t>(i)] = o;
    }

    Picture1 = new MapPicture(tab0);
    Picture1->move(Twips::toPixels(60), Twips::toPixels(1110));
    Picture1->setBitmap(Icons::placeholderMap());
    Picture1->setToolTip(QStringLiteral("地図クリックでローテータをコントロールします。"));

    Frame4 = frame(tab0, QStringLiteral("ﾛｰﾃｰﾀｰｵﾌﾟｼｮﾝ ｽｲｯﾁ"), 90, 3360, 3015, 765);
    Frame4->setToolTip(panelSwitchTip);
    const int panelLeft[4] = {60, 780, 1500, 2220};
    QPushButton** panel[8] = {&Command13, &Command14, &Command15, &Command16,
                              &Command21, &Command22, &Command23, &Command24};
    for (int i = 0; i < 8; ++i) {
        *panel[i] = button(Frame4, RemoteSwitches::offCaption(i + 1), panelLeft[i % 4],
                           i < 4 ? 180 : 450, 705, 255);
        (*panel[i])->setToolTip(panelSwitchTip);
    }

    // Tab 1: settings.
    Frame1 = frame(tab1, QStringLiteral("環境設定"), 90, 390, 3015, 2025);
    Frame2 = frame(tab1, QStringLiteral("ローテーター設定等"), 90, 2520, 3015, 705);
    Frame3 = frame(tab1, QStringLiteral("ﾛｰﾃｰﾀｰｵﾌﾟｼｮﾝ ｽｲｯﾁ"), 90, 3300, 3015, 855);
    Frame3->setToolTip(mainSwitchTip);

    Label2[2] = label(Frame1, QStringLiteral("Ver 20130823"), 1770, 150, 1125, 165);
    Label2[4] = label(Frame1, QStringLiteral("ｺﾑﾎﾟｰﾄ設定"), 90, 540, 975, 165);
    Combo1 = new QComboBox(Frame1);
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setEditText(QStringLiteral("ポート選択"));
    place(Combo1, 1140, 480, 1815, 285);
    setColours(Combo1, QColor(192, 255, 255));
    Combo1->setFont(makeFont(pGothic, 8.25));
    Combo1->setToolTip(QStringLiteral("コムポートを選択すれば「Port No」欄に番号が書き込まれます。"
                                      "　設定後は再起動してください。"));
    Label2[0] = label(Frame1, QStringLiteral("ﾎﾟｰﾄ番号　　ﾎﾞｰﾚｲﾄ等　  　　ｵﾌｾｯﾄ\r\n"), 120,
                      900, 2835, 195);

    Text1 = textBox(Frame1, QStringLiteral("3"), 210, 1170, 495, 285);
    Text1->setFont(makeFont(pGothic, 9.75, true));
    Text1->setToolTip(QStringLiteral(
        "上の有効ポートよりコントローラの接続されているポートを選択してください。"));
    Text2 = textBox(Frame1, QStringLiteral("9600,N,8,1"), 780, 1170, 1455, 285);
    Text2->setFont(makeFont(pGothic, 9.75));
    Text2->setToolTip(QStringLiteral("(通常は変更不要です。)ボーレイト，パリティ，ビット，"
                                     "ストップビットを記入します。"));
    Text5 = textBox(Frame1, QStringLiteral("0"), 2310, 1170, 615, 270);
    Text5->setToolTip(QStringLiteral(
        "オフセット値（プラス・マイナスの数字）を入れた数値が目的の角度に加算されたものが設定"
        "角度としてコントロールされます。"));
    for (QLineEdit* e : {Text1, Text2, Text5}) {
        e->setAlignment(Qt::AlignCenter);
        setColours(e, QColor(192, 255, 192));
    }

    Command8 = button(Frame1, QStringLiteral("環境登録"), 1560, 1530, 1365, 345);
    setColours(Command8, QColor(128, 255, 128));
    Command8->setFont(makeFont(pGothic, 9.75));
    Command8->setToolTip(QStringLiteral(
        "環境設定変更実施内容を登録します。ボーレイト変更以外は各コマンド設定時に自動登録します"
        "ので通常は不要です。"));

    Check1 = new QCheckBox(QStringLiteral("ｽｲｯﾁ表示"), Frame1);
    place(Check1, 240, 1590, 1155, 255);
    setColours(Check1, QColor(192, 192, 255), QColor(0, 0, 192));
    Check1->setToolTip(
        QStringLiteral("レ＝ＡＺＸ画面にスイッチを表示します。　□＝表示しません"));

    Text3 = textBox(Frame2, QString(), 90, 300, 1425, 270);
    Text3->setFont(makeFont(gothic, 9.75, true));
    setColours(Text3, QColor(255, 255, 192));
    Text3->setToolTip(QStringLiteral(
        "コントローラへコマンドを送信します。コマント゛のみを入力して「データ転送」ボタンで実行"
        "してください。　★ [Enter] は入力不要"));
    Command9 = button(Frame2, QStringLiteral("ﾃﾞｰﾀ送信"), 1680, 240, 1155, 285);
    setColours(Command9, QColor(255, 255, 192));
    Command9->setToolTip(QStringLiteral("コントローラへテキストのﾃﾞｰﾀを送信します。"));

    const int mainLeft[4] = {30, 750, 1470, 2190};
    QPushButton** primary[8] = {&Command7,  &Command10, &Command11, &Command12,
                                &Command17, &Command18, &Command19, &Command20};
    for (int i = 0; i < 8; ++i) {
        *primary[i] = button(Frame3, RemoteSwitches::offCaption(i + 1), mainLeft[i % 4],
                             i < 4 ? 210 : 510, 705, 285);
        (*primary[i])->setToolTip(mainSwitchTip);
    }

    for (QLabel* caption : {Label2[0], Label2[2], Label2[4], Label2[5], Label6})
        fitCaption(caption);

    // Tab 1 is the selected tab when the window is created.
    SSTab1->setCurrentIndex(1);
}

QPushButton* Form1::primarySwitchButton(int n) const {
    const std::array<QPushButton*, 8> b = {Command7,  Command10, Command11, Command12,
                                           Command17, Command18, Command19, Command20};
    return b.at(static_cast<std::size_t>(n - 1));
}

QPushButton* Form1::panelSwitchButton(int n) const {
    const std::array<QPushButton*, 8> b = {Command13, Command14, Command15, Command16,
                                           Command21, Command22, Command23, Command24};
    return b.at(static_cast<std::size_t>(n - 1));
}

void Form1::connectHandlers() {
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command8, &QPushButton::clicked, this, &Form1::Command8_Click);
    connect(Command9, &QPushButton::clicked, this, &Form1::Command9_Click);
    for (int n = 1; n <= RemoteSwitches::count; ++n) {
        connect(primarySwitchButton(n), &QPushButton::clicked, this, [this, n] { toggleSwitch(n); });
        connect(panelSwitchButton(n), &QPushButton::clicked, this,
                [this, n] { panelSwitchClick(n); });
    }
    connect(Check1, &QCheckBox::toggled, this, &Form1::Check1_Click);
    connect(Combo1, &QComboBox::activated, this, &Form1::Combo1_Click);
    for (int i = 0; i < 5; ++i) {
        connect(Option1[static_cast<std::size_t>(i)], &QRadioButton::toggled, this,
                [this, i](bool on) {
                    if (on)
                        Option1_Click(i);
                });
    }
    connect(SSTab1, &TabControl::currentChanged, this, &Form1::SSTab1_Click);
    connect(Picture1, &MapPicture::clicked, this, &Form1::Picture1_Click);
    connect(MSComm1, &MSComm::OnComm, this, &Form1::MSComm1_OnComm);
    connect(MSComm1, &MSComm::portLost, this, &Form1::portLost);
}

int Form1::windowHeightTwips() const { return m_windowHeightTwips; }
int Form1::windowWidthTwips() const { return m_windowWidthTwips; }

void Form1::setWindowHeightTwips(int twips) {
    m_windowHeightTwips = twips;
    resize(width(), std::max(1, Twips::toPixels(twips) - Twips::frameHeight));
}

void Form1::setWindowWidthTwips(int twips) {
    m_windowWidthTwips = twips;
    resize(std::max(1, Twips::toPixels(twips) - Twips::frameWidth), height());
}

void Form1::setTabHeightTwips(int twips) {
    m_tabHeightTwips = twips;
    SSTab1->resize(SSTab1->width(), std::max(1, Twips::toPixels(twips)));
}

void Form1::setTabWidthTwips(int twips) {
    m_tabWidthTwips = twips;
    SSTab1->resize(std::max(1, Twips::toPixels(twips)), SSTab1->height());
}
