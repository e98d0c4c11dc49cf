// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The working folder of a start from the desktop's menu, where there is no current
// directory the operator chose: one per user, holding the settings file, the map
// pictures and any COMn links, as a folder chosen in a terminal does.
namespace UserFolder {

// $XDG_DATA_HOME/azivex, else ~/.local/share/azivex.
QString path();

// Where the standard map pictures are looked for, in order: share/azivex beside the
// executable's bin/ (an installation), the maps the build tree drew (a program run
// from its build tree), then azivex in each system data folder.
QStringList standardPicturesCandidates();
// The first of those holding the pictures; empty when none does.
QString standardPicturesFolder();

// Creates folder when it is missing and copies in each standard picture from
// picturesFolder that it does not hold yet under any case of its name, so the
// operator's own files are never replaced. Returns what went wrong, or an empty text.
QString prepare(const QString& folder, const QString& picturesFolder);

} // namespace UserFolder

namespace Installed {
// share/azivex beside the executable's bin/, where an installation under any prefix,
// or a package unpacked anywhere, keeps the program's data.
QString dataFolder();
// The Natural Earth outlines the map pictures are drawn from: naturalearth in
// dataFolder(), else the source tree's for a program run from its build tree.
QString mapDataFolder();
} // namespace Installed
