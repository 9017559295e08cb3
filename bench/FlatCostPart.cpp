// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"

#include <cstdio>

namespace bench {

void benchFlatCost()
{
    const int full = g_quick ? 200000 : 1000000;
    const quint32 count = 50000;
    std::printf("\n3. Flat cost: CPU time per datagram, empty log against %d lines, %u datagrams "
                "at 50,000/s, arrival details in the margin\n",
                full, count);
    QList<double> empty, filled;
    for (int run = 0; run < g_runs; ++run) {
        empty << cpuPerDatagramUs(0, count);
        filled << cpuPerDatagramUs(full, count);
    }
    const double ratio = median(filled) / median(empty);
    std::printf("  empty log %.2f us, full log %.2f us per datagram (medians)\n", median(empty),
                median(filled));
    printTarget("full / empty", QStringLiteral("%1x").arg(ratio, 0, 'f', 2), "<= 1.5x",
                ratio <= 1.5);
}

} // namespace bench
