// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/linksetup.h"

#include "core/links/gs232link.h"
#include "core/links/hamliblink.h"
#include "core/links/nativelink.h"

#include <hamlib/rotator.h>

#include <algorithm>

QString LinkSetup::protocolName(Protocol protocol) {
    switch (protocol) {
    case Protocol::Native:
        return QStringLiteral("native");
    case Protocol::Gs232a:
        return QStringLiteral("gs232a");
    case Protocol::Gs232b:
        return QStringLiteral("gs232b");
    case Protocol::Hamlib:
        return QStringLiteral("hamlib");
    }
    return {};
}

std::optional<LinkSetup::Protocol> LinkSetup::protocolNamed(const QString& name) {
    for (Protocol p : protocols)
        if (name.compare(protocolName(p), Qt::CaseInsensitive) == 0)
            return p;
    return std::nullopt;
}

std::unique_ptr<ControllerLink> makeLink(const LinkSetup& setup) {
    std::unique_ptr<ControllerLink> link;
    switch (setup.protocol) {
    case LinkSetup::Protocol::Gs232a:
        link = std::make_unique<Gs232Link>(Gs232Link::Variant::A);
        break;
    case LinkSetup::Protocol::Gs232b:
        link = std::make_unique<Gs232Link>(Gs232Link::Variant::B);
        break;
    case LinkSetup::Protocol::Native:
        link = std::make_unique<NativeLink>();
        break;
    case LinkSetup::Protocol::Hamlib: {
        auto hamlib = std::make_unique<HamlibLink>(setup.hamlibModel);
        hamlib->setConfiguredRange(setup.range);
        link = std::move(hamlib);
        break;
    }
    }
    link->setDevice(setup.device);
    link->setPollInterval(setup.pollMs);
    link->setTimeout(setup.timeoutMs);
    return link;
}

QList<HamlibModel> hamlibModels() {
    HamlibLink::loadBackends();
    QList<HamlibModel> models;
    rot_list_foreach(
        [](const rot_caps* caps, void* list) {
            static_cast<QList<HamlibModel>*>(list)->append(
                {caps->rot_model, QStringLiteral("%1 %2").arg(QString::fromUtf8(caps->mfg_name),
                                                             QString::fromUtf8(caps->model_name))});
            return 1; // go on
        },
        &models);
    std::sort(models.begin(), models.end(),
              [](const HamlibModel& a, const HamlibModel& b) { return a.number < b.number; });
    return models;
}
