// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/networkservices.h"

#include "core/application/operatingcore.h"
#include "core/services/servicemodel.h"
#include "net/endpoint.h"

NetworkServices::NetworkServices(OperatingCore& core, ServiceModel& model, QObject* parent)
    : QObject(parent), m_core(core), m_model(model), m_pacer(core.session()),
      m_rotctld(&core.session()), m_n1mm(core.session(), m_pacer),
      m_pstRotator(core.session(), m_pacer), m_wsjtx(core.wsjtx()) {
    configureN1mm();
    connect(&model, &ServiceModel::n1mmSettingsChanged, this, &NetworkServices::configureN1mm);
    // WSJT-X's partners come unasked as the other programs' aims do, paced alike.
    connect(&core.wsjtx(), &WsjtxFollower::aimWanted, &m_pacer, &AimPacer::aimAt);
    using K = Service::Kind;
    const std::pair<K, ServiceServer*> servers[] = {
        {K::Rotctld, &m_rotctld}, {K::N1mm, &m_n1mm}, {K::PstRotator, &m_pstRotator},
        {K::Wsjtx, &m_wsjtx}};
    for (const auto& [kind, server] : servers)
        wire(model.service(kind), *server);
}

void NetworkServices::wire(Service& service, ServiceServer& server) {
    const auto serve = [&service, &server](const QString& where) {
        service.setError(server.serve(where));
    };
    connect(&service, &Service::addressChanged, &server, serve);
    connect(&server, &ServiceServer::countersChanged, &service, &Service::setCounters);
    serve(service.address());
}

void NetworkServices::configureN1mm() {
    m_n1mm.setRotorName(m_model.n1mmRotor());
    const QString report = m_model.n1mmReport();
    const auto reportTo = Endpoint::parse(report);
    if (!report.isEmpty() && !reportTo)
        m_core.store().refuse(ServiceModel::Keys::n1mmReport, report,
                              QStringLiteral("not ADDRESS:PORT"));
    m_n1mm.setReportTo(report.isEmpty() ? std::nullopt : reportTo);
}
