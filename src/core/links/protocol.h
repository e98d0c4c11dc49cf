// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The rotator controller's line protocol: every command is one ASCII line ended by
// CR LF; the controller reports its azimuth as "AZ=" and three digits.
namespace Protocol {

inline const QString turnCcw = QStringLiteral("L");
inline const QString turnCw = QStringLiteral("R");
inline const QString stop = QStringLiteral("A");

// The command text framed for the line: its bytes followed by CR LF.
QByteArray frame(const QString& command);

// The go-to command for an azimuth text, by its length: 1 to 3 characters are
// padded with zeros behind "M"; any other length gives no command.
std::optional<QString> goTo(const QString& azimuth);

// The step buttons' arithmetic on the last commanded azimuth text: +10 keeps the
// result below 360, -10 keeps it above 0 (so 10 steps down to 360).
QString stepAzimuth(const QString& lastCommanded, int step);

// "Y", the switch number, "1" to switch on or "0" to switch off.
QString switchCommand(int number, bool on);

} // namespace Protocol

// The receive accumulator and its parser. Every received character is appended and
// followed by one parse step, which drops a character that cannot start a reply,
// accepts a complete "AZ=ddd" reply or waits for more; so text already waiting (the
// settings line the accumulator starts with) delays replies without losing them.
class ReplyParser {
  public:
    // Replaces what is waiting.
    void seed(const QString& text) { m_pending = text; }
    void clear() { m_pending.clear(); }
    const QString& pending() const { return m_pending; }

    // An accepted reply: the azimuth as shown (0 to 359 as received, 360 and more
    // less 360) and the three digits as the controller sent them.
    struct Reading {
        QString azimuth;
        int position = 0;
    };
    // Takes received bytes (single-byte text); returns the replies accepted, in order.
    QList<Reading> read(QByteArrayView bytes);
    // The same, their azimuth texts only.
    QStringList feed(QByteArrayView bytes);

    // One step over the accumulator; the accepted reply, if any.
    std::optional<Reading> step();

  private:
    QString m_pending;
};
