// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

class QWidget;

// OK-only message boxes without an icon. Tests install a recorder, so a box is
// noted instead of waiting for a click.
namespace AppMessageBox {

using Recorder = std::function<void(const QString& title, const QString& text)>;

void show(QWidget* parent, const QString& title, const QString& text);
// A yes/no question; true for yes. With a recorder installed the question is noted
// and answered with the answer set by setNextAnswer (yes unless told).
bool ask(QWidget* parent, const QString& title, const QString& text);
void setNextAnswer(bool yes);
// An empty recorder restores real message boxes.
void setRecorder(Recorder recorder);

} // namespace AppMessageBox
