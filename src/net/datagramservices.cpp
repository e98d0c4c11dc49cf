// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/datagramservices.h"

#include "core/application/operatingcore.h"
#include "core/application/wsjtxfollower.h"
#include "net/endpoint.h"

DatagramServices::DatagramServices(OperatingCore& core, QObject* parent)
    : QObject(parent), m_pacer(core.session()), m_n1mm(core.session(), m_pacer),
      m_pstRotator(core.session(), m_pacer), m_wsjtx(core.wsjtx()) {
    const auto configureN1mm = [this, &core] {
        m_n1mm.setRotorName(core.n1mmRotor());
        const QString report = core.n1mmReport();
        const auto reportTo = Endpoint::parse(report);
        if (!report.isEmpty() && !reportTo)
            core.refuse(QStringLiteral("[n1mm] report"), report, QStringLiteral("not ADDRESS:PORT"));
        m_n1mm.setReportTo(report.isEmpty() ? std::nullopt : reportTo);
    };
    configureN1mm();
    connect(&core, &OperatingCore::n1mmSettingsChanged, this, configureN1mm);

    using Listener = OperatingCore::Listener;
    const std::pair<Listener, DatagramListener*> listeners[] = {
        {Listener::N1mm, &m_n1mm}, {Listener::PstRotator, &m_pstRotator}};
    for (const auto& entry : listeners) {
        // Copies, which every compiler lets a lambda capture.
        const Listener which = entry.first;
        DatagramListener* const listener = entry.second;
        const auto serve = [&core, which, listener](const QString& where) {
            core.setListenerError(which, listener->serve(where));
        };
        connect(&core, &OperatingCore::listenAddressChanged, listener,
                [serve, which](Listener changed, const QString& where) {
                    if (changed == which)
                        serve(where);
                });
        connect(listener, &DatagramListener::ignored, &core,
                [&core, which](int count, const QString& last) {
                    core.noteIgnoredDatagrams(which, count, last);
                });
        serve(core.listenAddress(which));
    }

    // WSJT-X's partners come unasked as the other programs' aims do, paced alike.
    WsjtxFollower& follower = core.wsjtx();
    const auto receive = [this, &follower](const QString& where) {
        follower.setError(m_wsjtx.serve(where));
    };
    connect(&follower, &WsjtxFollower::listenChanged, &m_wsjtx, receive);
    connect(&follower, &WsjtxFollower::aimWanted, &m_pacer, &AimPacer::aimAt);
    receive(follower.listen());
}
