// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/servicesdialog.h"

#include "core/application/operatingcore.h"
#include "core/application/wsjtxfollower.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QVBoxLayout>

ServicesDialog::ServicesDialog(OperatingCore& core, QWidget* parent)
    : QDialog(parent), m_core(core) {
    setObjectName(QStringLiteral("servicesDialog"));
    setWindowTitle(tr("AZIVEX 接続サービス"));
    auto* rotctld = new QGroupBox(tr("rotctld サーバ (Hamlib)"), this);
    m_rotctldCheck = new QCheckBox(tr("有効にする"), rotctld);
    m_rotctldCheck->setObjectName(QStringLiteral("rotctldCheck"));
    m_rotctldCheck->setToolTip(tr(
        "gpredict、QLog、CQRLOG などがこのアドレスでアンテナを回せるようにします。"));
    m_rotctldEdit = new QLineEdit(rotctld);
    m_rotctldEdit->setObjectName(QStringLiteral("rotctldEdit"));
    m_rotctldEdit->setPlaceholderText(defaultRotctldEndpoint);
    m_rotctldEdit->setToolTip(tr(
        "[アドレス:]ポート。127.0.0.1 以外のアドレスでは、そこに届く誰もがアンテナを回せます。"));
    m_rotctldState = new QLabel(rotctld);
    m_rotctldState->setObjectName(QStringLiteral("rotctldState"));
    m_rotctldState->setWordWrap(true);
    auto* form = new QFormLayout(rotctld);
    form->addRow(m_rotctldCheck);
    form->addRow(tr("アドレス:"), m_rotctldEdit);
    form->addRow(m_rotctldState);

    struct ListenerText {
        OperatingCore::Listener listener;
        QString title, tip, endpoint;
    };
    const ListenerText listenerTexts[] = {
        {OperatingCore::Listener::N1mm, tr("N1MM Logger+ ローテータ (UDP)"),
         tr("N1MM Logger+ などのローテータ指令 (goazi、stop) でアンテナを回します。"),
         QStringLiteral("127.0.0.1:12040")},
        {OperatingCore::Listener::PstRotator, tr("PstRotator 互換 (UDP)"),
         tr("SatDump、KLog、Hamlib などの PstRotator 宛て指令でアンテナを回します。"),
         QStringLiteral("127.0.0.1:12000")},
    };
    QList<QGroupBox*> listenerBoxes;
    for (const ListenerText& t : listenerTexts) {
        auto* box = new QGroupBox(t.title, this);
        const QString name = OperatingCore::listenKey(t.listener).section;
        ListenerRow row{t.listener, new QCheckBox(tr("有効にする"), box),
                        new QLineEdit(box), new QLabel(box)};
        row.check->setObjectName(name + QStringLiteral("Check"));
        row.check->setToolTip(t.tip);
        row.edit->setObjectName(name + QStringLiteral("Edit"));
        row.edit->setPlaceholderText(t.endpoint);
        row.edit->setToolTip(tr(
            "[アドレス:]ポート。127.0.0.1 以外のアドレスでは、そこに届く誰もがアンテナを回せます。"));
        row.state->setObjectName(name + QStringLiteral("State"));
        row.state->setWordWrap(true);
        auto* rows = new QFormLayout(box);
        rows->addRow(row.check);
        rows->addRow(tr("アドレス:"), row.edit);
        rows->addRow(row.state);
        const QString listen = core.listenAddress(t.listener);
        row.check->setChecked(!listen.isEmpty());
        row.edit->setText(listen.isEmpty() ? t.endpoint : listen);
        connect(row.check, &QCheckBox::toggled, row.edit, &QWidget::setEnabled);
        row.edit->setEnabled(row.check->isChecked());
        m_listenerRows.append(row);
        listenerBoxes.append(box);
    }

    m_reconnectCheck = new QCheckBox(tr("ポートが戻ったら自動で再接続する"), this);
    m_reconnectCheck->setObjectName(QStringLiteral("reconnectCheck"));
    m_reconnectCheck->setToolTip(tr(
        "接続中に機器が抜けたとき、同じ COM に戻りしだい接続し直します。"
        "「切断」で切ったポートは開きません。"));

    auto* wsjtx = new QGroupBox(QStringLiteral("WSJT-X / JTDX (UDP)"), this);
    m_wsjtxCheck = new QCheckBox(tr("受信する"), wsjtx);
    m_wsjtxCheck->setObjectName(QStringLiteral("wsjtxCheck"));
    m_wsjtxCheck->setToolTip(tr(
        "WSJT-X・JTDX の状態（交信相手のコールサインとグリッド）を受け取って目標画面に表示します。"));
    m_wsjtxEdit = new QLineEdit(wsjtx);
    m_wsjtxEdit->setObjectName(QStringLiteral("wsjtxEdit"));
    m_wsjtxEdit->setPlaceholderText(defaultWsjtxEndpoint);
    m_wsjtxEdit->setToolTip(tr(
        "アドレス:ポート。WSJT-X の UDP サーバ設定と同じにします。224.0.0.0〜239.255.255.255 "
        "のマルチキャストなら GridTracker などとポートを共有します。"));
    m_wsjtxFollowCheck = new QCheckBox(tr("交信相手へ自動で向ける"), wsjtx);
    m_wsjtxFollowCheck->setObjectName(QStringLiteral("wsjtxFollowCheck"));
    m_wsjtxFollowCheck->setToolTip(tr(
        "DX コールか DX グリッドが変わるたびに、ショートパスへ回します。"));
    m_wsjtxState = new QLabel(wsjtx);
    m_wsjtxState->setObjectName(QStringLiteral("wsjtxState"));
    m_wsjtxState->setWordWrap(true);
    auto* wsjtxForm = new QFormLayout(wsjtx);
    wsjtxForm->addRow(m_wsjtxCheck);
    wsjtxForm->addRow(tr("アドレス:"), m_wsjtxEdit);
    wsjtxForm->addRow(m_wsjtxFollowCheck);
    wsjtxForm->addRow(m_wsjtxState);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(this, &QDialog::accepted, this, &ServicesDialog::apply);
    auto* layout = new QVBoxLayout(this);
    // The state lines wrap and change while the dialog is open: the dialog follows
    // their height, so none is cut off.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    addControllerRows(layout);
    layout->addWidget(rotctld);
    for (QGroupBox* box : listenerBoxes)
        layout->addWidget(box);
    layout->addWidget(wsjtx);
    layout->addWidget(m_reconnectCheck);
    layout->addWidget(buttons);

    const QString listen = core.rotctldListen();
    m_rotctldCheck->setChecked(!listen.isEmpty());
    m_rotctldEdit->setText(listen.isEmpty() ? defaultRotctldEndpoint : listen);
    m_reconnectCheck->setChecked(core.reconnectEnabled());
    connect(m_rotctldCheck, &QCheckBox::toggled, m_rotctldEdit, &QWidget::setEnabled);
    m_rotctldEdit->setEnabled(m_rotctldCheck->isChecked());
    connect(&core, &OperatingCore::rotctldStateChanged, this, &ServicesDialog::showRotctldState);
    showRotctldState();
    connect(&core, &OperatingCore::listenerStateChanged, this,
            &ServicesDialog::showListenerStates);
    showListenerStates();

    WsjtxFollower& follower = core.wsjtx();
    m_wsjtxCheck->setChecked(!follower.listen().isEmpty());
    m_wsjtxEdit->setText(follower.listen().isEmpty() ? defaultWsjtxEndpoint : follower.listen());
    m_wsjtxFollowCheck->setChecked(follower.follow());
    connect(m_wsjtxCheck, &QCheckBox::toggled, m_wsjtxEdit, &QWidget::setEnabled);
    m_wsjtxEdit->setEnabled(m_wsjtxCheck->isChecked());
    connect(&follower, &WsjtxFollower::stateChanged, this, &ServicesDialog::showWsjtxState);
    showWsjtxState();
    m_shown = choices();
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

ServicesDialog::Choices ServicesDialog::choices() const {
    const auto address = [](const QCheckBox* check, const QLineEdit* edit) {
        return check->isChecked() ? edit->text().trimmed() : QString();
    };
    Choices c{address(m_rotctldCheck, m_rotctldEdit), {}, address(m_wsjtxCheck, m_wsjtxEdit),
              m_wsjtxFollowCheck->isChecked(), m_reconnectCheck->isChecked()};
    for (const ListenerRow& row : m_listenerRows)
        c.listeners.append(address(row.check, row.edit));
    return c;
}

void ServicesDialog::showListenerStates() {
    for (const ListenerRow& row : std::as_const(m_listenerRows)) {
        const QString listen = m_core.listenAddress(row.listener);
        const QString error = m_core.listenerError(row.listener);
        const OperatingCore::Ignored ignored = m_core.ignoredDatagrams(row.listener);
        if (listen.isEmpty())
            row.state->setText(tr("停止中"));
        else if (!error.isEmpty())
            row.state->setText(tr("%1 を開けません: %2").arg(listen, error));
        else if (ignored.count == 0)
            row.state->setText(tr("%1 で待ち受け中").arg(listen));
        else
            row.state->setText(tr("%1 で待ち受け中 (理解できない受信 %2 件)")
                                   .arg(listen)
                                   .arg(ignored.count));
        row.state->setToolTip(ignored.count == 0
                                  ? QString()
                                  : tr("最後に無視した受信: %1").arg(ignored.last));
    }
}

void ServicesDialog::showWsjtxState() {
    const WsjtxFollower& follower = m_core.wsjtx();
    const QString listen = follower.listen();
    if (listen.isEmpty())
        m_wsjtxState->setText(tr("停止中"));
    else if (!follower.error().isEmpty())
        m_wsjtxState->setText(tr("%1 を開けません: %2").arg(listen, follower.error()));
    else
        m_wsjtxState->setText(tr("%1 で受信中（状態 %2 件）")
                                  .arg(listen)
                                  .arg(follower.statusCount()));
    // Datagrams that were no WSJT-X message are only counted, never a message box.
    m_wsjtxState->setToolTip(
        follower.ignoredCount() == 0
            ? QString()
            : tr("読めないデータグラム %1 件（最後: %2）")
                  .arg(follower.ignoredCount())
                  .arg(follower.lastIgnored()));
}

void ServicesDialog::showRotctldState() {
    const QString listen = m_core.rotctldListen();
    const QString error = m_core.rotctldError();
    if (listen.isEmpty())
        m_rotctldState->setText(tr("停止中"));
    else if (error.isEmpty())
        m_rotctldState->setText(tr("%1 で待ち受け中").arg(listen));
    else
        m_rotctldState->setText(tr("%1 を開けません: %2").arg(listen, error));
}

void ServicesDialog::apply() {
    const Choices wanted = choices();
    if (wanted.rotctld != m_shown.rotctld)
        m_core.setRotctldListen(wanted.rotctld);
    else if (!m_core.rotctldError().isEmpty())
        m_core.serveRotctldAgain(); // OK after freeing a port that was taken tries it again
    for (qsizetype i = 0; i < m_listenerRows.size(); ++i) {
        if (wanted.listeners[i] != m_shown.listeners[i])
            m_core.setListenAddress(m_listenerRows[i].listener, wanted.listeners[i]);
    }
    WsjtxFollower& follower = m_core.wsjtx();
    if (wanted.follow != m_shown.follow)
        follower.setFollow(wanted.follow);
    // Unchanged, the saved address is opened anew (a taken port may have been freed).
    follower.setListen(wanted.wsjtx != m_shown.wsjtx ? wanted.wsjtx : follower.listen());
    if (wanted.reconnect != m_shown.reconnect)
        m_core.setReconnectEnabled(wanted.reconnect);
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
