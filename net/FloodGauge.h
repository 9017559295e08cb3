// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_FLOODGAUGE_H
#define HARKLINE_FLOODGAUGE_H

#include <QtGlobal>

#include <atomic>
#include <limits>

// Tells a flood: datagrams arriving faster than a window can show them as they come (inserting a
// line costs it about ten microseconds). Arrivals are counted on the reading thread; any thread
// may ask. Times are nanoseconds on one monotonic clock.
class FloodGauge
{
public:
    static constexpr qint64 FloodRate = 100'000; // datagrams a second
    // Arrivals are counted over windows this long, short enough to tell a burst in its first
    // millisecond.
    static constexpr qint64 WindowNs = 1'000'000;
    static constexpr qint64 FloodPerWindow = FloodRate * WindowNs / 1'000'000'000;
    // A flood is over this long after the last window that had one.
    static constexpr qint64 QuietNs = 3'000'000;
    // But a flood that comes back within this is the same one, for its length: a sender that
    // stalls now and then does not start a new one each time.
    static constexpr qint64 BreakNs = 100'000'000;

    void count(qint64 nowNs, qint64 datagrams);
    bool inFlood(qint64 nowNs) const;
    // How long the flood going on has lasted, from its first window, breaks included; 0 when
    // there is none.
    qint64 floodLengthNs(qint64 nowNs) const;

private:
    qint64 m_windowStartNs = std::numeric_limits<qint64>::min() / 2;
    qint64 m_windowCount = 0;
    std::atomic<qint64> m_floodSeenNs = std::numeric_limits<qint64>::min() / 2;
    std::atomic<qint64> m_floodStartNs = 0;
};

#endif // HARKLINE_FLOODGAUGE_H
