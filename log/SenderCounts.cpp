// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SenderCounts.h"

#include "TimeStamps.h"

size_t qHash(const SenderCounts::SenderKey &key, size_t seed)
{
    return qHashBits(key.address.data(), key.address.size(), seed) ^ key.port ^ size_t(key.ipv4);
}

double SenderCounts::Count::rate(qint64 nowSecond) const
{
    qint64 sum = 0;
    for (qint64 s = std::max(second - RateSeconds + 1, nowSecond - RateSeconds + 1); s <= second;
         ++s)
        sum += recent[std::size_t(((s % RateSeconds) + RateSeconds) % RateSeconds)];
    return double(sum) / RateSeconds;
}

void SenderCounts::count(Count &count, qint64 timeNs, qint32 bytes,
                         const std::optional<SyslogPriority> &priority)
{
    ++count.datagrams;
    count.bytes += bytes;
    count.lastNs = std::max(count.lastNs, timeNs);
    if (priority && (count.mostUrgent < 0 || priority->severity() < count.mostUrgent))
        count.mostUrgent = priority->severity();
    const qint64 second = timeNs / NsPerSecond;
    if (second > count.second) {
        // The seconds between have no datagram.
        for (qint64 s = std::max(count.second + 1, second - RateSeconds + 1); s <= second; ++s)
            count.recent[std::size_t(((s % RateSeconds) + RateSeconds) % RateSeconds)] = 0;
        count.second = second;
    }
    if (second > count.second - RateSeconds)
        ++count.recent[std::size_t(((second % RateSeconds) + RateSeconds) % RateSeconds)];
}

void SenderCounts::add(const Arrival &arrival, qint32 bytes,
                       const std::optional<SyslogPriority> &priority, QByteArrayView host)
{
    ++m_total;
    const SenderKey key { arrival.ipv4, arrival.address, arrival.port };
    auto sender = m_senders.find(key);
    if (sender == m_senders.end() && m_senders.size() < MostSenders)
        sender = m_senders.insert(key, {});
    count(sender == m_senders.end() ? m_otherSenders : *sender, arrival.timeNs, bytes, priority);
    if (host.isEmpty())
        return;
    auto named = m_hosts.find(host.toByteArray());
    if (named == m_hosts.end() && m_hosts.size() < MostSenders)
        named = m_hosts.insert(host.toByteArray(), {});
    count(named == m_hosts.end() ? m_otherHosts : *named, arrival.timeNs, bytes, priority);
}

void SenderCounts::clear()
{
    m_senders.clear();
    m_hosts.clear();
    m_otherSenders = {};
    m_otherHosts = {};
    m_total = 0;
}

std::vector<SenderCounts::Row> SenderCounts::rows() const
{
    std::vector<Row> rows;
    rows.reserve(std::size_t(m_senders.size() + m_hosts.size() + 2));
    for (auto it = m_senders.cbegin(); it != m_senders.cend(); ++it) {
        Row row;
        row.sender.ipv4 = it.key().ipv4;
        row.sender.address = it.key().address;
        row.sender.port = it.key().port;
        row.count = it.value();
        rows.push_back(row);
    }
    for (auto it = m_hosts.cbegin(); it != m_hosts.cend(); ++it) {
        Row row;
        row.isHost = true;
        row.host = it.key();
        row.count = it.value();
        rows.push_back(row);
    }
    for (const bool isHost : { false, true }) {
        const Count &others = isHost ? m_otherHosts : m_otherSenders;
        if (others.datagrams > 0) {
            Row row;
            row.isHost = isHost;
            row.others = true;
            row.count = others;
            rows.push_back(row);
        }
    }
    return rows;
}
