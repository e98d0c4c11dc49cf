// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/geography/countryfile.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QThread;

// The country file as the program holds it: read on a thread of its own at first use,
// so that neither the window nor a server waits for the disk or the parse. Until it
// is read a look-up says so instead of answering.
class CountryTable : public QObject {
    Q_OBJECT
  public:
    // path: where the file is, asked when reading starts (the working folder's cty.dat
    // may appear while the program runs).
    explicit CountryTable(std::function<QString()> path, QObject* parent = nullptr);
    ~CountryTable() override;

    // Starts reading unless the file is read or being read.
    void load();
    bool isLoading() const { return m_thread != nullptr; }
    // The table once read (empty when the file could not be read); nothing before
    // that, and nothing while it is being read.
    const CountryFile* file() const { return m_file.get(); }

  signals:
    // Reading has ended, well or not: look-ups answer from now on.
    void loaded();
    // A text for the status line: the file is there but was not read.
    void statusWanted(const QString& text);

  private:
    void finish(const QString& path, std::shared_ptr<CountryFile> read);

    std::function<QString()> m_path;
    QThread* m_thread = nullptr;
    std::shared_ptr<const CountryFile> m_file;
};
