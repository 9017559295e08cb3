// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"

#include <QTextBlock>
#include <QTextDocument>

#include <cstdio>

namespace bench {

void benchLatency()
{
    const int rate = 1000;
    const quint32 count = quint32(rate * (g_quick ? 3 : 10));
    std::printf("\n5. Latency: %d datagrams/s, sent to inserted and painted\n", rate);
    Harkline harkline;
    QList<double> latencies;
    struct PaintWatch : QObject
    {
        Harkline *harkline;
        QList<double> *latencies;
        int painted = 0; // blocks already counted
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() != QEvent::Paint)
                return false;
            const std::int64_t now = Numbered::nowNs();
            QTextDocument *document = harkline->log->document();
            for (QTextBlock block = document->findBlockByNumber(painted);
                 block.isValid() && block.next().isValid(); block = block.next(), ++painted) {
                const QString text = block.text();
                if (text.startsWith(u'#') && text.size() > 31)
                    *latencies << double(now - text.mid(11, 20).toLongLong()) / 1e6;
            }
            return false;
        }
    } watch;
    watch.harkline = &harkline;
    watch.latencies = &latencies;
    harkline.log->viewport()->installEventFilter(&watch);
    finish(startSender(harkline.port, count, rate));
    harkline.settle();
    const double p99 = percentile(latencies, 0.99);
    std::printf("  %lld lines painted; median %.2f ms, 99th percentile %.2f ms, worst %.2f ms\n",
                static_cast<long long>(latencies.size()), median(latencies), p99,
                percentile(latencies, 1.0));
    printTarget("99th percentile", QStringLiteral("%1 ms").arg(p99, 0, 'f', 2), "<= 50 ms",
                p99 <= 50 && latencies.size() == qsizetype(count));
}

} // namespace bench
