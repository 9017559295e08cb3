// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalCsv.h"
#include "ArrivalJson.h"
#include "ArrivalRecord.h"
#include "Bench.h"
#include "LogSamples.h"
#include "SaveProgress.h"

#include <QTemporaryDir>

#include <cstdio>

namespace bench {

// Saving the arrivals, from a snapshot as a save does: JSON Lines, which reads each payload as
// syslog, and CSV.
void benchExports()
{
    const int count = g_quick ? 200000 : 1000000;
    // The targets are for a million; a quick run scales them.
    const double perMillion = double(count) / 1e6;
    std::printf("\n13. Saving %d arrivals of realistic syslog, median of %d runs\n", count, g_runs);
    ArrivalRecord record;
    for (int i = 0; i < count; ++i)
        record.append(syslogLine(quint32(i)), benchArrival(quint32(i)));
    const QTemporaryDir dir;
    QList<double> csv, json;
    for (int run = 0; run < g_runs; ++run) {
        for (const bool asJson : { false, true }) {
            QFile file(dir.filePath(asJson ? "arrivals.jsonl" : "arrivals.csv"));
            if (!file.open(QIODevice::WriteOnly))
                return;
            QElapsedTimer timer;
            timer.start();
            // As a save does: from a snapshot of the record.
            const ArrivalSnapshot arrivals = record.snapshot();
            SaveProgress progress(arrivals.size());
            QString error;
            asJson ? writeArrivalsJsonLines(arrivals, file, progress, &error)
                   : writeArrivalsCsv(arrivals, file, progress, &error);
            file.close();
            (asJson ? json : csv) << double(timer.nsecsElapsed()) / 1e9;
        }
    }
    std::printf("  CSV %.2f s, JSON Lines %.2f s (%.2fx the time of CSV)\n", median(csv),
                median(json), median(json) / median(csv));
    printTarget("CSV", QStringLiteral("%1 s").arg(median(csv), 0, 'f', 2),
                QStringLiteral("<= %1 s").arg(0.6 * perMillion, 0, 'f', 2),
                median(csv) <= 0.6 * perMillion);
    printTarget("JSON Lines", QStringLiteral("%1 s").arg(median(json), 0, 'f', 2),
                QStringLiteral("<= %1 s").arg(1.0 * perMillion, 0, 'f', 2),
                median(json) <= 1.0 * perMillion);
}

} // namespace bench
