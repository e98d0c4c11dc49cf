// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/servicerow.h"

#include "core/services/servicemodel.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

ServiceRow::ServiceRow(ServiceModel& model, Service& service, const Texts& texts, QWidget* parent)
    : QGroupBox(texts.title, parent), m_model(model), m_service(service) {
    const QString name = service.listenKey().section;
    m_check = new QCheckBox(texts.switchText.isEmpty() ? tr("有効にする") : texts.switchText, this);
    m_check->setObjectName(name + QStringLiteral("Check"));
    m_check->setToolTip(texts.switchTip);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(name + QStringLiteral("Edit"));
    m_edit->setPlaceholderText(texts.defaultAddress);
    m_edit->setToolTip(texts.addressTip);
    m_state = new QLabel(this);
    m_state->setObjectName(name + QStringLiteral("State"));
    m_state->setWordWrap(true);
    m_form = new QFormLayout(this);
    m_form->addRow(m_check);
    m_form->addRow(tr("アドレス:"), m_edit);
    m_form->addRow(m_state);

    const QString address = service.address();
    m_check->setChecked(!address.isEmpty());
    m_edit->setText(address.isEmpty() ? texts.defaultAddress : address);
    connect(m_check, &QCheckBox::toggled, m_edit, &QWidget::setEnabled);
    m_edit->setEnabled(m_check->isChecked());
    connect(&service, &Service::stateChanged, this, &ServiceRow::showState);
    showState();
    m_shown = chosenAddress();
}

QString ServiceRow::chosenAddress() const {
    return m_check->isChecked() ? m_edit->text().trimmed() : QString();
}

void ServiceRow::apply() {
    const QString wanted = chosenAddress();
    if (wanted != m_shown)
        m_model.setAddress(m_service.kind(), wanted);
    else if (!m_service.error().isEmpty())
        m_service.serveAgain();
}

void ServiceRow::showState() {
    const QString address = m_service.address();
    const QString error = m_service.error();
    const ServiceCounters counters = m_service.counters();
    const bool wsjtx = m_service.kind() == Service::Kind::Wsjtx;
    if (address.isEmpty())
        m_state->setText(tr("停止中"));
    else if (!error.isEmpty())
        m_state->setText(tr("%1 を開けません: %2").arg(address, error));
    else if (wsjtx)
        m_state->setText(tr("%1 で受信中（状態 %2 件）").arg(address).arg(counters.handled));
    else if (counters.ignored > 0)
        m_state->setText(tr("%1 で待ち受け中 (理解できない受信 %2 件)")
                             .arg(address)
                             .arg(counters.ignored));
    else if (counters.clients > 0)
        m_state->setText(tr("%1 で待ち受け中 (接続 %2)").arg(address).arg(counters.clients));
    else
        m_state->setText(tr("%1 で待ち受け中").arg(address));
    // What was not understood is only counted, never a message box.
    if (counters.ignored == 0)
        m_state->setToolTip(QString());
    else if (wsjtx)
        m_state->setToolTip(tr("読めないデータグラム %1 件（最後: %2）")
                                .arg(counters.ignored)
                                .arg(counters.lastIgnored));
    else
        m_state->setToolTip(tr("最後に無視した受信: %1").arg(counters.lastIgnored));
}
