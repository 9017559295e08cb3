// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"
#include "Compression.h"
#include "LogSamples.h"

#include <cstdio>
#include <numeric>

namespace bench {

// The archive's codec: zstd's fastest level against zlib's default and fastest, on the same
// realistic syslog, in parts of a mebibyte as lines move out.
void benchCodecs()
{
    const int lines = g_quick ? 200000 : 1000000;
    std::printf("\n11. Compressing old log text: %d realistic syslog lines in 1 MiB parts, one "
                "byte a character\n",
                lines);
    QList<QByteArray> parts(1);
    for (int i = 0; i < lines; ++i) {
        parts.last() += syslogLine(quint32(i)).toLatin1() + "\r\n";
        if (parts.last().size() >= qsizetype(1024) * 1024)
            parts.append(QByteArray());
    }
    const qint64 total =
        std::accumulate(parts.begin(), parts.end(), qint64(0),
                        [](qint64 sum, const QByteArray &p) { return sum + p.size(); });
    const QList<std::pair<const char *, std::function<QByteArray(const QByteArray &)>>> codecs = {
        { "zstd level 1 (kept)", [](const QByteArray &b) { return *compressed(b); } },
        { "zlib level 6 (qCompress)", [](const QByteArray &b) { return qCompress(b, 6); } },
        { "zlib level 1", [](const QByteArray &b) { return qCompress(b, 1); } },
    };
    for (const auto &[name, compress] : codecs) {
        QList<double> seconds;
        qint64 bytes = 0;
        for (int run = 0; run < g_runs; ++run) {
            bytes = 0;
            const double before = threadCpuSeconds();
            for (const QByteArray &part : std::as_const(parts))
                bytes += compress(part).size();
            seconds << threadCpuSeconds() - before;
        }
        std::printf("  %-26s %5.1f bytes per line, %6.0f MB/s\n", name, double(bytes) / lines,
                    double(total) / median(seconds) / 1e6);
    }
}

} // namespace bench
