// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"
#include "WindowWatch.h"

#include <QCoreApplication>

#include <cstdio>

namespace bench {

void benchStartup()
{
    std::printf(
        "\n6. Start-up: launch to window mapped, and to its first frame drawn, median of %d "
        "launches\n",
        g_runs * 2);
    if (qgetenv("DISPLAY").isEmpty()) {
        std::printf("  skipped: needs an X server (run under xvfb-run)\n");
        return;
    }
    const QString dir = QCoreApplication::applicationDirPath();
    struct Program
    {
        const char *name;
        QString path;
        QList<double> mapped, drawn;
        int missed = 0; // launches that showed no window, or drew none, in time
    };
    Program harkline { "Harkline", dir + "/../harkline", {}, {} };
    Program minimal { "minimal Qt window", dir + "/minimal-window", {}, {} };
    Program label { "Qt window with one label", dir + "/label-window", {}, {} };
    for (int run = 0; run < g_runs * 2; ++run) {
        for (Program *program : { &harkline, &minimal, &label }) {
            const WindowWatch::Times times = WindowWatch::launch(program->path);
            // A launch that failed is counted apart: as a time it would pull the median down.
            if (times.mappedMs < 0 || times.drawnMs < 0) {
                ++program->missed;
                continue;
            }
            program->mapped << times.mappedMs;
            program->drawn << times.drawnMs;
        }
    }
    int missed = 0;
    for (const Program *program : { &harkline, &minimal, &label }) {
        std::printf("  %-26s mapped %5.1f ms, first frame drawn %5.1f ms", program->name,
                    median(program->mapped), median(program->drawn));
        if (program->missed > 0)
            std::printf(", %d launches showed no window", program->missed);
        std::printf("\n");
        missed += program->missed;
    }
    const double mappedRatio = median(harkline.mapped) / median(minimal.mapped);
    const double drawnRatio = median(harkline.drawn) / median(minimal.drawn);
    std::printf("  Harkline / window with one label: mapped %.2fx, drawn %.2fx\n",
                median(harkline.mapped) / median(label.mapped),
                median(harkline.drawn) / median(label.drawn));
    printTarget("Harkline / minimal, window mapped",
                QStringLiteral("%1x").arg(mappedRatio, 0, 'f', 2), "<= 1.5x",
                mappedRatio <= 1.5 && missed == 0);
    printTarget("Harkline / minimal, first frame drawn",
                QStringLiteral("%1x").arg(drawnRatio, 0, 'f', 2), "<= 1.5x",
                drawnRatio <= 1.5 && missed == 0);
}

} // namespace bench
