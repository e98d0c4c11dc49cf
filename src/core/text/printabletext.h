// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// Text received from the network, made safe to log or show: every control character
// (C0, DEL, C1) becomes "\xNN" and a backslash "\\", so an escape sequence in a
// datagram cannot retitle, recolour or clear the operator's terminal, and the text
// shown still tells exactly what came.
QString printableText(QStringView text);
