// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_BENCH_PARTS_H
#define HARKLINE_BENCH_PARTS_H

#include <QList>
#include <QString>

#include <utility>

namespace bench {

// Each part measures one thing and prints its figures against their targets.
void benchBurst();
void benchSustained();
void benchFlatCost();
void benchMemory();
void benchLatency();
void benchStartup();
void benchCpu();
void benchLongLines();
void benchFind();
void benchFlood();
void benchCodecs();
void benchRules();
void benchExports();
void benchSaveUnderFlood();
void benchRecordMemory();
void benchLogView();
void benchAlerts();

// By the names a run takes, in the order a whole run goes through them.
inline QList<std::pair<QString, void (*)()>> parts()
{
    return {
        { "burst", benchBurst },
        { "sustained", benchSustained },
        { "flat", benchFlatCost },
        { "memory", benchMemory },
        { "latency", benchLatency },
        { "startup", benchStartup },
        { "cpu", benchCpu },
        { "long", benchLongLines },
        { "find", benchFind },
        { "flood", benchFlood },
        { "codecs", benchCodecs },
        { "rules", benchRules },
        { "exports", benchExports },
        { "saveflood", benchSaveUnderFlood },
        { "record", benchRecordMemory },
        { "logview", benchLogView },
        { "alerts", benchAlerts },
    };
}

} // namespace bench

#endif // HARKLINE_BENCH_PARTS_H
