// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/servicesdialog.h"

#include "core/application/operatingcore.h"
#include "core/application/wsjtxfollower.h"
#include "core/services/servicemodel.h"
#include "gui/qrcode.h"
#include "gui/servicerow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QVBoxLayout>

ServicesDialog::ServicesDialog(OperatingCore& core, ServiceModel& services, QWidget* parent)
    : QDialog(parent), m_core(core), m_services(services) {
    setObjectName(QStringLiteral("servicesDialog"));
    setWindowTitle(tr("AZIVEX 接続サービス"));
    m_reconnectCheck = new QCheckBox(tr("ポートが戻ったら自動で再接続する"), this);
    m_reconnectCheck->setObjectName(QStringLiteral("reconnectCheck"));
    m_reconnectCheck->setToolTip(tr(
        "接続中に機器が抜けたとき、同じ COM に戻りしだい接続し直します。"
        "「切断」で切ったポートは開きません。"));
    m_reconnectCheck->setChecked(core.reconnectEnabled());
    m_shownReconnect = m_reconnectCheck->isChecked();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this, &ServicesDialog::apply);
    auto* layout = new QVBoxLayout(this);
    // The state lines wrap and change while the dialog is open: the dialog follows
    // their height, so none is cut off.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Two columns, so the dialog fits a laptop's screen: the controller and the
    // services for other programs on this machine, then those for people.
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    layout->addLayout(columns);
    addControllerRows(left);
    addServiceRows(left, right);
    left->addStretch();
    right->addStretch();
    layout->addWidget(m_reconnectCheck);
    layout->addWidget(buttons);
}

void ServicesDialog::addServiceRows(QBoxLayout* left, QBoxLayout* right) {
    const QString anyone =
        tr("[アドレス:]ポート。127.0.0.1 以外のアドレスでは、そこに届く誰もがアンテナを回せます。");
    using K = Service::Kind;
    const std::pair<K, ServiceRow::Texts> rows[] = {
        {K::Rotctld,
         {tr("rotctld サーバ (Hamlib)"), {},
          tr("gpredict、QLog、CQRLOG などがこのアドレスでアンテナを回せるようにします。"), anyone,
          defaultRotctldEndpoint}},
        {K::N1mm,
         {tr("N1MM Logger+ ローテータ (UDP)"), {},
          tr("N1MM Logger+ などのローテータ指令 (goazi、stop) でアンテナを回します。"), anyone,
          QStringLiteral("127.0.0.1:12040")}},
        {K::PstRotator,
         {tr("PstRotator 互換 (UDP)"), {},
          tr("SatDump、KLog、Hamlib などの PstRotator 宛て指令でアンテナを回します。"), anyone,
          QStringLiteral("127.0.0.1:12000")}},
        {K::Wsjtx,
         {QStringLiteral("WSJT-X / JTDX (UDP)"), tr("受信する"),
          tr("WSJT-X・JTDX の状態（交信相手のコールサインとグリッド）を受け取って目標画面に表示します。"),
          tr("アドレス:ポート。WSJT-X の UDP サーバ設定と同じにします。224.0.0.0〜239.255.255.255 "
             "のマルチキャストなら GridTracker などとポートを共有します。"),
          defaultWsjtxEndpoint}},
        {K::Web,
         {tr("ウェブページ (スマートフォン・ブラウザ)"), {},
          tr("同じ LAN のスマートフォンやパソコンのブラウザから、地図を見てアンテナを回せます。"
             "開くにはトークン入りのアドレスが要ります。"),
          tr("[アドレス:]ポート。0.0.0.0 ならこの機械のどのネットワークからも開けます。"),
          defaultWebEndpoint}},
    };
    for (const auto& [kind, texts] : rows) {
        auto* row = new ServiceRow(m_services, m_services.service(kind), texts, this);
        m_rows.append(row);
        (kind == K::Wsjtx || kind == K::Web ? right : left)->addWidget(row);
    }
    ServiceRow* wsjtx = m_rows[3];
    m_wsjtxFollowCheck = new QCheckBox(tr("交信相手へ自動で向ける"), wsjtx);
    m_wsjtxFollowCheck->setObjectName(QStringLiteral("wsjtxFollowCheck"));
    m_wsjtxFollowCheck->setToolTip(tr(
        "DX コールか DX グリッドが変わるたびに、ショートパスへ回します。"));
    m_wsjtxFollowCheck->setChecked(m_core.wsjtx().follow());
    m_shownFollow = m_wsjtxFollowCheck->isChecked();
    wsjtx->form()->insertRow(2, m_wsjtxFollowCheck);
    addWebRows(m_rows[4]);
}

