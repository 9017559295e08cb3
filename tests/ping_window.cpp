// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Whether a window answers while some work of its program goes on, as a window manager finds out:
// it pings the window (_NET_WM_PING) again and again until a file appears, and prints how many
// pings the window answered before then and the longest it took to answer one, in milliseconds.
// Usage: ping_window WINDOW-ID FILE SECONDS (exit status 1: no file within SECONDS)

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <poll.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s WINDOW-ID FILE SECONDS\n", argv[0]);
        return 2;
    }
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    const char *file = argv[2];
    const auto deadline = Clock::now() + std::chrono::seconds(std::atoi(argv[3]));
    const Window root = DefaultRootWindow(display);
    // The answer goes to the root window, for whoever listens there to its structure (as Qt sends
    // it: a window manager would redirect its children's).
    XSelectInput(display, root, StructureNotifyMask);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);

    long serial = 0;
    int answered = 0;
    double longest = 0;
    while (access(file, F_OK) != 0) {
        if (Clock::now() > deadline)
            return 1;
        XEvent event {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(ping);
        event.xclient.data.l[1] = ++serial; // stands for the time stamp, to tell answers apart
        event.xclient.data.l[2] = long(window);
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
        const Clock::time_point sent = Clock::now();
        bool answer = false;
        while (!answer && access(file, F_OK) != 0 && Clock::now() < deadline) {
            pollfd x { ConnectionNumber(display), POLLIN, 0 };
            poll(&x, 1, 5);
            while (XPending(display) > 0) {
                XNextEvent(display, &event);
                answer = answer
                    || (event.type == ClientMessage && event.xclient.message_type == protocols
                        && event.xclient.data.l[0] == long(ping)
                        && event.xclient.data.l[1] == serial);
            }
        }
        if (answer && access(file, F_OK) != 0) {
            ++answered;
            longest = std::max(longest, msSince(sent));
        }
    }
    std::printf("%d %.1f\n", answered, longest);
    XCloseDisplay(display);
    return 0;
}
