// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QString>

// The application's fonts and widget style.
namespace AppStyle {

// The Japanese system fonts the window is designed in.
inline const QString proportionalGothic = QStringLiteral("ＭＳ Ｐゴシック");
inline const QString fixedGothic = QStringLiteral("ＭＳ ゴシック");

QFont font(const QString& family, double points, bool bold = false);

// Maps the designed fonts to the installed IPA Gothic family, so the names stay as
// designed, and installs a style whose buttons show their colour as a flat face.
void install();

} // namespace AppStyle
