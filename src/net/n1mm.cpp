// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/n1mm.h"

#include "core/geography/geodesy.h"
#include "core/session/aimpacer.h"
#include "core/session/rotatorsession.h"
#include "core/text/textnumber.h"
#include "net/rotctl.h"

#include <QTimer>
#include <QUdpSocket>
#include <QXmlStreamReader>
#include <cmath>

namespace N1mm {

namespace {

double apart(double a, double b) {
    const double d = Geodesy::normalizedDegrees(a - b);
    return std::min(d, 360.0 - d);
}

} // namespace

std::optional<Command> parse(QByteArrayView datagram) {
    QXmlStreamReader xml(datagram.toByteArray());
    if (!xml.readNextStartElement() || xml.name() != u"N1MMRotor")
        return std::nullopt;
    Command c;
    std::optional<double> bearing;
    std::optional<double> offset = 0.0;
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == u"stop") {
            c.stop = true;
            continue;
        }
        const QString text =
            xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        if (name == u"rotor")
            c.rotor = text;
        else if (name == u"goazi")
            bearing = Rotctl::number(text.toLatin1());
        else if (name == u"offset")
            offset = text.isEmpty() ? 0.0 : Rotctl::number(text.toLatin1());
        else if (name == u"bidirectional")
            c.bidirectional = text == u"1" || text.compare(u"true", Qt::CaseInsensitive) == 0;
    }
    if (xml.hasError() || !offset || (!c.stop && !bearing))
        return std::nullopt;
    c.bearing = bearing.value_or(0);
    c.offset = *offset;
    return c;
}

double rotorTarget(const Command& command, std::optional<double> rotorHeading) {
    // Each within a turn first, so no sum of two large numbers overflows.
    const double target = Geodesy::normalizedDegrees(Geodesy::normalizedDegrees(command.bearing) - Geodesy::normalizedDegrees(command.offset));
    if (!command.bidirectional || !rotorHeading)
        return target;
    const double reverse = Geodesy::normalizedDegrees(target + 180);
    return apart(reverse, *rotorHeading) < apart(target, *rotorHeading) ? reverse : target;
}

QByteArray report(const QString& rotor, double heading) {
    const long tenths = std::lround(Geodesy::normalizedDegrees(heading) * 10) % 3600;
    return rotor.toUtf8() + " @ " + QByteArray::number(qlonglong(tenths));
}

} // namespace N1mm

N1mmListener::N1mmListener(RotatorSession& session, AimPacer& pacer, QObject* parent)
    : DatagramListener(QStringLiteral("N1MM"), parent), m_session(session), m_pacer(pacer),
      m_reportSocket(new QUdpSocket(this)), m_reportTimer(new QTimer(this)) {
    m_reportTimer->setInterval(reportInterval);
    connect(m_reportTimer, &QTimer::timeout, this, &N1mmListener::sendReport);
    connect(&session, &RotatorSession::headingChanged, this, &N1mmListener::sendReport);
}

void N1mmListener::setReportTo(std::optional<std::pair<QHostAddress, quint16>> where) {
    m_reportTo = std::move(where);
    if (m_reportTo)
        m_reportTimer->start();
    else
        m_reportTimer->stop();
}

std::optional<double> N1mmListener::rotorHeading() const {
    if (!m_session.headingKnown())
        return std::nullopt;
    // The controller's heading is geographic once AZIVEX's own offset is taken off.
    return m_session.bearing();
}

void N1mmListener::sendReport() {
    const std::optional<double> heading = rotorHeading();
    if (!m_reportTo || !heading)
        return;
    // N1MM asked for the antenna's bearing; it is shown the antenna's bearing back.
    const QString name = !m_rotorName.isEmpty()  ? m_rotorName
                         : !m_heardName.isEmpty() ? m_heardName
                                                  : QStringLiteral("AZIVEX");
    m_reportSocket->writeDatagram(N1mm::report(name, *heading + m_antennaOffset),
                                  m_reportTo->first, m_reportTo->second);
}

DatagramListener::Outcome N1mmListener::handle(const QByteArray& datagram, const QHostAddress&,
                                                quint16) {
    const std::optional<N1mm::Command> command = N1mm::parse(datagram);
    if (!command)
        return Outcome::NotUnderstood;
    // Another rotor's command is understood, and left to that rotor's program.
    if (!m_rotorName.isEmpty() && command->rotor.compare(m_rotorName, Qt::CaseInsensitive) != 0)
        return Outcome::Understood;
    if (!command->rotor.isEmpty())
        m_heardName = command->rotor;
    if (command->stop) {
        m_pacer.stop();
        return Outcome::Handled;
    }
    m_antennaOffset = command->offset;
    m_pacer.aimAt(N1mm::rotorTarget(*command, rotorHeading()));
    return Outcome::Handled;
}
