#pragma once

// What the window shows, written out once for all window tests.

#include <QByteArray>
#include <QString>

namespace WindowTexts {

inline const QString portTrue = QStringLiteral("ﾎﾟｰﾄ = True");
inline const QString portFalse = QStringLiteral("ﾎﾟｰﾄ = False");
inline const QString connectCaption = QStringLiteral("接続");
inline const QString disconnectCaption = QStringLiteral("切断");
inline const QString registeredText = QStringLiteral("環境ファイルに登録完了");
inline const QString notRegisteredText = QStringLiteral("環境ファイルに登録できませんでした");

inline const QString missingText = QStringLiteral(
    "「AZIVEX.DAT（環境設定ファイル）」がありませんでしたので作成しました。\r\n"
    "一旦プログラムを終了させます。\r\n\r\n再起動後、ポート等の内容を確認・設定してください。");
inline const QString recreatedText = QStringLiteral(
    "環境設定のバージョンアップが有りましたので「AZIVEX.DAT」を再作成しました。\r\n"
    "一旦終了させます。\r\n\r\nポート等の内容を確認・設定してください。");
inline const QString unreadableText =
    QStringLiteral("「AZIVEX.DAT（環境設定ファイル）」を読み込めませんでした。\r\n"
                   "ファイルを確認してから再起動してください。");
inline const QString notWrittenText =
    QStringLiteral("「AZIVEX.DAT（環境設定ファイル）」を作成できませんでした。\r\n"
                   "フォルダへの書き込み権限を確認してください。");

// The reference block that follows the data line of every settings file written.
inline const QByteArray referenceBlock =
    "\r\n\r\nReference\r\n"
    "3(port No),9600,N,8,1(Baudot etc.):0(Offset)-0(Picture No)/0(Control position)\r\n";

} // namespace WindowTexts
