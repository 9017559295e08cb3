// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Allocator.h"
#include "FRM_Harkline.h"
#include "LogSaver.h"
#include "Privilege.h"

#include <QApplication>

#include <csignal>
#include <thread>

#include <fontconfig/fontconfig.h>

int main(int argc, char *argv[])
{
    // Before any other thread or the toolkit: a program someone started with a capability, or as
    // root, gives up every one; the toolkit's own options (a plugin folder, a platform theme)
    // are then not taken from a command line that may not be its user's.
    const bool startedPrivileged = dropEveryPrivilege();
    int toolkitArguments = startedPrivileged ? 1 : argc;
    // A file-size limit (ulimit -f) makes a write past it fail, as a full disk does, rather than
    // end the program: the record and the saves then say so.
    std::signal(SIGXFSZ, SIG_IGN);
    reuseLargeAllocations();

    // The window cannot show a letter before the system's font configuration has been read, which
    // takes Qt several milliseconds on first use. Read it on another core while Qt connects to the
    // display; Qt then finds it loaded.
    std::thread fontConfiguration([] { FcInit(); });
    QApplication app(toolkitArguments, argv);
    fontConfiguration.join();

    // The name of the installed desktop entry, which the desktop shell matches the window to.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.harkline.Harkline"));
    int status = 0;
    {
        FRM_Harkline window;
        window.show();
        status = app.exec();
    }
    // The window has gone and its port is free; a save the user asked for is not dropped.
    LogSaver::finishRunning();
    return status;
}
