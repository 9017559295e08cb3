// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TimeCounts.h"

#include "TimeStamps.h"

#include <algorithm>

namespace {

constexpr int LeastUrgentProblem = 3; // error
constexpr int WarningSeverity = 4;

qint64 floorSeconds(qint64 timeNs)
{
    return timeNs / NsPerSecond - (timeNs % NsPerSecond < 0 ? 1 : 0);
}

} // namespace

TimeCounts::Kind TimeCounts::kindOf(const std::optional<SyslogPriority> &priority)
{
    if (!priority)
        return NoPriority;
    if (priority->severity() <= LeastUrgentProblem)
        return Problems;
    return priority->severity() == WarningSeverity ? Warnings : Others;
}

TimeCounts::Second &TimeCounts::secondOf(qint64 second)
{
    // Datagrams come in the order of their times but where the clock steps back.
    if (m_seconds.empty() || m_seconds.back().second < second) {
        m_seconds.push_back({ second, {} });
        return m_seconds.back();
    }
    const auto at =
        std::lower_bound(m_seconds.begin(), m_seconds.end(), second,
                         [](const Second &s, qint64 value) { return s.second < value; });
    if (at != m_seconds.end() && at->second == second)
        return *at;
    return *m_seconds.insert(at, { second, {} });
}

void TimeCounts::add(qint64 timeNs, const std::optional<SyslogPriority> &priority)
{
    ++secondOf(floorSeconds(timeNs)).counts[kindOf(priority)];
}

void TimeCounts::addDropped(qint64 timeNs, quint32 dropped)
{
    secondOf(floorSeconds(timeNs)).counts[Dropped] += dropped;
}

void TimeCounts::merge(const TimeCounts &other)
{
    for (const Second &from : other.m_seconds) {
        Second &to = secondOf(from.second);
        for (int kind = 0; kind < Kinds; ++kind)
            to.counts[std::size_t(kind)] += from.counts[std::size_t(kind)];
    }
}

qint64 TimeCounts::firstSecond() const
{
    return m_seconds.empty() ? 0 : m_seconds.front().second;
}

qint64 TimeCounts::lastSecond() const
{
    return m_seconds.empty() ? 0 : m_seconds.back().second;
}

TimeCounts::Counts TimeCounts::sum(qint64 fromSecond, qint64 toSecond) const
{
    Counts sum {};
    auto at = std::lower_bound(m_seconds.begin(), m_seconds.end(), fromSecond,
                               [](const Second &s, qint64 value) { return s.second < value; });
    for (; at != m_seconds.end() && at->second < toSecond; ++at) {
        for (int kind = 0; kind < Kinds; ++kind)
            sum[std::size_t(kind)] += at->counts[std::size_t(kind)];
    }
    return sum;
}
