// The receive path: any byte stream, fed in pieces of varying size through the fake
// port and the window's real receive handler, against an independent model of the
// reply parser.
//
// Input: byte 0 chooses what the accumulator holds before the stream (the data line
// start-up left there, nothing, or a line decoded from the next bytes as start-up
// would decode it); byte 1 chooses the piece sizes; the rest is the stream.

#include "formrig.h"

#include "app/settingscodec.h"

#include <QCoreApplication>
#include <QLabel>
#include <QRegularExpression>
#include <algorithm>
#include <cstdint>
#include <string>

namespace {

FormRig rig;
QString startupLine;

// The parser as the protocol describes it, written apart from the program's.
struct Model {
    std::u16string acc;
    std::size_t initialLeft = 0; // characters of the text left from before the stream
    bool settled = false;        // that text is gone and the accumulator is short again
    int shown = -1;              // last azimuth shown, -1 for none

    static bool digit(char16_t c) { return c >= u'0' && c <= u'9'; }

    void receive(char16_t c) {
        acc.push_back(c);
        std::size_t removed = 0;
        if (acc.empty()) {
        } else if (acc[0] != u'A') {
            removed = 1;
        } else if (acc.size() >= 6 && acc[1] == u'Z' && acc[2] == u'=' && digit(acc[3]) &&
                   digit(acc[4]) && digit(acc[5])) {
            const int v = (acc[3] - u'0') * 100 + (acc[4] - u'0') * 10 + (acc[5] - u'0');
            shown = v >= 360 ? v - 360 : v;
            removed = 6;
        } else if (acc.size() >= 6) {
            removed = 1;
        }
        acc.erase(0, removed);
        initialLeft -= std::min(initialLeft, removed);
        if (initialLeft == 0 && acc.size() <= 6)
            settled = true;
    }
};

const QRegularExpression azimuthText(QStringLiteral("^(0|[1-9][0-9]{0,2})$"));

void checkState(const Model& m, qsizetype leftoverSize, qsizetype fed) {
    Form1& f = *rig.form;
    const QString where = QStringLiteral(" after %1 bytes").arg(fed);
    const QString label = f.Label4->text();
    if (label != QStringLiteral("000")) {
        FUZZ_CHECK(azimuthText.match(label).hasMatch(), shown(label) + where);
        FUZZ_CHECK(label.toInt() <= 639, shown(label) + where);
    }
    const QString want = m.shown < 0 ? QStringLiteral("000") : QString::number(m.shown);
    FUZZ_CHECK(label == want, QStringLiteral("Label4 %1, expected %2").arg(shown(label), want) + where);

    const QString acc = QString::fromStdU16String(m.acc);
    FUZZ_CHECK(f.inputLine == acc,
               QStringLiteral("inputLine %1, expected %2").arg(shown(f.inputLine), shown(acc)) + where);
    FUZZ_CHECK(f.inputLine.size() <= std::max<qsizetype>(leftoverSize, 6), shown(f.inputLine) + where);
    if (m.settled)
        FUZZ_CHECK(f.inputLine.size() <= 6, shown(f.inputLine) + where);
    FUZZ_CHECK(rig.port->outputs().isEmpty(), shown(rig.port->allOutput()) + where);
}

// Small deterministic generator for the piece sizes, seeded from the input.
struct Pieces {
    std::uint32_t state;
    qsizetype largest;
    qsizetype next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return 1 + static_cast<qsizetype>(state % static_cast<std::uint32_t>(largest));
    }
};

void deliver(const QByteArray& piece) {
    rig.port->inject(piece);
    // The fake raises OnComm from the event loop; the handler takes every waiting
    // byte in one run.
    for (int i = 0; rig.port->InBufferCount() != 0; ++i) {
        FUZZ_CHECK(i < 100, QStringLiteral("the handler leaves bytes waiting"));
        QCoreApplication::processEvents();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rig = startForm("fuzz_receive", QStringLiteral("3,9600,N,8,1:0-0/0"));
    startupLine = rig.form->inputLine;
    if (startupLine != QStringLiteral("3,9600,N,8,1:0-0/0"))
        fuzzFail("start-up leaves its data line in inputLine", startupLine);
    if (rig.port->InputLen() != 1 || rig.port->RThreshold() != 1)
        fuzzFail("start-up arms the receive notification", QString());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray in(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto mode = static_cast<unsigned char>(in.isEmpty() ? 0 : in.at(0));
    in.remove(0, 1);
    QString leftover;
    switch (mode & 3) {
    case 0:
    case 1:
        leftover = startupLine;
        break;
    case 2:
        break; // as after a rotation command or a map click
    case 3: {
        const qsizetype n = mode >> 2;
        leftover = SettingsCodec::decodeLine(in.left(n));
        in.remove(0, n);
        break;
    }
    }
    const auto split = static_cast<unsigned char>(in.isEmpty() ? 0 : in.at(0));
    in.remove(0, 1);
    static constexpr qsizetype largest[] = {1, 1, 2, 3, 8, 16, 64, 1 << 20};
    Pieces pieces{0x9E3779B9u ^ (split >> 3) ^ (std::uint32_t(size) << 8), largest[split & 7]};

    Form1& f = *rig.form;
    f.inputLine = leftover;
    f.Label4->setText(QStringLiteral("000"));
    Model m;
    m.acc = leftover.toStdU16String();
    m.initialLeft = m.acc.size();
    m.settled = m.acc.size() <= 6 && m.initialLeft == 0;

    qsizetype fed = 0;
    while (fed < in.size()) {
        const QByteArray piece = in.mid(fed, pieces.next());
        deliver(piece);
        for (char c : piece)
            m.receive(static_cast<char16_t>(static_cast<unsigned char>(c)));
        fed += piece.size();
        checkState(m, leftover.size(), fed);
    }
    return 0;
}
