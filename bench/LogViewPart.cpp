// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AlertRules.h"
#include "Bench.h"
#include "LogHub.h"
#include "LogSamples.h"
#include "LogTable.h"
#include "LogView.h"
#include "ShownRows.h"

#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include <cstdio>

namespace bench {

namespace {

// The record's memory, as the program gives it; the rest goes to a file.
constexpr qint64 RecordBudget = qint64(256) * 1024 * 1024;

struct ScanFigures
{
    double seconds = 0;
    double firstRowsMs = 0;
    double longestWaitMs = 0;
    qint64 rows = 0;
};

// A rule over every arrival, from setting it to the last datagram scanned: when the first rows
// came, and the longest the event loop waited for a turn meanwhile.
ScanFigures scan(LogHub &hub, const QString &rule)
{
    ShownRows rows(hub);
    QTimer beat; // a turn of the event loop
    beat.setInterval(0);
    QElapsedTimer sinceBeat;
    ScanFigures figures;
    QObject::connect(&beat, &QTimer::timeout, &beat, [&] {
        figures.longestWaitMs =
            std::max(figures.longestWaitMs, double(sinceBeat.nsecsElapsed()) / 1e6);
        sinceBeat.start();
    });
    QElapsedTimer timer;
    QObject::connect(&rows, &ShownRows::rowsAppended, &rows, [&] {
        if (figures.firstRowsMs == 0)
            figures.firstRowsMs = double(timer.nsecsElapsed()) / 1e6;
    });
    timer.start();
    sinceBeat.start();
    beat.start();
    rows.setRule(Rule::parse(rule));
    waitUntil([&] { return !rows.isScanning() && rows.scanned() == hub.arrivals().size(); },
              600000);
    figures.seconds = double(timer.nsecsElapsed()) / 1e9;
    figures.rows = rows.index().count();
    return figures;
}

} // namespace

// The Log View over a long run: opening it, jumping anywhere in its rows, and its filter over
// every arrival on both cores.
void benchLogView()
{
    const qint64 count = g_quick ? 2'000'000 : 20'000'000;
    const double perTwentyMillion = double(count) / 20e6; // the targets are for 20,000,000
    std::printf("\n16. The Log View over %lld arrivals of realistic syslog, median of %d runs\n",
                static_cast<long long>(count), g_runs);
    const QTemporaryDir spill;
    QTextDocument document;
    LogHub hub(&document);
    AlertRules alerts(hub);
    hub.model().arrivals().setStorage(RecordBudget, spill.path());
    QElapsedTimer filling;
    filling.start();
    for (qint64 i = 0; i < count; ++i)
        hub.append(syslogLine(quint32(i)), benchArrival(quint32(i)));
    processEventsFor(100);
    std::printf("  (recorded in %.1f s, %.0f MB resident)\n", double(filling.elapsed()) / 1e3,
                double(residentBytes()) / 1e6);

    QWidget main;
    main.resize(400, 140);
    main.show();
    processEventsFor(200);
    QList<double> openMs;
    QList<double> jumpMs;
    for (int run = 0; run < g_runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        LogView view(hub, alerts, &main);
        view.open(&main);
        // Painted now, as the screen would ask: the platform may put a repaint off.
        view.grab();
        openMs << double(timer.nsecsElapsed()) / 1e6;
        auto *table = view.findChild<LogTable *>();
        for (int jump = 0; jump < 20; ++jump) {
            table->verticalScrollBar()->setValue(
                int(QRandomGenerator::global()->bounded(table->verticalScrollBar()->maximum())));
            timer.restart();
            table->viewport()->grab();
            jumpMs << double(timer.nsecsElapsed()) / 1e6;
        }
    }
    std::printf(
        "  opening: %.0f ms to the first paint; a jump anywhere: %.1f ms median, %.1f ms at "
        "the 95th percentile to paint (its chunk read)\n",
        median(openMs), median(jumpMs), percentile(jumpMs, 95));
    printTarget("open", QStringLiteral("%1 ms").arg(median(openMs), 0, 'f', 0),
                QStringLiteral("<= 300 ms"), median(openMs) <= 300);

    const struct
    {
        const char *name;
        QString rule;
        double targetSeconds;
    } rules[] = {
        { "a text term", QStringLiteral("CRON"), 5 },
        { "a field term", QStringLiteral("host:fw-dmz sev:err"), 10 },
    };
    for (const auto &rule : rules) {
        QList<double> seconds, firstMs, waitMs;
        qint64 rows = 0;
        for (int run = 0; run < g_runs; ++run) {
            const ScanFigures figures = scan(hub, rule.rule);
            seconds << figures.seconds;
            firstMs << figures.firstRowsMs;
            waitMs << figures.longestWaitMs;
            rows = figures.rows;
        }
        std::printf("  %s (%s): %.2f s (%.0f arrivals a second), %lld rows, first rows after "
                    "%.0f ms, the event loop waited at most %.0f ms\n",
                    rule.name, qPrintable(rule.rule), median(seconds),
                    double(count) / median(seconds), static_cast<long long>(rows), median(firstMs),
                    median(waitMs));
        const double target = rule.targetSeconds * perTwentyMillion;
        printTarget(rule.name, QStringLiteral("%1 s").arg(median(seconds), 0, 'f', 2),
                    QStringLiteral("<= %1 s").arg(target, 0, 'f', 2), median(seconds) <= target);
        printTarget("the event loop's longest wait",
                    QStringLiteral("%1 ms").arg(median(waitMs), 0, 'f', 0),
                    QStringLiteral("<= 50 ms"), median(waitMs) <= 50);
    }
    std::printf("  %.0f MB resident in all\n", double(residentBytes()) / 1e6);

    // Following the tail: the box alone, the view open, the view open under a filter.
    const quint32 flood = g_quick ? 100000 : 500000;
    QList<double> alone, open, filtered;
    for (int run = 0; run < g_runs; ++run) {
        alone << cpuPerDatagramUs(0, flood);
        open << cpuPerDatagramUs(0, flood, {}, QString());
        filtered << cpuPerDatagramUs(0, flood, {}, QStringLiteral("7"));
    }
    std::printf("  at 50,000 a second: %.2f us a datagram with the box alone, %.2f us (%.2fx) "
                "with the view open, %.2f us (%.2fx) with the view open and filtering\n",
                median(alone), median(open), median(open) / median(alone), median(filtered),
                median(filtered) / median(alone));
    printTarget("the view open, filtering",
                QStringLiteral("%1x").arg(median(filtered) / median(alone), 0, 'f', 2),
                QStringLiteral("<= 1.3x"), median(filtered) / median(alone) <= 1.3);
}

} // namespace bench
