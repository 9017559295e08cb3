// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_BENCH_SENDER_H
#define HARKLINE_BENCH_SENDER_H

#include <QByteArray>
#include <QList>

#include <cstdint>

// Numbered datagrams: "#<sequence, 9 digits> <send time, CLOCK_MONOTONIC ns, 20 digits> " padded
// with 'x' to the size, ending in a line feed, so that loss, duplicates, reordering and latency
// can be counted from whatever a receiver wrote down.
namespace Numbered {

std::int64_t nowNs();
QByteArray payload(std::uint32_t sequence, int size);

struct Tally
{
    qint64 received = 0;
    qint64 duplicates = 0;
    qint64 outOfOrder = 0;
    QList<std::int64_t> sendTimesNs; // of each first arrival, in arrival order
};

// Finds every numbered payload in 'text', in order.
Tally count(const QByteArray &text, std::uint32_t total);

} // namespace Numbered

// Sends 'count' numbered datagrams to 127.0.0.1:'port' with sendmmsg, as fast as it can
// ('rate' 0) or paced to 'rate' per second, starting at 'startNs' (CLOCK_MONOTONIC). Returns how
// many the kernel accepted.
qint64 sendNumbered(int port, std::uint32_t count, int size, int rate, std::int64_t startNs);

#endif // HARKLINE_BENCH_SENDER_H
