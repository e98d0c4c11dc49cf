// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/links/protocol.h"

#include "core/text/textnumber.h"

namespace Protocol {

QByteArray frame(const QString& command) {
    return command.toUtf8() + "\r\n";
}

std::optional<QString> goTo(const QString& azimuth) {
    switch (azimuth.size()) {
    case 1:
        return QStringLiteral("M00") + azimuth;
    case 2:
        return QStringLiteral("M0") + azimuth;
    case 3:
        return QStringLiteral("M") + azimuth;
    default:
        return std::nullopt;
    }
}

QString stepAzimuth(const QString& lastCommanded, int step) {
    double v = numericValue(lastCommanded) + step;
    if (step > 0 && v >= 360)
        v -= 360;
    else if (step < 0 && v <= 0)
        v += 360;
    // Whole numbers without a decimal point; fractions keep theirs (and then make
    // no command, being longer than three characters).
    return QString::number(v, 'g', 15);
}

QString switchCommand(int number, bool on) {
    return QStringLiteral("Y%1%2").arg(number).arg(on ? 1 : 0);
}

} // namespace Protocol

QList<ReplyParser::Reading> ReplyParser::read(QByteArrayView bytes) {
    QList<Reading> accepted;
    for (const char byte : bytes) {
        m_pending.append(QChar(static_cast<uchar>(byte)));
        if (std::optional<Reading> reading = step())
            accepted.append(*reading);
    }
    return accepted;
}

QStringList ReplyParser::feed(QByteArrayView bytes) {
    QStringList azimuths;
    for (const Reading& r : read(bytes))
        azimuths.append(r.azimuth);
    return azimuths;
}

std::optional<ReplyParser::Reading> ReplyParser::step() {
    if (!m_pending.startsWith(u'A')) {
        if (!m_pending.isEmpty())
            m_pending.remove(0, 1);
        return std::nullopt;
    }
    const bool complete = m_pending.size() > 5 && m_pending.startsWith(QLatin1String("AZ=")) &&
                          isAllDigits(QStringView(m_pending).mid(3, 3));
    if (complete) {
        const int sent = QStringView(m_pending).mid(3, 3).toInt();
        const int v = sent >= 360 ? sent - 360 : sent;
        m_pending.remove(0, 6);
        return Reading{QString::number(v), sent};
    }
    if (m_pending.size() > 5)
        m_pending.remove(0, 1);
    return std::nullopt;
}
