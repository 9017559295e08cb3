// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalRecord.h"
#include "Bench.h"
#include "LogSamples.h"

#include <cstdio>

#include <malloc.h>

namespace bench {

// What the record costs in memory when it holds far more than its budget: appended straight to
// it, as fast as this thread can, with the spill to the disk going on beside.
void benchRecordMemory()
{
    const qint64 count = g_quick ? 10000000 : 100000000;
    std::printf(
        "\n15. The record of arrivals at %lld realistic syslog datagrams, its memory budget "
        "%lld MiB\n",
        static_cast<long long>(count),
        static_cast<long long>(ArrivalRecord::DefaultBudget / 1024 / 1024));
    // Made once and taken in turn: making a realistic line costs ten times appending it, and a
    // chunk never holds the same line twice.
    QStringList lines;
    for (quint32 i = 0; i < 65536; ++i)
        lines << syslogLine(i);
    malloc_trim(0);
    const qint64 before = residentBytes();
    QElapsedTimer timer;
    timer.start();
    const double cpuBefore = threadCpuSeconds();
    {
        ArrivalRecord record;
        qint64 mostResident = 0;
        for (qint64 i = 0; i < count; ++i) {
            record.append(lines.at(i % lines.size()), benchArrival(quint32(i)));
            if (i % 1000000 == 999999)
                mostResident = std::max(mostResident, residentBytes() - before);
        }
        const double appendSeconds = double(timer.nsecsElapsed()) / 1e9;
        const double cpu = threadCpuSeconds() - cpuBefore;
        waitUntil([&] { return record.heldBytes() <= ArrivalRecord::DefaultBudget; }, 600000);
        malloc_trim(0);
        const qint64 resident = residentBytes() - before;
        std::printf("  appended in %.1f s (%.2f us a datagram of this thread's time); on the disk "
                    "%.0f MB (%.1f bytes a datagram); held in memory %.0f MB; resident %.0f MB, "
                    "at most %.0f MB while appending; %lld not kept\n",
                    appendSeconds, cpu / double(count) * 1e6, double(record.spilledBytes()) / 1e6,
                    double(record.spilledBytes()) / double(count), double(record.heldBytes()) / 1e6,
                    double(resident) / 1e6, double(mostResident) / 1e6,
                    static_cast<long long>(record.notKept()));
        printTarget("resident, at most",
                    QStringLiteral("%1 MB").arg(double(mostResident) / 1e6, 0, 'f', 0),
                    QStringLiteral("<= %1 MB (the budget)")
                        .arg(double(ArrivalRecord::DefaultBudget) / 1e6, 0, 'f', 0),
                    mostResident <= ArrivalRecord::DefaultBudget && record.notKept() == 0);
    }
}

} // namespace bench
