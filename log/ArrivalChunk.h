// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ARRIVALCHUNK_H
#define HARKLINE_ARRIVALCHUNK_H

#include "Arrival.h"
#include "SyslogPriority.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QStringView>

#include <array>
#include <optional>
#include <vector>

// One datagram as the record keeps it.
struct ArrivalEntry
{
    Arrival arrival;
    qint32 bytes = 0;
    std::optional<SyslogPriority> priority;
};

// A run of consecutive datagrams of the record, each field in an array of its own, which
// compresses well. Its senders are kept in it too, each once: a flood from a new address in
// every datagram then costs no more than the datagrams themselves, and moves to the disk with
// them.
class ArrivalChunk
{
public:
    // A chunk is full at this many datagrams, or this many payload bytes: small enough that a
    // tooltip or a row reads one quickly, large enough to compress well.
    static constexpr qsizetype MostEntries = 1024;
    static constexpr qsizetype MostPayloadBytes = qsizetype(256) * 1024;

    // 'payload' is one character per byte.
    void append(QStringView payload, const Arrival &arrival);
    bool isFull() const { return size() >= MostEntries || m_payloads.size() >= MostPayloadBytes; }
    qsizetype size() const { return qsizetype(m_timeNs.size()); }
    ArrivalEntry entry(qsizetype i) const;
    QByteArrayView payload(qsizetype i) const;
    quint32 droppedBefore(qsizetype i) const { return m_dropped[std::size_t(i)]; }
    void clear();
    // A copy that shares nothing with this chunk, for a reader on another thread while this one
    // is filled; without what filling it needs.
    ArrivalChunk readerCopy() const;
    // Bytes held, as the record counts them against its budget.
    qint64 heldBytes() const;

    QByteArray serialized() const;
    // None when 'bytes' is not what serialized() makes.
    static std::optional<ArrivalChunk> deserialized(QByteArrayView bytes);

private:
    struct Address
    {
        bool ipv4 = true;
        std::array<quint8, 16> bytes {};
        bool operator==(const Address &other) const = default;
    };
    friend size_t qHash(const Address &address, size_t seed);

    static constexpr quint8 NoPriority = 255;

    std::vector<qint64> m_timeNs;
    std::vector<quint32> m_dropped;
    std::vector<quint16> m_address; // into m_addresses
    std::vector<quint16> m_port;
    std::vector<quint8> m_priority; // NoPriority when none
    std::vector<quint32> m_ends; // where each payload ends in m_payloads
    QByteArray m_payloads;
    std::vector<Address> m_addresses;
    QHash<Address, quint16> m_addressIds; // while it is filled
};

#endif // HARKLINE_ARRIVALCHUNK_H
