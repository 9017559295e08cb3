// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ARRIVALRECORD_H
#define HARKLINE_ARRIVALRECORD_H

#include "Arrival.h"
#include "SyslogPriority.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QStringView>

#include <array>
#include <functional>
#include <optional>
#include <vector>

// Every datagram received since Start (or since the log was cleared), as it was received, whatever
// the user has since done to the log text: when, from whom, its size, how many the system dropped
// before it, and its payload. Kept compact for long runs: entries are gathered in chunks, and a
// full chunk is compressed; syslog text compresses well.
class ArrivalRecord
{
public:
    struct Entry
    {
        Arrival arrival;
        qint32 bytes = 0;
        std::optional<SyslogPriority> priority;
    };

    ArrivalRecord();
    ~ArrivalRecord();
    ArrivalRecord(const ArrivalRecord &) = delete;
    ArrivalRecord &operator=(const ArrivalRecord &) = delete;

    // Records a datagram whose payload is 'payload', one character per byte; returns its index.
    qint64 append(QStringView payload, const Arrival &arrival);
    qint64 size() const { return m_size; }
    Entry at(qint64 index) const;
    // The payload, one byte per character.
    QByteArray payload(qint64 index) const;
    quint64 totalDropped() const { return m_totalDropped; }
    // Whether the system dropped datagrams just before any datagram from 'from' to 'to'.
    bool dropsWithin(qint64 from, qint64 to) const;
    void clear();

    // Hands each entry and its payload to 'take', oldest first, until it returns false; false
    // then. Chunk by chunk: the whole record is never uncompressed at once.
    using Take = std::function<bool(const Entry &, QByteArrayView payload)>;
    bool forEach(const Take &take) const;
    // The same for the entries from 'from' up to, not including, 'to'.
    bool forEach(qint64 from, qint64 to, const Take &take) const;

    // Bytes held, compressed chunks included: what the record costs in memory.
    qint64 heldBytes() const;

private:
    // The entries of one chunk, each field in an array of its own.
    struct Columns
    {
        std::vector<qint64> timeNs;
        std::vector<quint32> dropped;
        std::vector<quint32> address; // into m_addresses
        std::vector<quint16> port;
        std::vector<quint8> priority; // NoPriority when none
        std::vector<quint32> ends; // where each payload ends in 'payloads'
        QByteArray payloads;

        qsizetype size() const { return qsizetype(timeNs.size()); }
        void clear();
        QByteArray serialized() const;
        static Columns deserialized(const QByteArray &bytes);
    };
    struct Address
    {
        bool ipv4 = true;
        std::array<quint8, 16> bytes {};
        bool operator==(const Address &other) const = default;
    };
    friend size_t qHash(const Address &address, size_t seed);

    static constexpr quint8 NoPriority = 255;

    void closeChunk();
    // The chunk holding 'index', and the index within it.
    const Columns &chunkOf(qint64 index, qsizetype &within) const;
    Entry entryAt(const Columns &columns, qsizetype i) const;

    std::vector<QByteArray> m_compressed; // full chunks, oldest first
    std::vector<qint64> m_chunkStarts; // the index of each full chunk's first entry
    Columns m_open; // the chunk being filled
    qint64 m_size = 0;
    quint64 m_totalDropped = 0;
    std::vector<qint64> m_afterDrops; // the datagrams that came after drops, in order
    std::vector<Address> m_addresses;
    QHash<Address, quint32> m_addressIds;

    // The last full chunk looked at, uncompressed: tooltips and the margin look at a few
    // neighbouring lines at a time.
    mutable qsizetype m_cachedChunk = -1;
    mutable Columns m_cache;
};

#endif // HARKLINE_ARRIVALRECORD_H
