// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>

// What the program tells on standard error, by part, so one part's messages can be
// switched off or on (QT_LOGGING_RULES="azivex.link.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcMaps)
Q_DECLARE_LOGGING_CATEGORY(lcServices)
