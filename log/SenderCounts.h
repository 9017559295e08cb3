// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SENDERCOUNTS_H
#define HARKLINE_SENDERCOUNTS_H

#include "Arrival.h"
#include "SyslogPriority.h"

#include <QByteArray>
#include <QHash>

#include <array>
#include <optional>
#include <vector>

// Who is talking: for each sender address and port, and for each host the syslog messages name,
// how many datagrams and bytes came, how fast lately, when the last one came and the most urgent
// severity seen. Counted as the datagrams come. A flood from a new address in every datagram
// cannot grow it without bound: past MostSenders of either, the rest are counted together.
class SenderCounts
{
public:
    static constexpr int MostSenders = 10000;
    // The rate is over this many seconds.
    static constexpr int RateSeconds = 10;

    struct Count
    {
        qint64 datagrams = 0;
        qint64 bytes = 0;
        qint64 lastNs = 0;
        int mostUrgent = -1; // a severity, -1: none with a priority
        // Datagrams in each of the last RateSeconds seconds, the newest at 'second'.
        std::array<quint32, RateSeconds> recent {};
        qint64 second = 0;

        // Datagrams a second over the RateSeconds seconds up to 'nowSecond'.
        double rate(qint64 nowSecond) const;
    };
    // A sender: its address and port; a host: its name. "Others" holds the rest, once full.
    struct Row
    {
        bool isHost = false;
        bool others = false;
        Arrival sender; // address and port, for a sender
        QByteArray host;
        Count count;
    };

    void add(const Arrival &arrival, qint32 bytes, const std::optional<SyslogPriority> &priority,
             QByteArrayView host);
    void clear();
    qint64 total() const { return m_total; }
    // Every sender and host, in no order.
    std::vector<Row> rows() const;

private:
    struct SenderKey
    {
        bool ipv4 = true;
        std::array<quint8, 16> address {};
        quint16 port = 0;
        bool operator==(const SenderKey &other) const = default;
    };
    friend size_t qHash(const SenderKey &key, size_t seed);
    static void count(Count &count, qint64 timeNs, qint32 bytes,
                      const std::optional<SyslogPriority> &priority);

    QHash<SenderKey, Count> m_senders;
    QHash<QByteArray, Count> m_hosts;
    Count m_otherSenders;
    Count m_otherHosts;
    qint64 m_total = 0;
};

#endif // HARKLINE_SENDERCOUNTS_H
