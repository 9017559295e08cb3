// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include <cstdio>

namespace bench {

// CPU time per line of inserting 'count' numbered lines into a plain text box, shown and painted,
// in batches of what arrives at 'rate' a second in one frame.
double insertCpuPerLineUs(quint32 count, int rate)
{
    QPlainTextEdit box;
    box.setLineWrapMode(QPlainTextEdit::NoWrap);
    box.resize(335, 101);
    box.show();
    processEventsFor(100);
    const quint32 batch = quint32(rate / 60);
    const double before = cpuSeconds();
    for (quint32 first = 0; first < count; first += batch) {
        QString lines;
        for (quint32 i = first; i < std::min(count, first + batch); ++i) {
            QByteArray payload = Numbered::payload(i, PayloadSize);
            payload.chop(1);
            lines += QString::fromLatin1(payload) + u'\n';
        }
        QTextCursor end(box.document());
        end.movePosition(QTextCursor::End);
        end.insertText(lines);
        box.verticalScrollBar()->setValue(box.verticalScrollBar()->maximum());
        box.viewport()->repaint();
    }
    return (cpuSeconds() - before) / count * 1e6;
}

void benchCpu()
{
    const int rate = 50000;
    const quint32 count = g_quick ? 50000 : 150000;
    std::printf("\n7. CPU per datagram at %d/s, %u datagrams: Harkline (all its threads) against a "
                "bare recvmmsg receiver plus inserting the same lines into a text box in batches, "
                "median of %d runs\n",
                rate, count, g_runs);
    QList<double> harkline, bare, insert;
    for (int run = 0; run < g_runs; ++run) {
        harkline << cpuPerDatagramUs(0, count);
        double seconds = 0;
        burstBare(count, rate, &seconds);
        bare << seconds / count * 1e6;
        insert << insertCpuPerLineUs(count, rate);
    }
    const double parts = median(bare) + median(insert);
    std::printf("  Harkline %.2f us; bare receiver %.2f us + text box %.2f us = %.2f us\n",
                median(harkline), median(bare), median(insert), parts);
    printTarget("Harkline / (bare receiver + text box)",
                QStringLiteral("%1x").arg(median(harkline) / parts, 0, 'f', 2), "<= 2x",
                median(harkline) <= 2 * parts);
}

} // namespace bench
