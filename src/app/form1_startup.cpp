// Start-up sequence, the settings file's writers and the settings registration.
#include "ui/form1.h"

#include "app/numeric.h"
#include "app/settingscodec.h"
#include "platform/messagebox_widgets.h"
#include "platform/settingsfile.h"
#include "ui/controls_widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace {

const QString appTitle = QStringLiteral("AZIVEX");
const QString crlf = QStringLiteral("\r\n");

const QString missingMessage =
    QStringLiteral("「AZIVEX.DAT（環境設定ファイル）」がありませんでしたので作成しました。") + crlf +
    QStringLiteral("一旦プログラムを終了させます。") + crlf + crlf +
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

bool Form1::load() {
    Label1->setText(QStringLiteral("初期化中"));
    Label5->setText(QString());
    startingUp = QStringLiteral("1");
    listSerialPorts();
    SSTab1->setCurrentIndex(0);
    settingsFileName = SettingsCodec::fileName;

    if (!SettingsFile::exists(settingsFileName)) {
        createDefaultFile();
        return false;
    }
    const SettingsFile::FirstLine first = SettingsFile::readFirstLine(settingsFileName);
    if (first.status != SettingsFile::ReadStatus::Ok) {
        // Rewriting a file that could not be read would destroy the operator's
        // settings: say so and leave it alone.
        endProgram(unreadableMessage);
        return false;
    }
    inputLine = SettingsCodec::decodeLine(first.bytes);
    if (!SettingsCodec::isCurrentFormat(inputLine)) {
        recreateFromOldLine();
        return false;
    }

    const ExtractedFields fields = SettingsCodec::extract(inputLine);
    if (fields.pictureNo)
        pictureNo = *fields.pictureNo;
    applyLinkFields(fields);
    if (fields.offset)
        Text5->setText(*fields.offset);
    if (fields.controlPosition)
        controlPosition = *fields.controlPosition;
    if (controlPosition == QStringLiteral("1"))
        Check1->setChecked(true);

    openLink(portNo, lineSettings);
    // openLink arms receive notifications itself whenever it leaves the port open.
    layoutSwitchPanel();

    const double n = numericValue(pictureNo);
    if (n >= 0 && n < static_cast<double>(Option1.size()))
        Option1[static_cast<std::size_t>(n)]->setChecked(true);
    startingUp.clear();
    return true;
}

void Form1::createDefaultFile() {
    const bool written = writeSettings(
        SettingsCodec::defaultDataLine(Text1->text(), Text2->text(), Text5->text()));
    SSTab1->setCurrentIndex(1);
    endProgram(written ? missingMessage : notWrittenMessage);
}

void Form1::recreateFromOldLine() {
    applyLinkFields(SettingsCodec::extractLinkFields(inputLine));
    const bool written =
        writeSettings(SettingsCodec::recreatedDataLine(Text1->text(), Text2->text()));
    endProgram(written ? recreatedMessage : notWrittenMessage);
}

// A port number or line settings read from the file go into their boxes; an empty
// one is taken from its box instead.
void Form1::applyLinkFields(const ExtractedFields& fields) {
    if (fields.portNo)
        portNo = *fields.portNo;
    if (fields.lineSettings)
        lineSettings = *fields.lineSettings;
    if (!portNo.isEmpty())
        Text1->setText(portNo);
    else
        portNo = Text1->text();
    if (!lineSettings.isEmpty())
        Text2->setText(lineSettings);
    else
        lineSettings = Text2->text();
}

bool Form1::writeSettings(const QString& dataLine) {
    return SettingsFile::replaceContents(settingsFileName, SettingsCodec::fileText(dataLine));
}

void Form1::endProgram(const QString& message) {
    AppMessageBox::show(nullptr, appTitle, message);
    m_programEnded = true;
}

void Form1::registerSettings() {
    closeLink();
    if (Text5->text().isEmpty())
        Text5->setText(QStringLiteral("0"));
    controlPosition = Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    const bool written = writeSettings(SettingsCodec::registeredDataLine(
        Text1->text(), Text2->text(), Text5->text(), pictureNo, controlPosition));
    Label1->setText(QString());
    portNo = Text1->text();
    lineSettings = Text2->text();
    openLink(portNo, lineSettings);
    Label1->setText(written ? QStringLiteral("環境ファイルに登録完了")
                            : QStringLiteral("環境ファイルに登録できませんでした"));
}

void Form1::Command8_Click() { registerSettings(); }
