// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Failure.h"
#include "PortText.h"

#include <QTest>

class tst_PortText : public QObject
{
    Q_OBJECT

private slots:
    void readLeadingNumber_data();
    void readLeadingNumber();
    void readLeadingNumberOverflows_data();
    void readLeadingNumberOverflows();
    void roundHalfEven_data();
    void roundHalfEven();
    void roundHalfEvenOverflows_data();
    void roundHalfEvenOverflows();
    void isPortAccepted_data();
    void isPortAccepted();
};

void tst_PortText::readLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("plain") << "514" << 514.0;
    QTest::newRow("leading blanks") << "  514" << 514.0;
    QTest::newRow("blank inside digits") << "5 14" << 514.0;
    QTest::newRow("blanks between every digit") << "5 1 4" << 514.0;
    QTest::newRow("tab and line feed inside") << "\t5\n1 4" << 514.0;
    QTest::newRow("carriage return is not removed") << "5\r14" << 5.0;
    QTest::newRow("trailing letters") << "514abc" << 514.0;
    QTest::newRow("letters only") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks only") << "   " << 0.0;
    QTest::newRow("zero") << "0" << 0.0;
    QTest::newRow("negative") << "-5" << -5.0;
    QTest::newRow("minus one") << "-1" << -1.0;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("sign without digits") << "-" << 0.0;
    QTest::newRow("32001") << "32001" << 32001.0;
    QTest::newRow("exponent") << "1E3" << 1000.0;
    QTest::newRow("lower-case exponent") << "2e2" << 200.0;
    QTest::newRow("D exponent") << "5D2" << 500.0;
    QTest::newRow("negative exponent") << "5140E-1" << 514.0;
    QTest::newRow("exponent with plus") << "5.14E+2" << 514.0;
    QTest::newRow("exponent without digits") << "7E" << 7.0;
    QTest::newRow("exponent with blank inside") << "1 E 3" << 1000.0;
    QTest::newRow("fraction") << "0.4" << 0.4;
    QTest::newRow("leading period") << ".5" << 0.5;
    QTest::newRow("half") << "514.5" << 514.5;
    QTest::newRow("second period ends it") << "1.2.3" << 1.2;
    QTest::newRow("comma ends it") << "514,7" << 514.0;
    QTest::newRow("32000.5") << "32000.5" << 32000.5;
    QTest::newRow("fullwidth digit is no digit") << QString::fromUtf8("５14") << 0.0;
    QTest::newRow("zero with huge exponent") << "0E99999" << 0.0;
    QTest::newRow("too small to tell from zero") << "1E-400" << 0.0;
    QTest::newRow("long fraction") << "0." + QString(5000, u'0') + "1" << 0.0;
    QTest::newRow("many leading zeros") << QString(1000, u'0') + "514" << 514.0;
    QTest::newRow("largest double") << "1.7976931348623157E308" << 1.7976931348623157e308;

    QTest::newRow("hex") << "&H202" << 514.0;
    QTest::newRow("hex lower case") << "&h7d00" << 32000.0;
    QTest::newRow("hex 7D00") << "&H7D00" << 32000.0;
    QTest::newRow("hex FFFF is 16-bit -1") << "&HFFFF" << -1.0;
    QTest::newRow("hex 8000 is 16-bit negative") << "&H8000" << -32768.0;
    QTest::newRow("hex five digits is 32-bit") << "&H10000" << 65536.0;
    QTest::newRow("hex FFFFFFFF is 32-bit -1") << "&HFFFFFFFF" << -1.0;
    QTest::newRow("hex 80000000") << "&H80000000" << -2147483648.0;
    QTest::newRow("hex leading zeros") << "&H00000000202" << 514.0;
    QTest::newRow("hex stops at non-digit") << "&H20G" << 32.0;
    QTest::newRow("hex without digits") << "&H" << 0.0;
    QTest::newRow("hex with blanks") << "& H 2 02" << 514.0;
    QTest::newRow("octal") << "&O1002" << 514.0;
    QTest::newRow("octal lower case") << "&o17" << 15.0;
    QTest::newRow("octal 177777 is 16-bit -1") << "&O177777" << -1.0;
    QTest::newRow("octal 200000 is 32-bit") << "&O200000" << 65536.0;
    QTest::newRow("octal stops at 8") << "&O178" << 15.0;
    QTest::newRow("ampersand alone") << "&" << 0.0;
    QTest::newRow("ampersand other letter") << "&X12" << 0.0;
    QTest::newRow("sign before prefix") << "-&H10" << 0.0;
}

