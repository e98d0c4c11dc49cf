#include "link/gotocommand.h"
#include "link/replyparser.h"

#include <QTest>

class TestReplyParser : public QObject {
    Q_OBJECT
private slots:
    void stream_data();
    void stream();
    void isAllDigit_data();
    void isAllDigit();
    void goTo_data();
    void goTo();
    void steps_data();
    void steps();
};

// Feeds the stream one character at a time, one step per character, and records
// "position:shown" for every accepted reply.
static QStringList feed(QString& acc, const QByteArray& stream) {
    const qsizetype leftOver = acc.size();
    bool caughtUp = false;
    QStringList shown;
    for (qsizetype i = 0; i < stream.size(); ++i) {
        acc += QChar::fromLatin1(stream.at(i));
        QString s;
        if (parseStep(acc, &s))
            shown << QStringLiteral("%1:%2").arg(i + 1).arg(s);
        // Once text left from before has been worked off, a reply never waits
        // behind more than six characters.
        caughtUp = caughtUp || (i >= leftOver && acc.size() <= 6);
        if (caughtUp && acc.size() > 6)
            return {QStringLiteral("accumulator grew: ") + acc};
    }
    return shown;
}

void TestReplyParser::stream_data() {
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("left");
    QTest::newRow("two replies") << "" << QByteArray("AZ=123\r\nAZ=124\r\n")
                                 << QStringList{"6:123", "14:124"} << "";
    QTest::newRow("leading zeros") << "" << QByteArray("AZ=045\r\n") << QStringList{"6:45"} << "";
    QTest::newRow("zero") << "" << QByteArray("AZ=000") << QStringList{"6:0"} << "";
    QTest::newRow("360 is 0") << "" << QByteArray("AZ=360") << QStringList{"6:0"} << "";
    QTest::newRow("999 is 639") << "" << QByteArray("AZ=999") << QStringList{"6:639"} << "";
    QTest::newRow("short reply skipped") << "" << QByteArray("AZ=12\r\nAZ=130\r\n")
                                         << QStringList{"13:130"} << "";
    QTest::newRow("extra digit dropped") << "" << QByteArray("AZ=0451\r\n") << QStringList{"6:45"}
                                         << "";
    QTest::newRow("lower case") << "" << QByteArray("az=045\r\n") << QStringList{} << "";
    QTest::newRow("non-digit") << "" << QByteArray("AZ=1a3\r\nAZ=200\r\n") << QStringList{"14:200"}
                               << "";
    QTest::newRow("waits for more") << "" << QByteArray("AXYZ") << QStringList{} << "AXYZ";
    QTest::newRow("then drops the A") << "" << QByteArray("AXYZ12") << QStringList{} << "XYZ12";
    QTest::newRow("settings line lag")
        << "3,9600,N,8,1:0-0/0" << QByteArray("AZ=001\r\nAZ=002\r\nAZ=003\r\nAZ=004\r\n")
        << QStringList{"19:1", "22:2", "25:3", "30:4"} << "";
}

void TestReplyParser::stream() {
    QFETCH(QString, initial);
    QFETCH(QByteArray, bytes);
    QString acc = initial;
    QTEST(feed(acc, bytes), "shown");
    QTEST(acc, "left");
}

void TestReplyParser::isAllDigit_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("digits");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("digits") << "1234567890" << true;
    QTest::newRow("space") << "12 " << false;
    QTest::newRow("sign") << "-12" << false;
    QTest::newRow("point") << "1.2" << false;
    QTest::newRow("full width") << "１２３" << false;
}

void TestReplyParser::isAllDigit() {
    QFETCH(QString, text);
    QTEST(IsAllDigit(text), "digits");
}

void TestReplyParser::goTo_data() {
    QTest::addColumn<QString>("azimuth");
    QTest::addColumn<QString>("command");
    QTest::newRow("one") << "5" << "M005";
    QTest::newRow("two") << "45" << "M045";
    QTest::newRow("three") << "184" << "M184";
    QTest::newRow("negative") << "-30" << "M-30";
    QTest::newRow("639") << "639" << "M639";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("four") << "1000" << "";
    QTest::newRow("fraction") << "12.5" << "";
}

void TestReplyParser::goTo() {
    QFETCH(QString, azimuth);
    QTEST(formatGoTo(azimuth).value_or(QString()), "command");
}

void TestReplyParser::steps_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("to");
    QTest::newRow("empty +10") << "" << 10 << "10";
    QTest::newRow("empty -10") << "" << -10 << "350";
    QTest::newRow("after CCW +10") << "184" << 10 << "194";
    QTest::newRow("after CW -10") << "179" << -10 << "169";
    QTest::newRow("350 +10 wraps to 0") << "350" << 10 << "0";
    QTest::newRow("0 -10") << "0" << -10 << "350";
    QTest::newRow("10 -10 gives 360") << "10" << -10 << "360";
    QTest::newRow("5 -10") << "5" << -10 << "355";
    QTest::newRow("stop copy 000") << "000" << 10 << "10";
    QTest::newRow("639 +10") << "639" << 10 << "289";
    QTest::newRow("639 -10") << "639" << -10 << "629";
    QTest::newRow("fraction") << "2.5" << 10 << "12.5";
    QTest::newRow("text") << "abc" << 10 << "10";
}

void TestReplyParser::steps() {
    QFETCH(QString, from);
    QFETCH(int, step);
    QTEST(stepAzimuth(from, step), "to");
}

QTEST_GUILESS_MAIN(TestReplyParser)
#include "tst_replyparser.moc"
