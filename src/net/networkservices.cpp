// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/networkservices.h"

#include "core/application/operatingcore.h"
#include "core/services/servicemodel.h"
#include "core/settings/picturefile.h"
#include "net/endpoint.h"

NetworkServices::NetworkServices(OperatingCore& core, ServiceModel& model, QObject* parent)
    : QObject(parent), m_core(core), m_model(model), m_pacer(core.session()),
      m_rotctld(&core.session()), m_n1mm(core.session(), m_pacer),
      m_pstRotator(core.session(), m_pacer), m_wsjtx(core.wsjtx()),
      m_web(core.session(), core.aiming()) {
    configureN1mm();
    connect(&model, &ServiceModel::n1mmSettingsChanged, this, &NetworkServices::configureN1mm);
    // The page shows the picture the window shows, and what its status line says.
    m_web.setMapSource([&core] {
        return PictureFile::load(PictureFile::fileName(core.pictureNumber()));
    });
    connect(&core, &OperatingCore::pictureChanged, &m_web, [this] {
        m_web.setMapVersion(++m_mapVersion);
    });
    connect(&core, &OperatingCore::statusChanged, &m_web, &WebServer::setStatus);
    configureWeb();
    connect(&model, &ServiceModel::webSettingsChanged, this, &NetworkServices::configureWeb);
    Service& web = model.service(Service::Kind::Web);
    connect(&web, &Service::stateChanged, this, &NetworkServices::showWebUrl);
    // WSJT-X's partners come unasked as the other programs' aims do, paced alike.
    connect(&core.wsjtx(), &WsjtxFollower::aimWanted, &m_pacer, &AimPacer::aimAt);
    using K = Service::Kind;
    const std::pair<K, ServiceServer*> servers[] = {
        {K::Rotctld, &m_rotctld}, {K::N1mm, &m_n1mm}, {K::PstRotator, &m_pstRotator},
        {K::Wsjtx, &m_wsjtx}, {K::Web, &m_web}};
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

void NetworkServices::configureWeb() {
    const QString certificate = m_model.webCertificate();
    const QString key = m_model.webKey();
    const QString error = m_web.setCertificate(certificate, key);
    // HTTPS that cannot be had is no reason to send the token in the clear: every
    // request is refused until the files are mended.
    m_web.setToken(error.isEmpty() ? m_model.webToken() : QString());
    if (!error.isEmpty())
        m_core.store().refuse(QStringLiteral("[web] certificate, key"),
                              certificate + u' ' + key, error);
    m_https = error.isEmpty() && !certificate.isEmpty();
    m_certificateError = error;
    // HTTPS or HTTP from now on: served anew.
    m_model.service(Service::Kind::Web).serveAgain();
    showWebUrl();
}

void NetworkServices::showWebUrl() {
    Service& web = m_model.service(Service::Kind::Web);
    web.setUrl(web.error().isEmpty() && m_certificateError.isEmpty()
                   ? Endpoint::pageUrl(web.address(), m_https, m_model.webToken())
                   : QString());
}
