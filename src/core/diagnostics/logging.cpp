// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/diagnostics/logging.h"

Q_LOGGING_CATEGORY(lcSettings, "azivex.settings")
Q_LOGGING_CATEGORY(lcLink, "azivex.link")
Q_LOGGING_CATEGORY(lcMaps, "azivex.maps")
Q_LOGGING_CATEGORY(lcServices, "azivex.services")
