// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

// A QR code a phone's camera reads, drawn by libqrencode.
namespace QrCode {

// Black modules on white, each `scale` pixels, with the four-module quiet zone
// readers need; a null image for an empty text or one too long for a code.
QImage image(const QString& text, int scale);

} // namespace QrCode
