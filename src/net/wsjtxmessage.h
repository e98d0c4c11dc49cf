// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// The UDP datagrams WSJT-X and JTDX send to a server: a big-endian header (magic,
// schema), the message type, then the fields as Qt's QDataStream writes them. Only
// the Status message matters here; it is read up to the DX grid, as later fields
// are appended from version to version and older senders stop earlier.
namespace Wsjtx {
constexpr quint32 magic = 0xadbccbda;
// A status is a few hundred bytes; anything far larger is not one.
constexpr qsizetype maxDatagramBytes = 4096;
constexpr quint32 statusType = 1;

struct Status {
    QString id; // the sending instance
    quint64 dialFrequency = 0; // Hz
    QString mode;
    QString dxCall;
    QString deCall;
    QString deGrid;
    QString dxGrid;
};

struct Decoded {
    enum class Kind { Status, OtherType, Invalid };
    Kind kind = Kind::Invalid;
    std::optional<Status> status; // Status only
    QString problem;              // Invalid only: why, for the operator
};

// Never fails on any bytes: a datagram too short, too long, of an unknown schema or
// with a field running past its end is Invalid.
Decoded decode(QByteArrayView datagram);
} // namespace Wsjtx
