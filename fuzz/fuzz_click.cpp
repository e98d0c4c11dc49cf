// The click arithmetic: any pointer position, rectangle and offset text, checked
// against a long double reference, and the window's click handler on the fake port.
//
// Input: six 32-bit integers px, py, left, top, right, bottom (little-endian; as
// sign-extended 16-bit integers when bit 2 of the flags is set, which keeps most
// clicks on a plausible screen), one flag byte, then the offset text as UTF-8.
// Flag bit 0 also clicks the window's map at (px, py); bit 1 has the port closed.

#include "formrig.h"

#include "app/numeric.h"
#include "link/gotocommand.h"
#include "map/mapgeometry.h"
#include "ui/controls_widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

namespace {

FormRig rig;

bool fitsInt16(long double v) { return v >= -32768.0L && v <= 32767.0L; }

// Distance of v from the nearest half, where rounding changes its mind.
long double fromHalf(long double v) { return std::fabs(v - std::floor(v) - 0.5L); }

struct Reference {
    bool formed = false;      // the pixel arithmetic stays within 16 bits
    long double degrees = 0;  // D
    std::optional<long double> target; // T, when it is not near a rounding boundary
    bool targetSure = false;
};

Reference reference(std::int64_t px, std::int64_t py, std::int64_t left, std::int64_t top,
                    std::int64_t right, std::int64_t bottom, double offset) {
    Reference r;
    const long double x = px - left, y = py - top;
    const long double hw = std::nearbyint(static_cast<long double>(right - left) / 2);
    const long double hh = std::nearbyint(static_cast<long double>(bottom - top) / 2);
    if (!fitsInt16(x) || !fitsInt16(y) || !fitsInt16(hw) || !fitsInt16(hh))
        return r;
    // Whole pixels from here on: a half size of -0.5 rounds to 0, not to -0.
    const long double dx = static_cast<std::int64_t>(hw) - static_cast<std::int64_t>(x);
    const long double dy = static_cast<std::int64_t>(hh) - static_cast<std::int64_t>(y);
    if (!fitsInt16(dx) || !fitsInt16(dy))
        return r;
    r.formed = true;
    long double a = std::atan2(dy, dx);
    if (a < 0)
        a += 2 * 3.14159265358979323846264338327950288L;
    r.degrees = a * 360 / (2 * 3.14L) - 90;
    if (fromHalf(r.degrees) < 1e-9L)
        return r;
    const long double sum = std::nearbyint(r.degrees) + static_cast<long double>(offset);
    if (fromHalf(sum) < 1e-9L * std::max(1.0L, std::fabs(sum)))
        return r;
    r.targetSure = true;
    long double t = std::nearbyint(sum);
    if (!fitsInt16(t))
        return r; // no target
    if (t < 0)
        t += 360;
    r.target = t;
    return r;
}

// A target's go-to command: one to three characters of its decimal text behind "M",
// padded with zeros, or no command at all.
void checkCommand(qint16 target, const QString& context) {
    const QString text = QString::number(target);
    const std::optional<QString> command = formatGoTo(text);
    if (text.size() >= 1 && text.size() <= 3) {
        FUZZ_CHECK(command.has_value(), context);
        FUZZ_CHECK(command->size() == 4 && command->startsWith(u'M') && command->endsWith(text) &&
                       QStringView(*command).mid(1, 3 - text.size()) == QString(3 - text.size(), u'0'),
                   shown(*command) + context);
    } else {
        FUZZ_CHECK(!command.has_value(), shown(*command) + context);
    }
}

std::int64_t readInt(const QByteArray& in, qsizetype at, bool small) {
    unsigned char b[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && at + i < in.size(); ++i)
        b[i] = static_cast<unsigned char>(in.at(at + i));
    if (small)
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[0] | b[1] << 8));
    std::uint32_t u = std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
                      std::uint32_t(b[3]) << 24;
    std::int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

