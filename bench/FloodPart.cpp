// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Bench.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <cstdio>

namespace bench {

void benchFlood()
{
    const quint32 count = g_quick ? 1000000 : 10000000;
    constexpr int Size = 215;
    // As fast as the window keeps up, so that they all land in the log: over 2^31 characters, which
    // a text box cannot index.
    const int rate = 50000;
    std::printf("\n10. Flood: %u datagrams of %d bytes at %d a second\n", count, Size, rate);
    Harkline harkline;
    QElapsedTimer timer;
    timer.start();
    QProcess *sender = new QProcess;
    sender->setProcessChannelMode(QProcess::ForwardedChannels);
    sender->start(QCoreApplication::applicationFilePath(),
                  { "send", QString::number(harkline.port), QString::number(count),
                    QString::number(Size), QString::number(rate),
                    QString::number(Numbered::nowNs()) });
    const bool allSent = finish(sender);
    const double sendSeconds = double(timer.nsecsElapsed()) / 1e9;
    // Everything that came in, shown, then the drops told too.
    harkline.settle(1000);
    const double showSeconds = double(timer.nsecsElapsed()) / 1e9;
    const ArrivalRecord &arrivals = harkline.log->model().arrivals();
    const quint64 dropped = arrivals.totalDropped();

    // Still responsive: to the top of the log and back, each painted, and a key typed.
    QList<double> steps;
    for (const auto &[key, modifiers] : { std::pair { Qt::Key_Home, Qt::ControlModifier },
                                          std::pair { Qt::Key_End, Qt::ControlModifier },
                                          std::pair { Qt::Key_X, Qt::NoModifier } }) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, key == Qt::Key_X ? "x" : QString());
        timer.restart();
        QCoreApplication::sendEvent(harkline.log, &press);
        harkline.log->viewport()->repaint();
        steps << double(timer.nsecsElapsed()) / 1e6;
    }
    std::printf(
        "  sent in %.1f s, all shown %.1f s after the start; %lld shown, %llu dropped by the "
        "system (told on the lines after each gap); %lld lines moved to the archive; resident "
        "%.1f GB\n",
        sendSeconds, showSeconds, static_cast<long long>(arrivals.size()),
        static_cast<unsigned long long>(dropped),
        static_cast<long long>(harkline.log->model().archive().lineCount()),
        double(residentBytes()) / 1e9);
    if (!allSent)
        std::printf("  the sender could not send them all\n");
    std::printf("  afterwards: to the top %.1f ms, to the end %.1f ms, a key typed %.1f ms\n",
                steps.at(0), steps.at(1), steps.at(2));
    printTarget("every datagram shown or told as dropped",
                QStringLiteral("%1 of %2").arg(arrivals.size() + qint64(dropped)).arg(count), "all",
                arrivals.size() + qint64(dropped) >= qint64(count) - 1);
}

} // namespace bench
