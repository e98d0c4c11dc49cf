// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

// The map pictures world1.bmp to world5.bmp in the working directory.
namespace PictureFile {

// "world1.bmp" for index 0 to "world5.bmp" for index 4.
QString fileName(int index);
// The present file for a picture name (an ordinary file, found under another case
// when the exact name is absent); empty when there is none.
QString find(const QString& name);
// The picture, or a null image when it is absent, damaged (shorter than its headers
// say) or larger than the map can show.
QImage load(const QString& name);

} // namespace PictureFile
