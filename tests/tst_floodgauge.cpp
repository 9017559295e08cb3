// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FloodGauge.h"

#include <QTest>

using Arrivals = QList<std::pair<qint64, qint64>>; // (time in µs, datagrams read at once)

class tst_FloodGauge : public QObject
{
    Q_OBJECT

private slots:
    void inFlood_data();
    void inFlood();
    void floodLength_data();
    void floodLength();
};

namespace {

// 'perRead' datagrams every 'everyUs' from 0 to 'untilUs'.
Arrivals steady(qint64 perRead, qint64 everyUs, qint64 untilUs)
{
    Arrivals arrivals;
    for (qint64 t = 0; t <= untilUs; t += everyUs)
        arrivals.append({ t, perRead });
    return arrivals;
}

} // namespace

void tst_FloodGauge::inFlood_data()
{
    QTest::addColumn<Arrivals>("arrivals");
    QTest::addColumn<qint64>("askedAtUs");
    QTest::addColumn<bool>("expected");

    QTest::newRow("nothing arrived") << Arrivals {} << qint64(0) << false;
    QTest::newRow("99 in one read") << Arrivals { { 0, 99 } } << qint64(0) << false;
    QTest::newRow("100 in one read") << Arrivals { { 0, 100 } } << qint64(0) << true;
    QTest::newRow("100 in ten reads within a millisecond")
        << steady(10, 90, 810) << qint64(810) << true;
    QTest::newRow("100 split by a window's end")
        << Arrivals { { 0, 50 }, { 1000, 50 } } << qint64(1000) << false;
    QTest::newRow("100 just inside one window")
        << Arrivals { { 0, 50 }, { 999, 50 } } << qint64(999) << true;
    QTest::newRow("50,000 a second, steadily") << steady(5, 100, 20000) << qint64(20000) << false;
    QTest::newRow("one at a time, 90,000 a second")
        << steady(1, 11, 20000) << qint64(20000) << false;
    QTest::newRow("150,000 a second, steadily") << steady(15, 100, 20000) << qint64(20000) << true;
    QTest::newRow("just before quiet") << Arrivals { { 0, 100 } } << qint64(2999) << true;
    QTest::newRow("quiet") << Arrivals { { 0, 100 } } << qint64(3000) << false;
    QTest::newRow("a trickle after a flood does not prolong it")
        << Arrivals { { 0, 100 }, { 1500, 1 }, { 2500, 1 } } << qint64(3000) << false;
    QTest::newRow("a second flood prolongs it")
        << Arrivals { { 0, 100 }, { 2000, 100 } } << qint64(4999) << true;
}

void tst_FloodGauge::inFlood()
{
    QFETCH(Arrivals, arrivals);
    QFETCH(qint64, askedAtUs);
    QFETCH(bool, expected);

    // The clock a program reads starts near zero; a gauge must not take its first readings for a
    // flood that happened before.
    for (const qint64 originUs : { qint64(0), qint64(86'400'000'000) }) {
        FloodGauge gauge;
        for (const auto &[atUs, datagrams] : arrivals)
            gauge.count((originUs + atUs) * 1000, datagrams);
        QCOMPARE(gauge.inFlood((originUs + askedAtUs) * 1000), expected);
    }
}

void tst_FloodGauge::floodLength_data()
{
    QTest::addColumn<Arrivals>("arrivals");
    QTest::addColumn<qint64>("askedAtUs");
    QTest::addColumn<qint64>("expectedUs");

    QTest::newRow("no flood") << steady(5, 100, 20000) << qint64(20000) << qint64(0);
    QTest::newRow("from the window that made it one")
        << steady(15, 100, 20000) << qint64(20000) << qint64(20000 - 600);
    QTest::newRow("one window, a little after")
        << Arrivals { { 0, 100 } } << qint64(2000) << qint64(2000);
    QTest::newRow("over once quiet") << Arrivals { { 0, 100 } } << qint64(3000) << qint64(0);
    QTest::newRow("a second window before quiet continues it")
        << Arrivals { { 0, 100 }, { 2999, 100 } } << qint64(4000) << qint64(4000);
    QTest::newRow("a window after a short break continues it")
        << Arrivals { { 0, 100 }, { 99999, 100 } } << qint64(100000) << qint64(100000);
    QTest::newRow("a window after a long break starts another")
        << Arrivals { { 0, 100 }, { 100000, 100 } } << qint64(101000) << qint64(1000);
}

void tst_FloodGauge::floodLength()
{
    QFETCH(Arrivals, arrivals);
    QFETCH(qint64, askedAtUs);
    QFETCH(qint64, expectedUs);

    FloodGauge gauge;
    for (const auto &[atUs, datagrams] : arrivals)
        gauge.count(atUs * 1000, datagrams);
    QCOMPARE(gauge.floodLengthNs(askedAtUs * 1000), expectedUs * 1000);
}

QTEST_APPLESS_MAIN(tst_FloodGauge)
#include "tst_floodgauge.moc"
