// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WindowWatch.h"

#include <QElapsedTimer>
#include <QProcess>

#include <X11/Xlib.h>

#include <poll.h>

double WindowWatch::launchToMappedMs(const QString &program, int timeoutMs)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return -1;
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    double mapped = -1;
    while (mapped < 0 && timer.elapsed() < timeoutMs) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            // Qt maps a few helper windows of its own, none of them larger than 3 x 3.
            if (event.type == MapNotify) {
                XWindowAttributes attributes;
                if (XGetWindowAttributes(display, event.xmap.window, &attributes)
                    && attributes.width > 10 && mapped < 0) {
                    mapped = double(timer.nsecsElapsed()) / 1e6;
                }
            }
        }
        pollfd fd = { ConnectionNumber(display), POLLIN, 0 };
        poll(&fd, 1, 5);
    }
    process.kill();
    process.waitForFinished();
    XCloseDisplay(display);
    return mapped;
}
