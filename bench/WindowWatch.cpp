// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WindowWatch.h"

#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>

WindowWatch::Times WindowWatch::launch(const QString &program, int timeoutMs)
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
        return {};
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
    Times times;
    Window window = 0;
    while (times.mappedMs < 0 && timer.elapsed() < timeoutMs) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            // Qt's helper windows are never mapped; a tooltip or menu would be override-redirect.
            if (event.type == MapNotify && !event.xmap.override_redirect && times.mappedMs < 0) {
                times.mappedMs = double(timer.nsecsElapsed()) / 1e6;
                window = event.xmap.window;
            }
        }
        // Watched closely: the first frame may follow the mapping within a millisecond.
        if (times.mappedMs < 0) {
            pollfd fd = { ConnectionNumber(display), POLLIN, 0 };
            poll(&fd, 1, 1);
        }
    }

    // The first frame: a pixel of the window's own background, near its bottom right corner, is
    // watched until it takes the colour it keeps. (A program draws its whole first frame at once.)
    XWindowAttributes attributes {};
    if (window && XGetWindowAttributes(display, window, &attributes)) {
        QList<std::pair<double, unsigned long>> samples;
        const qint64 watchUntil = timer.elapsed() + 300;
        while (timer.elapsed() < watchUntil) {
            XImage *image = XGetImage(display, window, attributes.width - 2, attributes.height - 2,
                                      1, 1, AllPlanes, ZPixmap);
            if (!image)
                break;
            samples.append({ double(timer.nsecsElapsed()) / 1e6, XGetPixel(image, 0, 0) });
            XDestroyImage(image);
            QThread::usleep(200);
        }
        if (!samples.isEmpty()) {
            qsizetype first = samples.size() - 1;
            while (first > 0 && samples.at(first - 1).second == samples.last().second)
                --first;
            // Already drawn at the first look: that look is the time (a little late, never early).
            times.drawnMs = samples.at(first).first;
        }
    }
    process.kill();
    process.waitForFinished();
    XCloseDisplay(display);
    return times;
}
