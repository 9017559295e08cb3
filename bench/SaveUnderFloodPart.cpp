// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalRecord.h"
#include "Bench.h"
#include "LogSamples.h"
#include "LogSaver.h"

#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace bench {

// Exporting a long record while a flood arrives: how long the window's thread is held at most
// (the longest wait of a turn of its event loop), and that every datagram of the flood is shown
// once, in order, or counted as dropped.
void benchSaveUnderFlood()
{
    const qint64 count = g_quick ? 1000000 : 10000000;
    const int rate = 50000;
    const int seconds = g_quick ? 5 : 20;
    std::printf("\n14. Exporting %lld arrivals as JSON Lines while %d datagrams a second arrive "
                "for %d s\n",
                static_cast<long long>(count), rate, seconds);
    Harkline harkline;
    // Straight into the record: the export reads only the record, and this many lines through
    // the box would take minutes before the part could begin. Lines made once and taken in turn:
    // making a realistic line costs ten times appending it.
    QStringList lines;
    for (quint32 i = 0; i < 65536; ++i)
        lines << syslogLine(i);
    auto &record = const_cast<ArrivalRecord &>(harkline.log->model().arrivals());
    for (qint64 i = 0; i < count; ++i)
        record.append(lines.at(i % lines.size()), benchArrival(quint32(i)));
    processEventsFor(200);

    const quint32 flood = quint32(rate * seconds);
    std::int64_t floodStart = 0;
    QProcess *sender = startSender(harkline.port, flood, rate, &floodStart);
    processEventsFor(int(SenderLeadNs / 1'000'000) + 1000);

    QTimer beat; // a turn of the event loop
    beat.setInterval(0);
    QElapsedTimer sinceBeat;
    double longestWait = 0;
    QObject::connect(&beat, &QTimer::timeout, &beat, [&] {
        longestWait = std::max(longestWait, double(sinceBeat.nsecsElapsed()) / 1e6);
        sinceBeat.start();
    });
    const QTemporaryDir dir;
    auto *saver = harkline.log->findChild<LogSaver *>();
    QElapsedTimer saving;
    saving.start();
    sinceBeat.start();
    beat.start();
    saver->saveArrivalsTo(dir.filePath("arrivals.jsonl"));
    waitUntil([&] { return !saver->isSaving(); }, 600000);
    const double saveSeconds = double(saving.nsecsElapsed()) / 1e9;
    beat.stop();
    const bool floodOutlasted =
        Numbered::nowNs() < floodStart + std::int64_t(seconds) * 1'000'000'000;
    finish(sender);
    harkline.settle(1000);
    const Numbered::Tally tally = Numbered::count(harkline.window.logText().toLatin1(), flood);
    const quint64 dropped = harkline.log->droppedTotal();

    std::printf(
        "  saved in %.1f s%s; the flood: %lld of %u shown, %llu dropped by the system, %lld "
        "out of place\n",
        saveSeconds, floodOutlasted ? "" : " (longer than the flood)",
        static_cast<long long>(tally.received), flood, static_cast<unsigned long long>(dropped),
        static_cast<long long>(tally.outOfOrder + tally.duplicates));
    printTarget("longest the window's thread is held",
                QStringLiteral("%1 ms").arg(longestWait, 0, 'f', 1), "<= 50 ms", longestWait <= 50);
    printTarget("the flood: shown, or counted as dropped",
                QStringLiteral("%1 of %2").arg(tally.received + qint64(dropped)).arg(flood), "all",
                tally.received + qint64(dropped) == qint64(flood)
                    && tally.outOfOrder + tally.duplicates == 0);
    printTarget("the flood: none lost", QString::number(dropped), "0", dropped == 0);
}

} // namespace bench
