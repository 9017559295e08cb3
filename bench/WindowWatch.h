// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_BENCH_WINDOWWATCH_H
#define HARKLINE_BENCH_WINDOWWATCH_H

#include <QString>

// Times a program from launch until the X server maps its first top-level window: what a person
// sees as "the window is there".
class WindowWatch
{
public:
    // Returns the milliseconds, or a negative number when no window came within 'timeoutMs'.
    static double launchToMappedMs(const QString &program, int timeoutMs = 10000);
};

#endif // HARKLINE_BENCH_WINDOWWATCH_H
