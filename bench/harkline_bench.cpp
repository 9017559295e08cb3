// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Measures Harkline's receive path and window against the tools a user would otherwise reach for
// and against a bare receiver, on the same bursts, in one run. Prints each target beside its
// figure; each part is in a file of its own. Usage: harkline-bench [--runs N] [--quick] [PART...]
//                harkline-bench send PORT COUNT SIZE RATE START   (the sender, as its own process)

#include "Allocator.h"
#include "Bench.h"
#include "Parts.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace bench;

int main(int argc, char *argv[])
{
    if (argc == 7 && qstrcmp(argv[1], "send") == 0) {
        const qint64 sent = sendNumbered(atoi(argv[2]), quint32(strtoul(argv[3], nullptr, 10)),
                                         atoi(argv[4]), atoi(argv[5]), atoll(argv[6]));
        return sent == qint64(strtoul(argv[3], nullptr, 10)) ? 0 : 1;
    }

    // As the program does.
    reuseLargeAllocations();
    // Offscreen unless told otherwise, so that the window costs what it costs without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt warns at every start without one; the programs started here share this one.
    const QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QStringList only;
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == "--runs" && i + 1 < arguments.size())
            g_runs = std::max(1, arguments.at(++i).toInt());
        else if (arguments.at(i) == "--quick")
            g_quick = true;
        else
            only << arguments.at(i);
    }

    const BufferLimit bufferLimit;
    BufferLimit::set(BufferLimit::Stock);
    std::printf("Harkline benchmark: %ld cores, net.core.rmem_max %lld during the run%s\n",
                sysconf(_SC_NPROCESSORS_ONLN), static_cast<long long>(BufferLimit::read()),
                g_quick ? ", quick" : "");
    for (const auto &[name, part] : parts()) {
        if (only.isEmpty() || only.contains(name))
            part();
    }
    return 0;
}
