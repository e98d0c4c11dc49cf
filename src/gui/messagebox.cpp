// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/messagebox.h"

#include <QMessageBox>

namespace {
AppMessageBox::Recorder& recorder() {
    static AppMessageBox::Recorder r;
    return r;
}
} // namespace

namespace AppMessageBox {

void show(QWidget* parent, const QString& title, const QString& text) {
    if (recorder()) {
        recorder()(title, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void setRecorder(Recorder r) {
    recorder() = std::move(r);
}

} // namespace AppMessageBox
