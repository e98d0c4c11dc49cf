// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text/textnumber.h"

#include <cmath>
#include <limits>

namespace {

bool isIgnored(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

// The text with blanks, tabs and line feeds taken out, ASCII only past that point.
QString squeezed(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!isIgnored(c))
            out.append(c);
    return out;
}

double radixValue(const QString& s, int start, int radix) {
    // Reads digits of the radix as far as they go; the result is the 16-bit (or, for
    // longer runs, 32-bit) two's-complement value, as such literals are read.
    quint64 v = 0;
    int digits = 0;
    for (int i = start; i < s.size(); ++i) {
        const int d = QStringView(s).mid(i, 1).toInt(nullptr, radix);
        const QChar c = s.at(i).toUpper();
        const bool ok = (radix == 16 && (c.isDigit() || (c >= u'A' && c <= u'F'))) ||
                        (radix == 8 && c >= u'0' && c <= u'7');
        if (!ok)
            break;
        v = (v * radix + d) & 0xFFFFFFFFull;
        ++digits;
    }
    if (digits == 0)
        return 0;
    if (v <= 0xFFFF)
        return static_cast<qint16>(static_cast<quint16>(v));
    return static_cast<qint32>(static_cast<quint32>(v));
}

} // namespace

double numericValue(const QString& text) {
    const QString s = squeezed(text);
    if (s.size() >= 2 && s.at(0) == u'&') {
        const QChar k = s.at(1).toUpper();
        if (k == u'H')
            return radixValue(s, 2, 16);
        if (k == u'O')
            return radixValue(s, 2, 8);
        if (k >= u'0' && k <= u'7')
            return radixValue(s, 1, 8);
        return 0;
    }
    // Longest prefix of the form [sign] digits [. digits] [(E|D) [sign] digits].
    int i = 0;
    const int n = static_cast<int>(s.size());
    QByteArray number;
    if (i < n && (s.at(i) == u'+' || s.at(i) == u'-'))
        number.append(static_cast<char>(s.at(i++).unicode()));
    int mantissaDigits = 0;
    while (i < n && s.at(i) >= u'0' && s.at(i) <= u'9') {
        number.append(static_cast<char>(s.at(i++).unicode()));
        ++mantissaDigits;
    }
    if (i < n && s.at(i) == u'.') {
        number.append('.');
        ++i;
        while (i < n && s.at(i) >= u'0' && s.at(i) <= u'9') {
            number.append(static_cast<char>(s.at(i++).unicode()));
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0;
    if (i < n && (s.at(i).toUpper() == u'E' || s.at(i).toUpper() == u'D')) {
        int j = i + 1;
        QByteArray exponent("e");
        if (j < n && (s.at(j) == u'+' || s.at(j) == u'-'))
            exponent.append(static_cast<char>(s.at(j++).unicode()));
        int expDigits = 0;
        while (j < n && s.at(j) >= u'0' && s.at(j) <= u'9') {
            exponent.append(static_cast<char>(s.at(j++).unicode()));
            ++expDigits;
        }
        if (expDigits > 0)
            number.append(exponent);
    }
    bool ok = false;
    const double v = number.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return 0;
    return v;
}

std::optional<qint16> roundToInt16(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value); // the default rounding mode: halves to even
    if (r < std::numeric_limits<qint16>::min() || r > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(r);
}

std::optional<qint16> wholeNumberOf(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return roundToInt16(v);
}

bool isAllDigits(QStringView text) {
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}