void ServicesDialog::addWebRows(ServiceRow* row) {
    m_webAddress = new QLabel(row);
    m_webAddress->setObjectName(QStringLiteral("webAddress"));
    m_webAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_webAddress->setWordWrap(true);
    m_webCode = new QLabel(row);
    m_webCode->setObjectName(QStringLiteral("webCode"));
    m_webCode->setToolTip(tr("スマートフォンのカメラで読み取るとページが開きます。"));
    auto* newToken = m_webTokenButton = new QPushButton(tr("新しいトークン"), row);
    newToken->setObjectName(QStringLiteral("webTokenButton"));
    newToken->setToolTip(tr("今のトークンを無効にします。開いているブラウザには新しいアドレスを"
                            "開き直してもらいます。"));
    connect(newToken, &QPushButton::clicked, &m_services, &ServiceModel::newWebToken);
    row->form()->addRow(m_webAddress);
    row->form()->addRow(m_webCode);
    row->form()->addRow(newToken);
    connect(&row->service(), &Service::stateChanged, this, &ServicesDialog::showWebAddress);
    showWebAddress();
}

void ServicesDialog::showWebAddress() {
    const QString url = m_services.service(Service::Kind::Web).url();
    m_webAddress->setText(url.isEmpty() ? QString() : tr("開くアドレス: %1").arg(url));
    m_webAddress->setVisible(!url.isEmpty());
    const QImage code = QrCode::image(url, 3);
    m_webCode->setPixmap(QPixmap::fromImage(code));
    m_webCode->setVisible(!code.isNull());
    // A token is made when the page is switched on; before that there is none to replace.
    m_webTokenButton->setEnabled(!m_services.webToken().isEmpty());
}

void ServicesDialog::addControllerRows(QLayout* layout) {
    auto* box = new QGroupBox(tr("コントローラ"), this);
    box->setObjectName(QStringLiteral("controllerBox"));
    const LinkSetup& setup = m_core.linkSetup();
    m_shownLink = setup;

    m_protocolList = new QComboBox(box);
    m_protocolList->setObjectName(QStringLiteral("protocolList"));
    for (const LinkSetup::Protocol p : LinkSetup::protocols) {
        const QString name = p == LinkSetup::Protocol::Native ? tr("標準 (AZ=ddd を自分で送る)")
                             : p == LinkSetup::Protocol::Gs232a ? QStringLiteral("GS-232A")
                             : p == LinkSetup::Protocol::Gs232b ? QStringLiteral("GS-232B")
                                                                : QStringLiteral("Hamlib");
        m_protocolList->addItem(name, int(p));
    }
    m_protocolList->setCurrentIndex(m_protocolList->findData(int(setup.protocol)));
    m_protocolList->setToolTip(
        tr("コントローラの種類。GS-232A・GS-232B と Hamlib では位置を問い合わせます。"));

    m_deviceEdit = new QLineEdit(setup.device, box);
    m_deviceEdit->setObjectName(QStringLiteral("deviceEdit"));
    m_deviceEdit->setPlaceholderText(tr("空欄: 環境設定の COM 番号"));
    // Wide enough to read what empty means.
    m_deviceEdit->setMinimumWidth(
        m_deviceEdit->fontMetrics().horizontalAdvance(m_deviceEdit->placeholderText()) + 16);
    m_deviceEdit->setToolTip(tr(
        "空欄なら環境設定タブの COM 番号のポートです。/dev/serial/by-id/… のようなデバイスの"
        "パスか、ser2net などネットワーク越しの ホスト:ポート も使えます。ボーレート等は環境設定"
        "タブのものです。"));

    // Hamlib's models when the library lists them; else the number, typed.
    m_hamlibModelList = new QComboBox(box);
    m_hamlibModelList->setObjectName(QStringLiteral("hamlibModelList"));
    m_hamlibModelList->setEditable(true);
    m_hamlibModelList->setInsertPolicy(QComboBox::NoInsert);
    // As wide as the other rows whatever names the Hamlib in use lists; the popup
    // shows them whole.
    m_hamlibModelList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_hamlibModelList->setMinimumContentsLength(16);
    const QList<HamlibModel> models = hamlibModels();
    for (const HamlibModel& m : models)
        m_hamlibModelList->addItem(QStringLiteral("%1 %2").arg(m.number).arg(m.name), m.number);
    if (models.isEmpty())
        m_hamlibModelList->setValidator(new QIntValidator(1, 999999, m_hamlibModelList));
    m_hamlibModelList->completer()->setFilterMode(Qt::MatchContains);
    m_hamlibModelList->completer()->setCompletionMode(QCompleter::PopupCompletion);
    const int listed = m_hamlibModelList->findData(setup.hamlibModel);
    m_hamlibModelList->setCurrentIndex(listed);
    if (listed < 0)
        m_hamlibModelList->setEditText(setup.hamlibModel ? QString::number(setup.hamlibModel)
                                                         : QString());
    m_hamlibModelList->setToolTip(tr(
        "Hamlib のローテータのモデル。603 は GS-232B、901 は SPID Rot2Prog、2 はネットワーク上の "
        "rotctld です。"));

    m_rangeEdit = new QLineEdit(setup.range ? setup.range->text() : QString(), box);
    m_rangeEdit->setObjectName(QStringLiteral("rangeEdit"));
    m_rangeEdit->setPlaceholderText(tr("空欄: コントローラの範囲"));
    m_rangeEdit->setToolTip(tr(
        "コントローラ自身の角度での範囲、例えば 0-450、-180-180、0-340。空欄なら 0-360 "
        "(Hamlib ではモデルの範囲) です。"));

    m_pollBox = new QSpinBox(box);
    m_pollBox->setObjectName(QStringLiteral("pollBox"));
    m_pollBox->setRange(LinkSetup::minPollMs, LinkSetup::maxPollMs);
    m_pollBox->setSingleStep(100);
    m_pollBox->setSuffix(QStringLiteral(" ms"));
    m_pollBox->setValue(setup.pollMs);
    m_pollBox->setToolTip(tr("位置を問い合わせる間隔 (GS-232A・GS-232B・Hamlib)。"));

    m_controllerState = new QLabel(box);
    m_controllerState->setObjectName(QStringLiteral("controllerState"));
    m_controllerState->setWordWrap(true);
    m_controllerState->hide();

    auto* form = new QFormLayout(box);
    form->addRow(tr("プロトコル:"), m_protocolList);
    form->addRow(tr("デバイス:"), m_deviceEdit);
    form->addRow(tr("Hamlib モデル:"), m_hamlibModelList);
    form->addRow(tr("回転範囲:"), m_rangeEdit);
    form->addRow(tr("問い合わせ間隔:"), m_pollBox);
    form->addRow(m_controllerState);
    connect(m_protocolList, &QComboBox::currentIndexChanged, this,
            &ServicesDialog::enableControllerRows);
    enableControllerRows();
    layout->addWidget(box);
}