void tst_PortText::readLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(ReadLeadingNumber(text), expected);
}

void tst_PortText::readLeadingNumberOverflows_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("1E400") << "1E400";
    QTest::newRow("negative 1E400") << "-1E400";
    QTest::newRow("just past the largest double") << "1.8E308";
    QTest::newRow("400 digits") << QString(400, u'9');
    QTest::newRow("huge exponent") << "1E99999999999999999999999";
    QTest::newRow("small mantissa, large exponent") << "0.000001E320";
    QTest::newRow("hex 33 bits") << "&H100000000";
    QTest::newRow("hex 100 digits") << "&H" + QString(100, u'F');
    QTest::newRow("octal 33 bits") << "&O40000000000";
}

void tst_PortText::readLeadingNumberOverflows()
{
    QFETCH(QString, text);
    try {
        ReadLeadingNumber(text);
        QFAIL("no overflow raised");
    } catch (const Failure &failure) {
        QCOMPARE(failure.kind(), FailureNumber::Overflow);
        QVERIFY2(failure.description().contains("too large"), failure.what());
        QVERIFY(failure.description().size() < 200);
    }
}

void tst_PortText::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("-1.5") << -1.5 << -2;
    QTest::newRow("0.4") << 0.4 << 0;
    QTest::newRow("0.6") << 0.6 << 1;
    QTest::newRow("514.5") << 514.5 << 514;
    QTest::newRow("515.5") << 515.5 << 516;
    QTest::newRow("just above half") << 514.5000001 << 515;
    QTest::newRow("largest") << 2147483647.0 << 2147483647;
    QTest::newRow("largest plus 0.4") << 2147483647.4 << 2147483647;
    QTest::newRow("smallest") << -2147483648.0 << int(-2147483648LL);
    QTest::newRow("smallest minus 0.5 rounds to even") << -2147483648.5 << int(-2147483648LL);
}

void tst_PortText::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(RoundHalfEven(value), expected);
}

void tst_PortText::roundHalfEvenOverflows_data()
{
    QTest::addColumn<double>("value");

    QTest::newRow("2^31") << 2147483648.0;
    QTest::newRow("largest plus 0.5 rounds up to 2^31") << 2147483647.5;
    QTest::newRow("below smallest") << -2147483649.0;
    QTest::newRow("1E300") << 1e300;
    QTest::newRow("infinity") << qInf();
    QTest::newRow("not a number") << qQNaN();
}

void tst_PortText::roundHalfEvenOverflows()
{
    QFETCH(double, value);
    try {
        RoundHalfEven(value);
        QFAIL("no overflow raised");
    } catch (const Failure &failure) {
        QCOMPARE(failure.kind(), FailureNumber::Overflow);
    }
}

void tst_PortText::isPortAccepted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("0") << "0" << false;
    QTest::newRow("abc") << "abc" << false;
    QTest::newRow("-1") << "-1" << false;
    QTest::newRow("-5") << "-5" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("32001") << "32001" << false;
    QTest::newRow("32000.5") << "32000.5" << false;
    QTest::newRow("&HFFFF") << "&HFFFF" << false;
    QTest::newRow("65535") << "65535" << false;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("32000") << "32000" << true;
    QTest::newRow("&H7D00") << "&H7D00" << true;
    QTest::newRow("0.4") << "0.4" << true;
    QTest::newRow("514abc") << "514abc" << true;
    QTest::newRow("tiny positive") << "1E-300" << true;
}

void tst_PortText::isPortAccepted()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QCOMPARE(IsPortAccepted(ReadLeadingNumber(text)), accepted);
}

QTEST_GUILESS_MAIN(tst_PortText)
#include "tst_porttext.moc"
