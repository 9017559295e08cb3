// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"
#include "LogFeed.h"
#include "LogSamples.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdio>
#include <malloc.h>

namespace bench {

double averageSyslogLength()
{
    constexpr int Sample = 10000;
    qint64 characters = 0;
    for (int i = 0; i < Sample; ++i)
        characters += syslogLine(quint32(i)).size();
    return double(characters) / Sample;
}

struct MemoryFigures
{
    double residentBytes = 0; // growth, in all
    double archivedLines = 0;
    double archiveBytes = 0;
    double recordBytes = 0;
    double longestPassMs = 0; // the longest insertion into the box, lines moving out included,
    double longestPassCpuMs = 0; // and the most processor time the window's thread spent in one
};

// What 'lines' lines of realistic syslog cost the process, arrived a thousand in each turn of the
// event loop, as a flood brings them.
MemoryFigures memoryFor(int lines)
{
    Harkline harkline;
    auto *feed = harkline.log->findChild<LogFeed *>();
    QElapsedTimer pass;
    double passCpu = 0;
    MemoryFigures figures;
    QObject::connect(feed, &LogFeed::aboutToInsert, feed, [&] {
        pass.start();
        passCpu = threadCpuSeconds();
    });
    QObject::connect(feed, &LogFeed::inserted, feed, [&] {
        figures.longestPassMs = std::max(figures.longestPassMs, double(pass.nsecsElapsed()) / 1e6);
        figures.longestPassCpuMs =
            std::max(figures.longestPassCpuMs, (threadCpuSeconds() - passCpu) * 1e3);
    });
    processEventsFor(100);
    malloc_trim(0);
    const qint64 before = residentBytes();
    for (int i = 0; i < lines; ++i) {
        harkline.window.appendLogLine(syslogLine(quint32(i)), benchArrival(quint32(i)));
        if (i % 1000 == 999)
            QCoreApplication::processEvents();
    }
    processEventsFor(200);
    malloc_trim(0);
    const LogModel &model = harkline.log->model();
    figures.residentBytes = double(residentBytes() - before);
    figures.archivedLines = double(model.archive().lineCount());
    figures.archiveBytes = double(model.archive().heldBytes());
    figures.recordBytes = double(model.arrivals().heldBytes());
    return figures;
}

void benchMemory()
{
    const QList<int> sizes =
        g_quick ? QList<int> { 200000, 2000000 } : QList<int> { 1000000, 20000000 };
    std::printf("\n4. Memory: resident growth for realistic syslog lines (varied hosts, programs, "
                "addresses; %d characters on average), arrivals recorded\n",
                int(std::round(averageSyslogLength())));
    for (const int lines : sizes) {
        const MemoryFigures figures = memoryFor(lines);
        std::printf("  %d lines: %.0f MB in all, %.0f bytes per line; the arrivals record %.1f "
                    "bytes per line; %.0f lines kept aside in the archive, %.1f bytes each; the "
                    "longest insertion %.1f ms, of the window's thread's time %.1f ms\n",
                    lines, figures.residentBytes / 1e6, figures.residentBytes / lines,
                    figures.recordBytes / lines, figures.archivedLines,
                    figures.archivedLines > 0 ? figures.archiveBytes / figures.archivedLines : 0,
                    figures.longestPassMs, figures.longestPassCpuMs);
        if (lines == sizes.last()) {
            printTarget("lines resident",
                        QStringLiteral("%1 GB").arg(figures.residentBytes / 1e9, 0, 'f', 2),
                        "< 2 GB at 20,000,000", figures.residentBytes < 2e9);
            printTarget("longest insertion while lines move out (thread time)",
                        QStringLiteral("%1 ms").arg(figures.longestPassCpuMs, 0, 'f', 1),
                        "<= 100 ms", figures.longestPassCpuMs <= 100);
        }
    }
}

} // namespace bench