void ServicesDialog::enableControllerRows() {
    const auto protocol = LinkSetup::Protocol(m_protocolList->currentData().toInt());
    m_hamlibModelList->setEnabled(protocol == LinkSetup::Protocol::Hamlib);
    // The native controller speaks unasked.
    m_pollBox->setEnabled(protocol != LinkSetup::Protocol::Native);
}

std::optional<LinkSetup> ServicesDialog::chosenLink() {
    LinkSetup setup = m_core.linkSetup();
    setup.protocol = LinkSetup::Protocol(m_protocolList->currentData().toInt());
    setup.device = m_deviceEdit->text().trimmed();
    static const QRegularExpression leadingNumber(QStringLiteral(R"(^\s*(\d{1,6})(\s|$))"));
    const QRegularExpressionMatch model = leadingNumber.match(m_hamlibModelList->currentText());
    setup.hamlibModel = model.hasMatch() ? model.captured(1).toInt() : 0;
    setup.pollMs = m_pollBox->value();
    const QString range = m_rangeEdit->text().trimmed();
    setup.range = range.isEmpty() ? std::nullopt : RotationRange::parse(range);
    QString why;
    QWidget* at = nullptr;
    if (!range.isEmpty() && !setup.range) {
        why = tr("「%1」は回転範囲になりません。0-450、-180-180、0-340 のように書きます。")
                  .arg(range);
        at = m_rangeEdit;
    } else if (setup.protocol == LinkSetup::Protocol::Hamlib && setup.hamlibModel == 0) {
        why = tr("Hamlib のモデルを選んでください。");
        at = m_hamlibModelList;
    }
    m_controllerState->setText(why);
    m_controllerState->setVisible(at);
    if (!at)
        return setup;
    at->setFocus();
    return std::nullopt;
}

void ServicesDialog::accept() {
    if (chosenLink())
        QDialog::accept();
}

void ServicesDialog::apply() {
    for (ServiceRow* row : std::as_const(m_rows))
        row->apply();
    if (m_wsjtxFollowCheck->isChecked() != m_shownFollow)
        m_core.wsjtx().setFollow(m_wsjtxFollowCheck->isChecked());
    if (m_reconnectCheck->isChecked() != m_shownReconnect)
        m_core.setReconnectEnabled(m_reconnectCheck->isChecked());
    const std::optional<LinkSetup> chosen = chosenLink();
    if (!chosen)
        return;
    LinkSetup setup = m_core.linkSetup();
    const auto take = [&](auto LinkSetup::*field) {
        if (chosen.value().*field != m_shownLink.*field)
            setup.*field = chosen.value().*field;
    };
    take(&LinkSetup::protocol);
    take(&LinkSetup::device);
    take(&LinkSetup::hamlibModel);
    take(&LinkSetup::pollMs);
    take(&LinkSetup::range);
    if (setup != m_core.linkSetup())
        m_core.setLinkSetup(setup);
}
