// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/geography/countrytable.h"

#include "core/diagnostics/logging.h"

#include <QFileInfo>
#include <QThread>

#include <cstdio>

CountryTable::CountryTable(std::function<QString()> path, QObject* parent)
    : QObject(parent), m_path(std::move(path)) {}

CountryTable::~CountryTable() {
    // The file is at most CountryFile::maxBytes: the wait is bounded.
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void CountryTable::load() {
    if (m_file || m_thread)
        return;
    const QString path = m_path();
    // The reader fills its own table; this thread takes it only once reading ended.
    auto read = std::make_shared<CountryFile>();
    m_thread = QThread::create([path, read] { read->load(path); });
    connect(m_thread, &QThread::finished, this, [this, path, read] { finish(path, read); });
    m_thread->start();
}

void CountryTable::finish(const QString& path, std::shared_ptr<CountryFile> read) {
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    if (read->countryCount() == 0) {
        qCWarning(lcSettings).noquote() << path << "not read:" << read->errorString();
        // A file that is simply missing is no news; one that is there and refused is.
        if (QFileInfo::exists(path))
            emit statusWanted(tr("%1 を読み込めませんでした").arg(QFileInfo(path).fileName()));
    }
    if (read->skippedCount() > 0)
        qCWarning(lcSettings).noquote()
            << QStringLiteral("%1: %2 entries skipped: latitude beyond 90 or longitude beyond "
                              "180 degrees, or not a number")
                   .arg(path)
                   .arg(read->skippedCount());
    m_file = std::move(read);
    emit loaded();
}
