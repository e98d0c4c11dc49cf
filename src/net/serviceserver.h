// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/services/servicecounters.h"

#include <QObject>
#include <QString>

// What every server other programs reach shares, so the program wires each the same
// way: it serves where its service says, and reports what it has done.
class ServiceServer : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Serves at "[ADDRESS:]PORT" from now on, or nowhere when it is empty; what went
    // wrong, or nothing.
    virtual QString serve(const QString& endpoint) = 0;

  signals:
    void countersChanged(const ServiceCounters& counters);
};
