// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WindowWatch.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <X11/Xlib.h>

#include <poll.h>

double WindowWatch::launchToMappedMs(const QString &program, int timeoutMs)
{
    // Xvfb turns a connection away now and then while it is still tidying up after the last
    // program: try again.
    Display *display = nullptr;
    for (int attempt = 0; !display && attempt < 100; ++attempt) {
        display = XOpenDisplay(nullptr);
        if (!display)
            QThread::msleep(10);
    }
    if (!display)
        return -1;
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);

    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    double mapped = -1;
    while (mapped < 0 && timer.elapsed() < timeoutMs) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            // Qt's helper windows are never mapped; a tooltip or menu would be override-redirect.
            if (event.type == MapNotify && !event.xmap.override_redirect && mapped < 0)
                mapped = double(timer.nsecsElapsed()) / 1e6;
        }
        pollfd fd = { ConnectionNumber(display), POLLIN, 0 };
        poll(&fd, 1, 5);
    }
    process.kill();
    process.waitForFinished();
    XCloseDisplay(display);
    return mapped;
}
