// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_BENCH_WINDOWWATCH_H
#define HARKLINE_BENCH_WINDOWWATCH_H

#include <QString>

// Times a program from launch until the X server maps its first top-level window, and until the
// program has drawn that window's first frame: what a person sees as "the window is there".
class WindowWatch
{
public:
    struct Times
    {
        double mappedMs = -1; // negative when no window came
        double drawnMs = -1;
    };
    static Times launch(const QString &program, int timeoutMs = 10000);
};

#endif // HARKLINE_BENCH_WINDOWWATCH_H
