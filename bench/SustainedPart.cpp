// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"

#include <climits>
#include <cstdio>

namespace bench {

void benchSustained()
{
    const int rate = 50000;
    const int seconds = g_quick ? 3 : 10;
    const quint32 count = quint32(rate * seconds);
    std::printf("\n2. Sustained: %d datagrams/s for %d s\n", rate, seconds);

    Harkline harkline;
    QList<std::int64_t> paints;
    struct PaintCounter : QObject
    {
        QList<std::int64_t> *paints;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                *paints << Numbered::nowNs();
            return false;
        }
    } counter;
    counter.paints = &paints;
    harkline.log->viewport()->installEventFilter(&counter);

    std::int64_t start = 0;
    QProcess *sender = startSender(harkline.port, count, rate, &start);
    finish(sender);
    const std::int64_t end = Numbered::nowNs();
    harkline.settle();
    const Numbered::Tally tally = Numbered::count(harkline.window.logText().toLatin1(), count);

    // The fewest repaints in any whole second of the flood.
    int fewest = INT_MAX;
    for (std::int64_t from = start; from + 1'000'000'000 <= end; from += 100'000'000) {
        const auto inSecond = std::count_if(paints.cbegin(), paints.cend(), [&](std::int64_t t) {
            return t >= from && t < from + 1'000'000'000;
        });
        fewest = std::min(fewest, int(inSecond));
    }
    printTarget("nothing lost",
                QStringLiteral("%1 of %2, %3 out of place")
                    .arg(tally.received)
                    .arg(count)
                    .arg(tally.outOfOrder + tally.duplicates),
                "all, in order",
                tally.received == count && tally.outOfOrder == 0 && tally.duplicates == 0);
    printTarget("repaints in the slowest second", QString::number(fewest), ">= 10", fewest >= 10);

    // Stop in the middle of a flood: how long until the window is gone and the port free.
    QList<double> stops;
    for (int run = 0; run < g_runs; ++run) {
        Harkline flooded;
        QProcess *flood = startSender(flooded.port, count, rate);
        processEventsFor(seconds * 500);
        QElapsedTimer stop;
        stop.start();
        // Queued behind whatever the flood has already put in the event loop, as a click is.
        QMetaObject::invokeMethod(flooded.window.findChild<QAbstractButton *>("Command2"),
                                  &QAbstractButton::click, Qt::QueuedConnection);
        waitUntil([&] { return !flooded.window.isVisible(); }, 10000);
        stops << double(stop.nsecsElapsed()) / 1e6;
        flood->kill();
        finish(flood);
    }
    printTarget("Stop during the flood to window gone (median)",
                QStringLiteral("%1 ms").arg(median(stops), 0, 'f', 1), "<= 250 ms",
                median(stops) <= 250);
}

} // namespace bench
