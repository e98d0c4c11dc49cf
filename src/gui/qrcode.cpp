// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/qrcode.h"

#include <QPainter>
#include <memory>
#include <qrencode.h>

QImage QrCode::image(const QString& text, int scale) {
    if (text.isEmpty())
        return {};
    const QByteArray bytes = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(bytes.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return {};
    constexpr int quiet = 4;
    const int side = (code->width + 2 * quiet) * scale;
    QImage out(side, side, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            // The low bit of each module is whether it is dark.
            if (code->data[y * code->width + x] & 1)
                p.fillRect((x + quiet) * scale, (y + quiet) * scale, scale, scale, Qt::black);
    return out;
}
