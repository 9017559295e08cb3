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

namespace {

// Exports 'count' arrivals while a flood arrives, and prints what it took.
void saveUnderFlood(qint64 count)
{
    const int rate = 50000;
    const int seconds = g_quick ? 5 : 20;
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

    // A beat every few milliseconds, late by as long as the window's thread was held: a beat at
    // every turn of the event loop would keep the thread busy and measure itself.
    constexpr int BeatMs = 5;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(BeatMs);
    QElapsedTimer sinceBeat;
    double longestWait = 0;
    QObject::connect(&beat, &QTimer::timeout, &beat, [&] {
        longestWait = std::max(longestWait, double(sinceBeat.nsecsElapsed()) / 1e6 - BeatMs);
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

} // namespace

// Exporting a long record while a flood arrives: how long the window's thread is held at most
// (how late a beat of its event loop comes), and that every datagram of the flood is shown once,
// in order, or counted as dropped. At Debian's stock limit of the socket's buffer, and as root
// again at the package's.
void benchSaveUnderFlood()
{
    const qint64 count = g_quick ? 1000000 : 10000000;
    std::printf("\n14. Exporting %lld arrivals as JSON Lines while 50,000 datagrams a second "
                "arrive, net.core.rmem_max %lld\n",
                static_cast<long long>(count), static_cast<long long>(BufferLimit::read()));
    saveUnderFlood(count);
    const qint64 limit = BufferLimit::read();
    if (!BufferLimit::set(BufferLimit::Package))
        return;
    std::printf("\n14b. The same with the Debian package's net.core.rmem_max, %lld\n",
                static_cast<long long>(BufferLimit::Package));
    saveUnderFlood(count);
    BufferLimit::set(limit);
}

} // namespace bench
