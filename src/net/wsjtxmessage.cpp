// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/wsjtxmessage.h"

#include <QtEndian>

namespace Wsjtx {
namespace {

// Reads big-endian fields from the front; once anything runs past the end, every
// later read fails too.
class FieldReader {
  public:
    explicit FieldReader(QByteArrayView bytes) : m_rest(bytes) {}
    bool ok() const { return m_ok; }

    template <typename T> T number() {
        if (!take(sizeof(T)))
            return 0;
        return qFromBigEndian<T>(m_taken.data());
    }
    // QByteArray's stream form: a quint32 length then the bytes; 0xffffffff is a null
    // text, read as empty.
    QString utf8() {
        const quint32 length = number<quint32>();
        if (length == 0xffffffff || !take(length))
            return {};
        return QString::fromUtf8(m_taken);
    }

  private:
    bool take(qsizetype count) {
        m_ok = m_ok && count <= m_rest.size();
        m_taken = m_ok ? m_rest.first(count) : QByteArrayView();
        if (m_ok)
            m_rest = m_rest.sliced(count);
        return m_ok;
    }
    QByteArrayView m_rest;
    QByteArrayView m_taken;
    bool m_ok = true;
};

Decoded invalid(const char* why) {
    return {Decoded::Kind::Invalid, std::nullopt, QString::fromLatin1(why)};
}

} // namespace

Decoded decode(QByteArrayView datagram) {
    if (datagram.size() > maxDatagramBytes)
        return invalid("too long");
    FieldReader in(datagram);
    const quint32 magicRead = in.number<quint32>();
    const quint32 schema = in.number<quint32>();
    const quint32 type = in.number<quint32>();
    if (!in.ok())
        return invalid("too short");
    if (magicRead != magic)
        return invalid("not a WSJT-X message");
    // Schema 1 wrote with Qt 5.0's flawed stream format; 2 and 3 agree on every
    // field a status holds.
    if (schema != 2 && schema != 3)
        return invalid("unknown schema");
    if (type != statusType)
        return {Decoded::Kind::OtherType, std::nullopt, {}};
    Status status;
    status.id = in.utf8();
    status.dialFrequency = in.number<quint64>();
    status.mode = in.utf8();
    status.dxCall = in.utf8();
    in.utf8();             // report
    in.utf8();             // Tx mode
    in.number<quint8>();   // Tx enabled
    in.number<quint8>();   // transmitting
    in.number<quint8>();   // decoding
    in.number<quint32>();  // Rx DF
    in.number<quint32>();  // Tx DF
    status.deCall = in.utf8();
    status.deGrid = in.utf8();
    status.dxGrid = in.utf8();
    if (!in.ok())
        return invalid("status cut short");
    return {Decoded::Kind::Status, status, {}};
}

} // namespace Wsjtx
