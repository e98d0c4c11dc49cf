// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/targetdialog.h"

#include "core/application/operatingcore.h"
#include "core/geography/countrytable.h"
#include "core/settings/settingsfile.h"
#include "core/settings/userfolder.h"
#include "core/application/wsjtxfollower.h"
#include "gui/messagebox.h"
#include "core/settings/picturefile.h"
#include "mapdraw/stationmapjob.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QShortcut>
#include <QVBoxLayout>

TargetDialog::TargetDialog(OperatingCore& core, QWidget* parent)
    : QDialog(parent), m_core(core) {
    setObjectName(QStringLiteral("targetDialog"));
    setWindowTitle(tr("AZIVEX 目標"));

    m_targetEdit = new QLineEdit(this);
    m_targetEdit->setObjectName(QStringLiteral("targetEdit"));
    m_targetEdit->setPlaceholderText(QStringLiteral("JN58td, DL1ABC, VK2, -33.87, 151.21, 123"));
    m_targetEdit->setToolTip(tr(
        "ロケータ、コールサインかプリフィックス、緯度・経度、または角度を入れます。"
        "Enter でショートパス、Ctrl+Enter でロングパスへ回します。"));
    m_takenAs = new QLabel(this);
    m_takenAs->setObjectName(QStringLiteral("takenAsLabel"));
    m_bearings = new QLabel(this);
    m_bearings->setObjectName(QStringLiteral("bearingsLabel"));
    m_shortButton = new QPushButton(tr("ショートパス"), this);
    m_shortButton->setObjectName(QStringLiteral("shortPathButton"));
    m_shortButton->setToolTip(tr("短い方の大圏コースへ回します。(Enter)"));
    m_shortButton->setAutoDefault(false);
    m_longButton = new QPushButton(tr("ロングパス"), this);
    m_longButton->setObjectName(QStringLiteral("longPathButton"));
    m_longButton->setToolTip(tr("反対側、長い方の大圏コースへ回します。(Ctrl+Enter)"));
    m_longButton->setAutoDefault(false);
    m_wsjtxPartner = new QLabel(this);
    m_wsjtxPartner->setObjectName(QStringLiteral("wsjtxPartnerLabel"));
    m_wsjtxPartner->setTextFormat(Qt::PlainText);
    auto* aimRow = new QHBoxLayout;
    aimRow->addWidget(m_shortButton);
    aimRow->addWidget(m_longButton);

    auto* quick = new QGroupBox(tr("パーク・プリセット"), this);
    m_presetGrid = new QGridLayout(quick);
    m_parkButton = new QPushButton(tr("パーク"), quick);
    m_parkButton->setObjectName(QStringLiteral("parkButton"));
    m_parkButton->setAutoDefault(false);
    m_presetGrid->addWidget(m_parkButton, 0, 0);

    auto* station = new QGroupBox(tr("局の位置"), this);
    m_stationLabel = new QLabel(station);
    m_stationLabel->setObjectName(QStringLiteral("stationLabel"));
    m_stationLabel->setWordWrap(true);
    m_stationEdit = new QLineEdit(station);
    m_stationEdit->setObjectName(QStringLiteral("stationEdit"));
    m_stationEdit->setPlaceholderText(QStringLiteral("PM95vq / 35.68, 139.77"));
    m_stationEdit->setToolTip(tr(
        "局のロケータ（4〜10文字）または緯度, 経度（北・東がプラス）。空欄で未設定に戻します。"));
    auto* setButton = new QPushButton(tr("設定"), station);
    setButton->setObjectName(QStringLiteral("stationButton"));
    setButton->setToolTip(tr("局の位置を AZIVEX.INI に保存します。"));
    setButton->setAutoDefault(false);
    auto* stationRow = new QHBoxLayout;
    stationRow->addWidget(m_stationEdit);
    stationRow->addWidget(setButton);
    m_picture4Size = new QSpinBox(station);
    m_picture5Size = new QSpinBox(station);
    for (QSpinBox* size : {m_picture4Size, m_picture5Size}) {
        size->setRange(100, 1000);
        size->setSuffix(QStringLiteral(" px"));
        size->setToolTip(tr("地図画像の大きさ（ピクセル）"));
    }
    m_picture4Size->setObjectName(QStringLiteral("picture4Size"));
    m_picture4Size->setValue(300);
    m_picture5Size->setObjectName(QStringLiteral("picture5Size"));
    m_picture5Size->setValue(450);
    m_drawButton = new QPushButton(tr("局の地図を作成"), station);
    m_drawButton->setObjectName(QStringLiteral("drawPicturesButton"));
    m_drawButton->setToolTip(tr(
        "局を中心にした地図を画像４（world4.bmp）と画像５（world5.bmp）に描き、画像４を選びます。"));
    m_drawButton->setAutoDefault(false);
    auto* drawRow = new QHBoxLayout;
    drawRow->addWidget(m_picture4Size);
    drawRow->addWidget(m_picture5Size);
    drawRow->addWidget(m_drawButton);
    auto* stationLayout = new QVBoxLayout(station);
    stationLayout->addWidget(m_stationLabel);
    stationLayout->addLayout(stationRow);
    stationLayout->addLayout(drawRow);

    auto* layout = new QVBoxLayout(this);
    // Lines that wrap come and go (the WSJT-X partner, the station): the dialog
    // follows their height, so none is cut off.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_targetEdit);
    layout->addWidget(m_takenAs);
    layout->addWidget(m_bearings);
    layout->addLayout(aimRow);
    layout->addWidget(m_wsjtxPartner);
    layout->addWidget(quick);
    layout->addWidget(station);

    connect(m_targetEdit, &QLineEdit::textChanged, this, &TargetDialog::lookUp);
    connect(m_targetEdit, &QLineEdit::returnPressed, this, [this] { aim(false); });
    connect(m_shortButton, &QPushButton::clicked, this, [this] { aim(false); });
    connect(m_longButton, &QPushButton::clicked, this, [this] { aim(true); });
    for (const QKeySequence& key : {QKeySequence(Qt::CTRL | Qt::Key_Return),
                                   QKeySequence(Qt::CTRL | Qt::Key_Enter)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, [this] { aim(true); });
    connect(m_parkButton, &QPushButton::clicked, this,
            [this] { showAimResult(int(m_core.aiming().park())); });
    connect(setButton, &QPushButton::clicked, this, &TargetDialog::setStation);
    connect(m_drawButton, &QPushButton::clicked, this, &TargetDialog::drawStationPictures);
    connect(m_stationEdit, &QLineEdit::returnPressed, this, &TargetDialog::setStation);
    connect(&core.aiming(), &Aiming::settingsChanged, this, [this] {
        showStation();
        showPresets();
        lookUp();
    });
    connect(&core.wsjtx(), &WsjtxFollower::partnerChanged, this,
            &TargetDialog::showWsjtxPartner);
    connect(&core.aiming().countries(), &CountryTable::loaded, this, &TargetDialog::lookUp);
    // Read while the operator types, so that a call is found at once.
    core.aiming().countries().load();
    showStation();
    showPresets();
    lookUp();
    showWsjtxPartner();
}

QString TargetDialog::countriesLoadingText() {
    return tr("国別ファイル（cty.dat）を読み込んでいます...");
}

void TargetDialog::showWsjtxPartner() {
    const WsjtxFollower::Partner partner = m_core.wsjtx().partner();
    m_wsjtxPartner->setVisible(!partner.call.isEmpty() || !partner.grid.isEmpty());
    QString text = QStringLiteral("WSJT-X DX: %1").arg(partner.call);
    if (!partner.shown.isEmpty())
        text += QStringLiteral("  %1").arg(partner.shown);
    text += u'\n' + (partner.bearings           ? partner.bearings->shown()
                      : partner.countriesLoading ? countriesLoadingText()
                                                 : tr("位置がわかりません"));
    if (partner.fromDeGrid)
        text += tr("（WSJT-X の自局グリッドから）");
    m_wsjtxPartner->setText(text);
}

void TargetDialog::drawStationPictures() {
    const QStringList names{PictureFile::fileName(3), PictureFile::fileName(4)};
    QStringList present;
    for (const QString& name : names)
        if (!PictureFile::find(name).isEmpty())
            present << PictureFile::find(name);
    if (!present.isEmpty() &&
        !AppMessageBox::ask(this, QStringLiteral("AZIVEX"),
                            tr("%1 を置き換えますか？").arg(present.join(tr("、", "between file names")))))
        return;
    const GeoPoint station = m_core.aiming().station().point;
    // A picture kept under another case of its name is replaced under that name.
    const QList<mapdraw::PictureRequest> pictures{
        {WorkingDir::resolve(names[0]), m_picture4Size->value()},
        {WorkingDir::resolve(names[1]), m_picture5Size->value()}};
    auto* job = new mapdraw::StationMapJob(Installed::mapDataFolder(), {station.lat, station.lon},
                                           pictures, this);
    auto* progress = new QProgressDialog(tr("局の地図を描いています..."),
                                         tr("中止"), 0, 100, this);
    progress->setObjectName(QStringLiteral("drawProgress"));
    progress->setMinimumDuration(500); // shown only when it takes more than a moment
    progress->setAutoClose(false);
    progress->setValue(0);
    m_drawButton->setEnabled(false);
    connect(progress, &QProgressDialog::canceled, job, &mapdraw::StationMapJob::cancel);
    connect(job, &mapdraw::StationMapJob::progress, progress, &QProgressDialog::setValue);
    const auto done = [this, job, progress] {
        progress->deleteLater();
        job->deleteLater();
        m_drawButton->setEnabled(true);
    };
    connect(job, &mapdraw::StationMapJob::finished, this, [this, station, done] {
        done();
        m_core.setStationPicturesCentre(station);
        emit stationPicturesDrawn();
    });
    connect(job, &mapdraw::StationMapJob::failed, this, [this, done](const QString& reason) {
        done();
        AppMessageBox::show(this, QStringLiteral("AZIVEX"),
                            tr("地図を作成できませんでした: %1").arg(reason));
    });
    connect(job, &mapdraw::StationMapJob::cancelled, this, done);
    job->start();
}

void TargetDialog::focusTarget() {
    m_targetEdit->setFocus();
    m_targetEdit->selectAll();
}

void TargetDialog::lookUp() {
    const QString text = m_targetEdit->text().trimmed();
    m_shortButton->setEnabled(false);
    m_longButton->setEnabled(false);
    if (text.isEmpty()) {
        m_takenAs->setText(tr("目標を入れてください"));
        m_bearings->clear();
        return;
    }
    const Aiming::LookUp found = m_core.aiming().lookUp(text);
    if (found.target.kind == Target::Kind::CountriesLoading) {
        m_takenAs->setText(countriesLoadingText()); // looked up again once it is read
        m_bearings->clear();
        return;
    }
    if (!found.bearings) {
        m_takenAs->setText(tr("「%1」はわかりません").arg(text));
        m_bearings->clear();
        return;
    }
    m_takenAs->setText(found.target.shown);
    m_bearings->setText(found.bearings->shown());
    m_shortButton->setEnabled(true);
    m_longButton->setEnabled(true);
}

void TargetDialog::aim(bool longPath) {
    showAimResult(int(m_core.aiming().aimAtTarget(m_targetEdit->text(), longPath)));
}

void TargetDialog::showAimResult(int result) {
    switch (RotatorSession::AimResult(result)) {
    case RotatorSession::AimResult::NoTarget:
        m_bearings->setText(tr("回せません: 目標がありません"));
        break;
    case RotatorSession::AimResult::Refused:
        m_bearings->setText(tr("回せません: コントローラが受け付けません"));
        break;
    case RotatorSession::AimResult::OutOfRange:
        m_bearings->setText(tr("回せません: 回転範囲 %1 の外です").arg(m_core.session().range().text()));
        break;
    default: // sent, or shown in the window's status line
        break;
    }
}

void TargetDialog::showStation() {
    const Aiming::Station station = m_core.aiming().station();
    m_stationLabel->setText(
        station.set ? tr("方位はこの局から: %1").arg(station.shown)
                    : tr("局が未設定です。方位は標準画像の中心（35.68N 139.77E、"
                                     "東京）から計算しています。"));
    m_parkButton->setEnabled(m_core.session().parkAzimuth().has_value());
    m_parkButton->setToolTip(
        m_core.session().parkAzimuth()
            ? tr("パーク位置 %1° へ回します。").arg(*m_core.session().parkAzimuth())
            : tr("パーク位置は AZIVEX.INI の [aim] park= で設定します。"));
}

void TargetDialog::setStation() {
    if (!m_core.aiming().setStation(m_stationEdit->text()))
        m_stationLabel->setText(
            tr("「%1」は局の位置になりません").arg(m_stationEdit->text()));
    else
        m_stationEdit->clear();
}

void TargetDialog::showPresets() {
    // Buttons after the park button, two columns in all.
    while (m_presetGrid->count() > 1) {
        QLayoutItem* item = m_presetGrid->takeAt(1);
        delete item->widget();
        delete item;
    }
    int index = 1;
    for (const Aiming::Preset& preset : m_core.aiming().presets()) {
        auto* button = new QPushButton(preset.name, m_presetGrid->parentWidget());
        button->setObjectName(QStringLiteral("presetButton%1").arg(index));
        button->setToolTip(tr("%1 へショートパスで回します。").arg(preset.target));
        button->setAutoDefault(false);
        const QString target = preset.target;
        connect(button, &QPushButton::clicked, this, [this, target] {
            showAimResult(int(m_core.aiming().aimAtTarget(target, false)));
        });
        m_presetGrid->addWidget(button, index / 2, index % 2);
        ++index;
    }
}
