// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"
#include "LineFilter.h"

#include <QTimer>

#include <cstdio>

namespace bench {

// Applying a rule to every line in the box, and removing it: the time until every line was looked
// at, the processor time that took, and the longest the event loop waited for a turn meanwhile.
void benchRules()
{
    const int lines = g_quick ? 200000 : 1000000;
    Harkline harkline;
    prefill(harkline, lines, 0);
    std::printf("\n12. View rules on a log of %d lines (%d of them in the box): applying and "
                "removing a show-only rule, median of %d runs\n",
                lines, harkline.lines(), g_runs);
    auto *filter = harkline.log->findChild<LineFilter *>();
    QTimer beat; // a turn of the event loop
    beat.setInterval(0);
    QElapsedTimer sinceBeat;
    double longestWait = 0;
    QObject::connect(&beat, &QTimer::timeout, &beat, [&] {
        longestWait = std::max(longestWait, double(sinceBeat.nsecsElapsed()) / 1e6);
        sinceBeat.start();
    });
    QList<double> applyMs, applyCpuMs, applyWait, removeMs, removeCpuMs, removeWait;
    for (int run = 0; run < g_runs; ++run) {
        for (const QString &rule : { QStringLiteral("5"), QString() }) {
            const bool applying = !rule.isEmpty();
            QElapsedTimer timer;
            timer.start();
            const double cpuBefore = threadCpuSeconds();
            longestWait = 0;
            sinceBeat.start();
            beat.start();
            setShowOnly(harkline, rule);
            double doneMs = 0;
            double cpuMs = 0;
            QMetaObject::Connection done = QObject::connect(filter, &LineFilter::changed, [&] {
                if (!filter->isApplying() && doneMs == 0) {
                    doneMs = double(timer.nsecsElapsed()) / 1e6;
                    cpuMs = (threadCpuSeconds() - cpuBefore) * 1e3;
                }
            });
            waitUntil([&] { return doneMs > 0; }, 30000);
            QObject::disconnect(done);
            beat.stop();
            (applying ? applyMs : removeMs) << doneMs;
            (applying ? applyCpuMs : removeCpuMs) << cpuMs;
            (applying ? applyWait : removeWait) << longestWait;
            processEventsFor(200);
        }
    }
    std::printf("  applying: done after %.0f ms, %.0f ms of the window's thread, the event loop "
                "waited at most %.1f ms\n",
                median(applyMs), median(applyCpuMs), median(applyWait));
    std::printf("  removing: done after %.0f ms, %.0f ms of the window's thread, the event loop "
                "waited at most %.1f ms\n",
                median(removeMs), median(removeCpuMs), median(removeWait));
    const double work = std::max(median(applyCpuMs), median(removeCpuMs));
    const double wait = std::max(median(applyWait), median(removeWait));
    printTarget("applying or removing a rule, work", QStringLiteral("%1 ms").arg(work, 0, 'f', 0),
                "<= 300 ms", work <= 300);
    printTarget("longest the window's thread is held", QStringLiteral("%1 ms").arg(wait, 0, 'f', 1),
                "<= 50 ms", wait <= 50);

    const quint32 count = g_quick ? 50000 : 500000;
    QList<double> without, with;
    for (int run = 0; run < g_runs; ++run) {
        without << cpuPerDatagramUs(0, count);
        with << cpuPerDatagramUs(0, count, QStringLiteral("5"));
    }
    std::printf("  %u datagrams at 50,000/s: %.2f us each without a rule, %.2f us with one "
                "(medians)\n",
                count, median(without), median(with));
    printTarget("CPU per datagram, rule on / off",
                QStringLiteral("%1x").arg(median(with) / median(without), 0, 'f', 2), "<= 1.2x",
                median(with) <= 1.2 * median(without));
}

} // namespace bench
