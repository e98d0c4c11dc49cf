// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/pstrotator.h"

#include "core/aimpacer.h"
#include "core/rotatorsession.h"
#include "core/textnumber.h"

#include <QRegularExpression>
#include <QUdpSocket>
#include <cmath>

namespace PstRotator {

std::optional<double> leadingNumber(QByteArrayView text) {
    static const QRegularExpression number(
        QStringLiteral("^\\s*([-+]?(\\d+([.,]\\d*)?|[.,]\\d+))"));
    const QRegularExpressionMatch m = number.match(QString::fromLatin1(text));
    if (!m.hasMatch())
        return std::nullopt;
    const double v = m.captured(1).replace(u',', u'.').toDouble();
    return std::isfinite(v) ? std::optional(v) : std::nullopt;
}

QList<Command> parse(QByteArrayView datagram) {
    const QString text = QString::fromLatin1(datagram);
    const qsizetype begin = text.indexOf(QLatin1StringView("<PST>"), 0, Qt::CaseInsensitive);
    const qsizetype end = text.lastIndexOf(QLatin1StringView("</PST>"), -1, Qt::CaseInsensitive);
    if (begin < 0 || end < begin)
        return {};
    static const QRegularExpression part(
        QStringLiteral("<([A-Za-z]+)>([^<]*)</\\1>|\\b(AZ|EL)\\?"),
        QRegularExpression::CaseInsensitiveOption);
    QList<Command> commands;
    auto it = part.globalMatch(QStringView(text).sliced(begin + 5, end - begin - 5));
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString tag = m.captured(1).toUpper();
        const QString value = m.captured(2).trimmed();
        const QString question = m.captured(3).toUpper();
        if (question == u"AZ") {
            commands.append({Command::Kind::AskAzimuth});
        } else if (question == u"EL") {
            commands.append({Command::Kind::AskElevation});
        } else if (tag == u"AZIMUTH") {
            if (const std::optional<double> az = leadingNumber(value.toLatin1()))
                commands.append(
                    {Command::Kind::Azimuth, std::fmod(std::fmod(*az, 360.0) + 360.0, 360.0)});
        } else if ((tag == u"STOP" || tag == u"PARK") && value != u"0") {
            commands.append({tag == u"STOP" ? Command::Kind::Stop : Command::Kind::Park});
        }
    }
    return commands;
}

QByteArray azimuthAnswer(double heading) {
    double az = std::fmod(heading, 360.0);
    if (az < 0)
        az += 360;
    return "AZ:" + QByteArray::number(std::round(az * 10) / 10);
}

} // namespace PstRotator

PstRotatorListener::PstRotatorListener(RotatorSession& session, AimPacer& pacer, QObject* parent)
    : DatagramListener(QStringLiteral("PstRotator"), parent), m_session(session), m_pacer(pacer) {}

bool PstRotatorListener::handle(const QByteArray& datagram, const QHostAddress& sender) {
    using Kind = PstRotator::Command::Kind;
    const QList<PstRotator::Command> commands = PstRotator::parse(datagram);
    const auto answer = [&](const QByteArray& text) {
        socket().writeDatagram(text, sender, quint16(port() + 1));
    };
    for (const PstRotator::Command& c : commands) {
        switch (c.kind) {
        case Kind::Azimuth:
            m_pacer.aimAt(c.azimuth);
            break;
        case Kind::Stop:
            m_pacer.stop();
            break;
        case Kind::Park:
            m_pacer.park();
            break;
        case Kind::AskAzimuth:
            // A closed port's last heading is stale: no answer beats a wrong one.
            if (m_session.link().isOpen())
                answer(PstRotator::azimuthAnswer(numericValue(m_session.heading()) -
                                                 numericValue(m_session.offset())));
            break;
        case Kind::AskElevation:
            answer("EL:0"); // the rotator turns in azimuth only
            break;
        }
    }
    return !commands.isEmpty();
}
