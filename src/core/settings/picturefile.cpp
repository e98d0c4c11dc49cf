// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings/picturefile.h"

#include "core/settings/settingsfile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cstdlib>

namespace {

// Larger pictures are refused unread, so a damaged header cannot exhaust memory.
constexpr int maxPictureSide = 8192;

// A bitmap shorter than its headers say is damaged; the reader would show the
// missing part as garbage. The file size field is often 0 or wrong, so the pixel
// data the info header describes is checked as well.
bool isTruncatedBitmap(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray head = file.read(38);
    if (head.size() < 6 || !head.startsWith("BM"))
        return false;
    const auto u16 = [&head](int at) -> quint32 {
        return static_cast<quint8>(head[at]) |
               static_cast<quint32>(static_cast<quint8>(head[at + 1])) << 8;
    };
    const auto u32 = [&head, &u16](int at) -> quint32 { return u16(at) | u16(at + 2) << 16; };
    const quint64 size = static_cast<quint64>(file.size());
    const quint32 declared = u32(2);
    if (declared != 0 && size < declared)
        return true;
    if (head.size() < 26)
        return true; // no room for the info header
    const quint64 offset = u32(10);
    const quint32 infoSize = u32(14);
    quint64 width = 0;
    quint64 height = 0;
    quint64 bits = 0;
    quint32 compression = 0;
    quint64 imageSize = 0;
    if (infoSize == 12) { // OS/2 core header
        width = u16(18);
        height = u16(20);
        bits = u16(24);
    } else {
        if (head.size() < 38)
            return true;
        const auto i32 = [&u32](int at) { return static_cast<qint32>(u32(at)); };
        width = static_cast<quint64>(std::abs(static_cast<qint64>(i32(18))));
        height = static_cast<quint64>(std::abs(static_cast<qint64>(i32(22)))); // top-down: < 0
        bits = u16(28);
        compression = u32(30);
        imageSize = u32(34);
    }
    // Uncompressed rows are padded to four bytes; compressed data is as long as the
    // header says.
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (!uncompressed)
        return size < offset + imageSize;
    const quint64 rowBytes = (width * bits + 31) / 32 * 4;
    if (height != 0 && rowBytes > (size - std::min(size, offset)) / height)
        return true;
    return size < offset + rowBytes * height;
}

} // namespace

namespace PictureFile {

QString fileName(int index) {
    return QStringLiteral("world%1.bmp").arg(index + 1);
}

QString find(const QString& name) {
    const QString found = WorkingDir::resolve(name);
    const QFileInfo info(found);
    // Present means an ordinary, not hidden, file.
    if (info.exists() && info.isFile() && !info.isHidden())
        return found;
    return {};
}

QImage load(const QString& name) {
    const QString path = find(name);
    if (path.isEmpty() || isTruncatedBitmap(path))
        return {};
    // Told the format, the reader does not load every image plugin to guess it; a
    // picture of another format under the .bmp name still loads.
    QImageReader reader(path, "bmp");
    reader.setAutoDetectImageFormat(false);
    if (!reader.canRead()) {
        reader.setFileName(path);
        reader.setAutoDetectImageFormat(true);
        reader.setFormat({});
    }
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxPictureSide || size.height() > maxPictureSide)
        return {};
    return reader.read();
}

} // namespace PictureFile
