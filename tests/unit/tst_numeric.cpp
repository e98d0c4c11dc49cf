#include "app/numeric.h"

#include <QTest>

class TestNumeric : public QObject {
    Q_OBJECT
private slots:
    void numericValue_data();
    void numericValue();
    void whole_data();
    void whole();
    void wholeNumberOf_data();
    void wholeNumberOf();
};

void TestNumeric::numericValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("integer") << "184" << 184.0;
    QTest::newRow("leading zeros") << "000" << 0.0;
    QTest::newRow("negative") << "-30" << -30.0;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("fraction") << "12.5" << 12.5;
    QTest::newRow("leading point") << ".5" << 0.5;
    QTest::newRow("stops at letter") << "12abc" << 12.0;
    QTest::newRow("blanks ignored") << " 1 2\t3\n" << 123.0;
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("D exponent") << "2D2" << 200.0;
    QTest::newRow("dangling exponent") << "5e" << 5.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("hex") << "&H1F" << 31.0;
    QTest::newRow("hex 16-bit negative") << "&HFFFF" << -1.0;
    QTest::newRow("octal") << "&O17" << 15.0;
    QTest::newRow("sign only") << "-" << 0.0;
    QTest::newRow("full width digits") << "１２" << 0.0;
    QTest::newRow("overflow") << "1e999" << 0.0;
}

void TestNumeric::numericValue() {
    QFETCH(QString, text);
    QTEST(::numericValue(text), "value");
}

void TestNumeric::whole_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("result"); // 99999: cannot be formed
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("-1.5") << -1.5 << -2;
    QTest::newRow("0.0456") << 0.0456 << 0;
    QTest::newRow("270.18") << 270.1826 << 270;
    QTest::newRow("max") << 32767.4 << 32767;
    QTest::newRow("above max") << 32767.5 << 99999;
    QTest::newRow("min") << -32768.0 << -32768;
    QTest::newRow("below min") << -32768.6 << 99999;
    QTest::newRow("nan") << std::nan("") << 99999;
}

void TestNumeric::whole() {
    QFETCH(double, value);
    const auto w = Whole(value);
    QTEST(w ? int(*w) : 99999, "result");
}

void TestNumeric::wholeNumberOf_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("result");
    QTest::newRow("digits") << "4" << 4;
    QTest::newRow("blanks") << " 12 " << 12;
    QTest::newRow("letters") << "abc" << 99999;
    QTest::newRow("empty") << "" << 99999;
    QTest::newRow("mixed") << "TEC (COM4" << 99999;
    QTest::newRow("too big") << "70000" << 99999;
}

void TestNumeric::wholeNumberOf() {
    QFETCH(QString, text);
    const auto w = ::wholeNumberOf(text);
    QTEST(w ? int(*w) : 99999, "result");
}

QTEST_GUILESS_MAIN(TestNumeric)
#include "tst_numeric.moc"
