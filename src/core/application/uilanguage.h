// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// Which language the window speaks. Japanese is the source language of every text;
// English is the one translation.
namespace UiLanguage {

enum class Language { Japanese, English };

// The operator's language from the environment, read as gettext reads it: LC_ALL,
// else LC_MESSAGES, else LANG names the locale; LANGUAGE's first entry comes first
// unless that locale is C or POSIX (gettext then ignores LANGUAGE). Unset, C, POSIX
// and any Japanese give Japanese; any other language gives English.
Language fromEnvironment(const QString& language, const QString& lcAll,
                         const QString& lcMessages, const QString& lang);
// The same, from this process's environment.
Language fromEnvironment();

// "ja" or "en" in any letter case; nothing for "auto" and for anything else, which
// leave the choice to the environment.
std::optional<Language> fromSetting(const QString& value);

// The short code: "ja" or "en".
QString code(Language language);

} // namespace UiLanguage
