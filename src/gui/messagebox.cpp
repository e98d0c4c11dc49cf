// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/messagebox.h"

#include <QMessageBox>
#include <utility>

namespace {
AppMessageBox::Recorder& recorder() {
    static AppMessageBox::Recorder r;
    return r;
}
bool& nextAnswer() {
    static bool yes = true;
    return yes;
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

bool ask(QWidget* parent, const QString& title, const QString& text) {
    if (recorder()) {
        recorder()(title, text);
        return std::exchange(nextAnswer(), true);
    }
    return QMessageBox::question(parent, title, text) == QMessageBox::Yes;
}

void setNextAnswer(bool yes) {
    nextAnswer() = yes;
}

void setRecorder(Recorder r) {
    recorder() = std::move(r);
}

} // namespace AppMessageBox
