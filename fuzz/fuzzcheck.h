#pragma once

// A property that does not hold is a finding: print what was expected and abort, so
// libFuzzer keeps the input that shows it.

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void fuzzFail(const char* what, const QString& detail) {
    std::fprintf(stderr, "PROPERTY FAILED: %s\n  %s\n", what, detail.toUtf8().constData());
    std::abort();
}

#define FUZZ_CHECK(cond, detail)                                                                   \
    do {                                                                                           \
        if (!(cond))                                                                               \
            fuzzFail(#cond, (detail));                                                             \
    } while (false)

// A text with everything outside printable ASCII escaped, for the report.
inline QString shown(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            out += c;
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return u'"' + out + u'"';
}

inline QString shown(const QByteArray& bytes) {
    QString out;
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x20 && b < 0x7f)
            out += QLatin1Char(ch);
        else
            out += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    return u'"' + out + u'"';
}
