// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/application/uilanguage.h"

#include <QRegularExpression>
#include <QtGlobal>

namespace UiLanguage {

namespace {

// "ja_JP.UTF-8" → "ja", "C.UTF-8" → "C", "en@quot" → "en".
QString languagePart(const QString& locale) {
    const qsizetype end = locale.indexOf(QRegularExpression(QStringLiteral("[_.@]")));
    return end < 0 ? locale : locale.left(end);
}

bool isPlainC(const QString& locale) {
    const QString part = languagePart(locale);
    return part.isEmpty() || part == u"C" || part == u"POSIX";
}

} // namespace

Language fromEnvironment(const QString& language, const QString& lcAll,
                         const QString& lcMessages, const QString& lang) {
    const QString locale = !lcAll.isEmpty() ? lcAll : !lcMessages.isEmpty() ? lcMessages : lang;
    if (isPlainC(locale))
        return Language::Japanese;
    QString chosen = locale;
    for (const QString& entry : language.split(u':', Qt::SkipEmptyParts)) {
        chosen = entry;
        break;
    }
    return isPlainC(chosen) || languagePart(chosen) == u"ja" ? Language::Japanese
                                                            : Language::English;
}

Language fromEnvironment() {
    return fromEnvironment(qEnvironmentVariable("LANGUAGE"), qEnvironmentVariable("LC_ALL"),
                           qEnvironmentVariable("LC_MESSAGES"), qEnvironmentVariable("LANG"));
}

std::optional<Language> fromSetting(const QString& value) {
    const QString v = value.trimmed().toLower();
    if (v == u"ja")
        return Language::Japanese;
    if (v == u"en")
        return Language::English;
    return std::nullopt;
}

QString code(Language language) {
    return language == Language::English ? QStringLiteral("en") : QStringLiteral("ja");
}

} // namespace UiLanguage
