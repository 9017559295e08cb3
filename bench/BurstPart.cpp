// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace bench {

BurstResult burstHarkline(quint32 count)
{
    Harkline harkline;
    std::int64_t startNs = 0;
    finish(startSender(harkline.port, count, 0, &startNs));
    const double start = double(startNs) / 1e9;
    harkline.settle();
    const double end = double(Numbered::nowNs()) / 1e9 - 0.3;
    return resultOf(Numbered::count(harkline.window.logText().toLatin1(), count), count,
                    end - start);
}

// An outside tool that writes what it receives to standard output.
std::optional<BurstResult> burstTool(const QString &program, const QStringList &arguments, int port,
                                     quint32 count)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return std::nullopt;
    QTemporaryDir dir;
    const QString output = dir.filePath("received");
    QProcess tool;
    tool.setStandardOutputFile(output);
    tool.setStandardErrorFile(QProcess::nullDevice());
    tool.start(program, arguments);
    if (!waitUntil([&] { return portIsBound(port); }, 5000))
        return std::nullopt;

    std::int64_t start = 0;
    finish(startSender(port, count, 0, &start));
    qint64 size = -1;
    QElapsedTimer quiet;
    quiet.start();
    std::int64_t last = Numbered::nowNs();
    while (quiet.elapsed() < 300) {
        QThread::msleep(20);
        const qint64 now = QFileInfo(output).size();
        if (now != size) {
            size = now;
            last = Numbered::nowNs();
            quiet.restart();
        }
    }
    tool.kill();
    tool.waitForFinished();
    QFile file(output);
    file.open(QIODevice::ReadOnly);
    return resultOf(Numbered::count(file.readAll(), count), count, double(last - start) / 1e9);
}

struct BurstRow
{
    QString name;
    std::function<std::optional<BurstResult>()> run;
};

// Runs each receiver on the same bursts, prints a table, and Harkline's figure against the target.
void burstTable(const QList<BurstRow> &rows, const char *target)
{
    std::printf("  %-22s %10s %10s %10s %12s %10s %14s\n", "receiver", "received", "worst", "dups",
                "reordered", "seconds", "vs bare");
    double bareReceived = 0;
    double harklineWorst = 100;
    qint64 harklineDisorder = 0;
    for (const BurstRow &row : rows) {
        QList<double> received, seconds;
        qint64 duplicates = 0, outOfOrder = 0;
        bool available = true;
        for (int run = 0; run < g_runs && available; ++run) {
            const std::optional<BurstResult> result = row.run();
            available = result.has_value();
            if (!available)
                break;
            received << result->receivedPercent;
            seconds << result->seconds;
            duplicates = std::max(duplicates, result->duplicates);
            outOfOrder = std::max(outOfOrder, result->outOfOrder);
            if (row.name.startsWith("Harkline")) {
                harklineWorst = std::min(harklineWorst, result->receivedPercent);
                harklineDisorder += result->duplicates + result->outOfOrder;
            }
        }
        if (!available) {
            std::printf("  %-22s not installed\n", qPrintable(row.name));
            continue;
        }
        if (row.name.startsWith("bare"))
            bareReceived = median(received);
        std::printf("  %-22s %9.2f%% %9.2f%% %10lld %12lld %10.3f %13.3fx\n", qPrintable(row.name),
                    median(received), *std::min_element(received.cbegin(), received.cend()),
                    static_cast<long long>(duplicates), static_cast<long long>(outOfOrder),
                    median(seconds), bareReceived > 0 ? median(received) / bareReceived : qQNaN());
    }
    printTarget(target,
                QStringLiteral("%1% received, %2 out of place")
                    .arg(harklineWorst, 0, 'f', 2)
                    .arg(harklineDisorder),
                "100%, 0", harklineWorst == 100 && harklineDisorder == 0);
}

void benchBurst()
{
    const quint32 count = g_quick ? 20000 : 100000;
    std::printf(
        "\n1. Burst: %u datagrams of %d bytes at the sender's full speed, median of %d runs, "
        "net.core.rmem_max %lld\n",
        count, PayloadSize, g_runs, static_cast<long long>(BufferLimit::read()));
    const BurstRow bare { "bare recvmmsg", [&] { return std::optional(burstBare(count)); } };
    const BurstRow harkline { "Harkline (window)",
                              [&] { return std::optional(burstHarkline(count)); } };
    burstTable({ bare,
                 harkline,
                 { "socat -u UDP-RECV",
                   [&] {
                       const int port = freePort();
                       return burstTool("socat",
                                        { "-u", QStringLiteral("UDP-RECV:%1").arg(port), "STDOUT" },
                                        port, count);
                   } },
                 { "nc -lku",
                   [&] {
                       const int port = freePort();
                       return burstTool("nc", { "-lku", QString::number(port) }, port, count);
                   } } },
               "Harkline shows all, in order (worst run)");

    const qint64 limit = BufferLimit::read();
    if (!BufferLimit::set(BufferLimit::Package)) {
        std::printf("  (as root, the same again with the Debian package's 4 MiB limit)\n");
        return;
    }
    std::printf("\n1b. The same with the Debian package's net.core.rmem_max, %lld\n",
                static_cast<long long>(BufferLimit::Package));
    burstTable({ bare, harkline }, "Harkline shows all, in order (worst run)");
    BufferLimit::set(limit);
}

} // namespace bench