void clickWindow(int x, int y, const QString& offsetText, bool portOpen) {
    Form1& f = *rig.form;
    FakeMSComm& port = *rig.port;
    if (port.PortOpen() != portOpen)
        port.setPortOpen(portOpen);
    FUZZ_CHECK(port.PortOpen() == portOpen, QString());
    port.clearOutputs();
    f.Text5->setText(offsetText);
    f.Label5->setText(QStringLiteral("unchanged"));
    f.inputLine = QStringLiteral("AZ=1");

    f.Picture1_Click(x, y);

    const QString context = QStringLiteral(" click (%1, %2) on %3x%4, offset %5")
                                .arg(x).arg(y).arg(f.Picture1->width()).arg(f.Picture1->height())
                                .arg(shown(f.Text5->text()));
    const QList<QByteArray> out = port.outputs();
    FUZZ_CHECK(out.size() <= 1, QStringLiteral("%1 writes").arg(out.size()) + context);
    if (!out.isEmpty())
        FUZZ_CHECK(out.first().size() == 6 && out.first().startsWith('M') &&
                       out.first().endsWith("\r\n") && !out.first().left(4).contains('\r'),
                   shown(out.first()) + context);

    const std::optional<qint16> target =
        clickTarget(x, y, 0, 0, f.Picture1->width(), f.Picture1->height(), f.Text5->text());
    FUZZ_CHECK(f.Label1->text().isEmpty() || (!portOpen && target),
               shown(f.Label1->text()) + context);
    if (!target) {
        FUZZ_CHECK(f.Label5->text() == QStringLiteral("unchanged"), shown(f.Label5->text()) + context);
        FUZZ_CHECK(out.isEmpty(), shown(out.first()) + context);
        return;
    }
    FUZZ_CHECK(f.Label5->text() == QString::number(*target), shown(f.Label5->text()) + context);
    FUZZ_CHECK(f.inputLine.isEmpty(), shown(f.inputLine) + context);
    if (!portOpen) {
        FUZZ_CHECK(out.isEmpty(), shown(out.first()) + context);
        FUZZ_CHECK(f.Label1->text() == QStringLiteral("ﾎﾟｰﾄ = False"), shown(f.Label1->text()) + context);
        FUZZ_CHECK(f.Command6->text() == QStringLiteral("接続"), shown(f.Command6->text()) + context);
        return;
    }
    const std::optional<QString> command = formatGoTo(f.Label5->text());
    if (command)
        FUZZ_CHECK(out.size() == 1 && out.first() == command->toLatin1() + "\r\n", context);
    else
        FUZZ_CHECK(out.isEmpty(), shown(out.first()) + context);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    rig = startForm("fuzz_click", QStringLiteral("3,9600,N,8,1:0-0/0"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray in(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto flags = static_cast<unsigned char>(in.size() > 24 ? in.at(24) : 0);
    const bool small = flags & 4;
    const std::int64_t px = readInt(in, 0, small), py = readInt(in, 4, small),
                       left = readInt(in, 8, small), top = readInt(in, 12, small),
                       right = readInt(in, 16, small), bottom = readInt(in, 20, small);
    const QString offsetText = QString::fromUtf8(in.mid(25));
    const QString context = QStringLiteral(" pointer (%1, %2), rectangle (%3, %4, %5, %6), offset %7")
                                .arg(px).arg(py).arg(left).arg(top).arg(right).arg(bottom)
                                .arg(shown(offsetText));

    const auto i32 = [](std::int64_t v) { return static_cast<int>(v); };
    const std::optional<double> degrees =
        clickDegrees(i32(px), i32(py), i32(left), i32(top), i32(right), i32(bottom));
    const std::optional<qint16> target = clickTarget(i32(px), i32(py), i32(left), i32(top),
                                                     i32(right), i32(bottom), offsetText);
    const double offset = numericValue(offsetText);
    const Reference ref = reference(px, py, left, top, right, bottom, offset);

    FUZZ_CHECK(degrees.has_value() == ref.formed, context);
    if (!degrees) {
        FUZZ_CHECK(!target, QStringLiteral("target %1 without a direction").arg(*target) + context);
    } else {
        FUZZ_CHECK(*degrees >= -90 && *degrees < 270.1827, QString::number(*degrees) + context);
        FUZZ_CHECK(std::fabs(static_cast<long double>(*degrees) - ref.degrees) < 1e-9L,
                   QStringLiteral("D %1, reference %2")
                           .arg(*degrees, 0, 'g', 17)
                           .arg(static_cast<double>(ref.degrees), 0, 'g', 17) + context);
        if (ref.targetSure) {
            FUZZ_CHECK(target.has_value() == ref.target.has_value(),
                       QStringLiteral("target %1, reference %2")
                               .arg(target ? QString::number(*target) : QStringLiteral("none"),
                                    ref.target ? QString::number(double(*ref.target)) : QStringLiteral("none")) +
                           context);
            if (target)
                FUZZ_CHECK(*target == *ref.target,
                           QStringLiteral("target %1, reference %2")
                                   .arg(*target)
                                   .arg(static_cast<double>(*ref.target)) + context);
        }
    }
    if (target)
        checkCommand(*target, context);

    if (flags & 1)
        clickWindow(i32(px), i32(py), offsetText, !(flags & 2));
    return 0;
}
