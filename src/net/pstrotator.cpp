// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/pstrotator.h"

#include "core/geography/geodesy.h"
#include "core/session/aimpacer.h"
#include "core/session/rotatorsession.h"
#include "core/text/textnumber.h"

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
                    {Command::Kind::Azimuth, Geodesy::normalizedDegrees(*az)});
        } else if ((tag == u"STOP" || tag == u"PARK") && value != u"0") {
            commands.append({tag == u"STOP" ? Command::Kind::Stop : Command::Kind::Park});
        }
    }
    return commands;
}

QByteArray azimuthAnswer(double heading) {
    const double az = Geodesy::normalizedDegrees(heading);
    return "AZ:" + QByteArray::number(std::round(az * 10) / 10);
}

bool mayAnswer(const QHostAddress& sender, quint16 senderPort) {
    bool mapped = false; // an IPv4 sender on a dual-stack socket
    const quint32 v4 = sender.toIPv4Address(&mapped);
    const QHostAddress a = mapped ? QHostAddress(v4) : sender;
    return senderPort != 0 && !a.isNull() && !a.isBroadcast() && !a.isMulticast() &&
           a != QHostAddress::AnyIPv4 && a != QHostAddress::AnyIPv6;
}

bool AnswerLimit::take(const QHostAddress& to, std::chrono::milliseconds now) {
    const auto spent = [now](const Window& w) { return now - w.start >= std::chrono::seconds(1); };
    auto it = m_windows.find(to);
    if (it == m_windows.end()) {
        if (m_windows.size() >= addresses)
            m_windows.removeIf([&](const auto& entry) { return spent(entry.value()); });
        if (m_windows.size() >= addresses)
            return false;
        it = m_windows.insert(to, {now, 0});
    } else if (spent(*it)) {
        *it = {now, 0};
    }
    if (it->used >= perSecond)
        return false;
    ++it->used;
    return true;
}

} // namespace PstRotator

PstRotatorListener::PstRotatorListener(RotatorSession& session, AimPacer& pacer, QObject* parent)
    : DatagramListener(QStringLiteral("PstRotator"), parent), m_session(session), m_pacer(pacer),
      m_clock([] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
              std::chrono::steady_clock::now().time_since_epoch());
      }) {}

DatagramListener::Outcome PstRotatorListener::handle(const QByteArray& datagram,
                                                     const QHostAddress& sender,
                                                     quint16 senderPort) {
    using Kind = PstRotator::Command::Kind;
    const QList<PstRotator::Command> commands = PstRotator::parse(datagram);
    bool askedAzimuth = false;
    bool askedElevation = false;
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
            askedAzimuth = true;
            break;
        case Kind::AskElevation:
            askedElevation = true;
            break;
        }
    }
    const quint16 answerPort = quint16(port() + 1); // 0 past port 65535
    const auto answer = [&](const QByteArray& text) {
        if (answerPort != 0 && PstRotator::mayAnswer(sender, senderPort) &&
            m_answers.take(sender, m_clock()))
            socket().writeDatagram(text, sender, answerPort);
    };
    // A closed port's or a silent controller's last heading is stale: no answer
    // beats a wrong one.
    if (askedAzimuth && m_session.link().isOpen() && m_session.link().answering())
        answer(PstRotator::azimuthAnswer(m_session.bearing()));
    if (askedElevation)
        answer("EL:0"); // the rotator turns in azimuth only
    return commands.isEmpty() ? Outcome::NotUnderstood : Outcome::Handled;
}
