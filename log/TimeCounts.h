// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_TIMECOUNTS_H
#define HARKLINE_TIMECOUNTS_H

#include "SyslogPriority.h"

#include <QtGlobal>

#include <array>
#include <optional>
#include <vector>

// How many datagrams arrived in each second, by how urgent they were, and how many the system
// dropped: what a timeline draws, counted as the datagrams come rather than by reading them again.
// A second with nothing costs nothing.
class TimeCounts
{
public:
    enum Kind {
        Problems, // severity error or more urgent
        Warnings,
        Others, // notice, informational, debug
        NoPriority,
        Dropped, // datagrams the system dropped, counted where the next one arrived
        Kinds,
    };
    using Counts = std::array<qint64, Kinds>;

    static Kind kindOf(const std::optional<SyslogPriority> &priority);

    // A datagram that arrived at 'timeNs'.
    void add(qint64 timeNs, const std::optional<SyslogPriority> &priority);
    // Datagrams the system dropped before one that arrived at 'timeNs'.
    void addDropped(qint64 timeNs, quint32 dropped);
    void merge(const TimeCounts &other);
    void clear() { m_seconds.clear(); }
    bool isEmpty() const { return m_seconds.empty(); }
    // The first and last second with anything, in seconds since the epoch.
    qint64 firstSecond() const;
    qint64 lastSecond() const;
    // The counts of the seconds from 'from' up to 'to' (not included), summed.
    Counts sum(qint64 fromSecond, qint64 toSecond) const;

private:
    struct Second
    {
        qint64 second;
        std::array<quint32, Kinds> counts;
    };
    Second &secondOf(qint64 second);

    std::vector<Second> m_seconds; // in order
};

#endif // HARKLINE_TIMECOUNTS_H
