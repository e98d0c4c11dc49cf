// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up sequence, the settings file's writers and the settings registration.
#include "gui/mainwindow.h"

#include "core/rotatorsession.h"
#include "core/serialports.h"
#include "core/settingsfile.h"
#include "core/textnumber.h"
#include "gui/messagebox.h"
#include "gui/tabcontrol.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <cstdio>

namespace {

const QString appTitle = QStringLiteral("AZIVEX");
const QString crlf = QStringLiteral("\r\n");

const QString missingMessage =
    QStringLiteral("「AZIVEX.DAT（環境設定ファイル）」がありませんでしたので作成しました。") +
    crlf + QStringLiteral("一旦プログラムを終了させます。") + crlf + crlf +
    QStringLiteral("再起動後、ポート等の内容を確認・設定してください。");

const QString recreatedMessage =
    QStringLiteral("環境設定のバージョンアップが有りましたので「AZIVEX.DAT」を再作成しました。") +
    crlf + QStringLiteral("一旦終了させます。") + crlf + crlf +
    QStringLiteral("ポート等の内容を確認・設定してください。");

const QString unreadableMessage =
    QStringLiteral("「AZIVEX.DAT（環境設定ファイル）」を読み込めませんでした。") + crlf +
    QStringLiteral("ファイルを確認してから再起動してください。");

const QString notWrittenMessage =
    QStringLiteral("「AZIVEX.DAT（環境設定ファイル）」を作成できませんでした。") + crlf +
    QStringLiteral("フォルダへの書き込み権限を確認してください。");

} // namespace

bool MainWindow::start() {
    m_statusLabel->setText(QStringLiteral("初期化中"));
    m_session->setCommanded(QString());
    m_startingUp = true;
    // Asking the system for its serial ports takes longer than building the whole
    // window; the list sits on the settings tab, so it is filled once the window
    // is up.
    QMetaObject::invokeMethod(this, &MainWindow::listSerialPorts, Qt::QueuedConnection);
    m_tabs->setCurrentIndex(0);
    m_settingsFileName = WorkingDir::resolve(SettingsCodec::fileName);

    if (!SettingsFile::exists(m_settingsFileName)) {
        createDefaultFile();
        return false;
    }
    const SettingsFile::FirstLine first =
        SettingsFile::readFirstLine(m_settingsFileName, SettingsCodec::marker);
    if (first.status != SettingsFile::ReadStatus::Ok) {
        std::fprintf(stderr, "azivex: %s not read: %s\n", qPrintable(m_settingsFileName),
                     qPrintable(first.reason));
        // Rewriting a file that could not be read would destroy the operator's
        // settings: say so and leave it alone.
        endProgram(unreadableMessage);
        return false;
    }
    const QString line = SettingsCodec::decodeLine(first.bytes);
    // The first replies queue up behind the settings line.
    m_session->seedReplies(line);
    if (!SettingsCodec::isCurrentFormat(line)) {
        recreateFromOldLine(line);
        return false;
    }

    const SettingsFields fields = SettingsCodec::extract(line);
    if (fields.pictureNo)
        m_settings.pictureNo = *fields.pictureNo;
    applyLinkFields(fields);
    if (fields.offset)
        m_offsetEdit->setText(*fields.offset);
    if (fields.controlPosition)
        m_settings.controlPosition = *fields.controlPosition;
    if (m_settings.controlPosition == QStringLiteral("1"))
        m_showPanelCheck->setChecked(true);

    m_session->openLink(m_settings.portNo, m_settings.lineSettings);
    layoutSwitchPanel();

    const double n = numericValue(m_settings.pictureNo);
    if (QAbstractButton* option = m_pictureButtons->button(n >= 0 && n < 5 ? int(n) : -1))
        option->setChecked(true);
    m_startingUp = false;
    return true;
}

void MainWindow::listSerialPorts() {
    // The list keeps showing its caption until the operator chooses an entry.
    const QString caption = m_portList->currentText();
    m_portList->addItems(listPresentPorts());
    m_portList->setCurrentIndex(-1);
    m_portList->setEditText(caption);
}

void MainWindow::createDefaultFile() {
    const bool written = writeSettings(SettingsCodec::defaultDataLine(
        m_portEdit->text(), m_lineSettingsEdit->text(), m_offsetEdit->text()));
    m_tabs->setCurrentIndex(1);
    endProgram(written ? missingMessage : notWrittenMessage);
}

void MainWindow::recreateFromOldLine(const QString& line) {
    applyLinkFields(SettingsCodec::extractLinkFields(line));
    const bool written = writeSettings(
        SettingsCodec::recreatedDataLine(m_portEdit->text(), m_lineSettingsEdit->text()));
    endProgram(written ? recreatedMessage : notWrittenMessage);
}

// A port number or line settings read from the file go into their boxes; an empty
// one is taken from its box instead.
void MainWindow::applyLinkFields(const SettingsFields& fields) {
    if (fields.portNo)
        m_settings.portNo = *fields.portNo;
    if (fields.lineSettings)
        m_settings.lineSettings = *fields.lineSettings;
    if (!m_settings.portNo.isEmpty())
        m_portEdit->setText(m_settings.portNo);
    else
        m_settings.portNo = m_portEdit->text();
    if (!m_settings.lineSettings.isEmpty())
        m_lineSettingsEdit->setText(m_settings.lineSettings);
    else
        m_settings.lineSettings = m_lineSettingsEdit->text();
}

bool MainWindow::writeSettings(const QString& dataLine) {
    QString error;
    if (SettingsFile::replaceContents(m_settingsFileName, SettingsCodec::fileText(dataLine),
                                      SettingsCodec::marker, &error))
        return true;
    std::fprintf(stderr, "azivex: %s not written: %s\n", qPrintable(m_settingsFileName),
                 qPrintable(error));
    return false;
}

void MainWindow::endProgram(const QString& message) {
    AppMessageBox::show(nullptr, appTitle, message);
}

void MainWindow::registerSettings() {
    m_session->closeLink();
    if (m_offsetEdit->text().isEmpty())
        m_offsetEdit->setText(QStringLiteral("0"));
    m_settings.controlPosition =
        m_showPanelCheck->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    m_settings.portNo = m_portEdit->text();
    m_settings.lineSettings = m_lineSettingsEdit->text();
    m_settings.offset = m_offsetEdit->text();
    const bool written = writeSettings(SettingsCodec::registeredDataLine(m_settings));
    m_statusLabel->setText(QString());
    m_session->openLink(m_settings.portNo, m_settings.lineSettings);
    m_statusLabel->setText(written ? QStringLiteral("環境ファイルに登録完了")
                                   : QStringLiteral("環境ファイルに登録できませんでした"));
}

void MainWindow::choosePort(int row) {
    // The number comes from the entry's trailing "(COMn)", so a device whose own
    // name holds "COM" cannot put a non-number into the port box.
    const std::optional<int> number = comNumberFromEntry(m_portList->itemText(row));
    if (!number)
        return;
    m_portEdit->setText(QString::number(*number));
    registerSettings();
}
