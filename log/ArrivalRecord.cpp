// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalRecord.h"

#include "Compression.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

// A chunk is closed and compressed at this many entries, or this many payload bytes.
constexpr qsizetype ChunkEntries = 1024;
constexpr qsizetype ChunkPayloadBytes = qsizetype(256) * 1024;

template<typename T> void appendArray(QByteArray &out, const std::vector<T> &values)
{
    out.append(reinterpret_cast<const char *>(values.data()),
               qsizetype(values.size()) * qsizetype(sizeof(T)));
}

template<typename T> void readArray(const char *&from, std::vector<T> &values, qsizetype count)
{
    values.resize(std::size_t(count));
    std::memcpy(values.data(), from, std::size_t(count) * sizeof(T));
    from += count * qsizetype(sizeof(T));
}

} // namespace

size_t qHash(const ArrivalRecord::Address &address, size_t seed)
{
    return qHashBits(address.bytes.data(), address.bytes.size(), seed) ^ size_t(address.ipv4);
}

void ArrivalRecord::Columns::clear()
{
    timeNs.clear();
    dropped.clear();
    address.clear();
    port.clear();
    priority.clear();
    ends.clear();
    payloads.resize(0);
}

// The count, then each column; times as differences from the one before, which compress better.
QByteArray ArrivalRecord::Columns::serialized() const
{
    QByteArray bytes;
    const qint64 count = size();
    bytes.append(reinterpret_cast<const char *>(&count), sizeof(count));
    std::vector<qint64> steps(timeNs.size());
    std::adjacent_difference(timeNs.begin(), timeNs.end(), steps.begin());
    appendArray(bytes, steps);
    appendArray(bytes, dropped);
    appendArray(bytes, address);
    appendArray(bytes, port);
    appendArray(bytes, priority);
    appendArray(bytes, ends);
    bytes.append(payloads);
    return bytes;
}

ArrivalRecord::Columns ArrivalRecord::Columns::deserialized(const QByteArray &bytes)
{
    Columns columns;
    qint64 count = 0;
    if (bytes.size() < qsizetype(sizeof(count)))
        return columns; // never made by serialized(): nothing to read
    const char *from = bytes.constData();
    std::memcpy(&count, from, sizeof(count));
    from += sizeof(count);
    readArray(from, columns.timeNs, count);
    std::partial_sum(columns.timeNs.begin(), columns.timeNs.end(), columns.timeNs.begin());
    readArray(from, columns.dropped, count);
    readArray(from, columns.address, count);
    readArray(from, columns.port, count);
    readArray(from, columns.priority, count);
    readArray(from, columns.ends, count);
    columns.payloads = QByteArray(from, bytes.constData() + bytes.size() - from);
    return columns;
}

ArrivalRecord::ArrivalRecord() = default;
ArrivalRecord::~ArrivalRecord() = default;

qint64 ArrivalRecord::append(QStringView payload, const Arrival &arrival)
{
    Address address { arrival.ipv4, arrival.address };
    auto known = m_addressIds.constFind(address);
    if (known == m_addressIds.cend()) {
        known = m_addressIds.insert(address, quint32(m_addresses.size()));
        m_addresses.push_back(address);
    }
    const std::optional<SyslogPriority> priority = SyslogPriority::of(payload);

    m_open.timeNs.push_back(arrival.timeNs);
    m_open.dropped.push_back(arrival.droppedBefore);
    m_open.address.push_back(*known);
    m_open.port.push_back(arrival.port);
    m_open.priority.push_back(priority ? quint8(priority->value) : NoPriority);
    const qsizetype start = m_open.payloads.size();
    m_open.payloads.resize(start + payload.size());
    char *bytes = m_open.payloads.data() + start;
    for (const QChar c : payload)
        *bytes++ = char(c.unicode()); // one byte per character: the payload came that way
    m_open.ends.push_back(quint32(m_open.payloads.size()));
    m_totalDropped += arrival.droppedBefore;
    if (arrival.droppedBefore > 0)
        m_afterDrops.push_back(m_size);

    if (m_open.size() >= ChunkEntries || m_open.payloads.size() >= ChunkPayloadBytes)
        closeChunk();
    return m_size++;
}

void ArrivalRecord::closeChunk()
{
    m_chunkStarts.push_back(m_size + 1 - m_open.size());
    m_compressed.push_back(compressed(m_open.serialized()));
    m_open.clear();
}

const ArrivalRecord::Columns &ArrivalRecord::chunkOf(qint64 index, qsizetype &within) const
{
    const qint64 openStart = m_size - m_open.size();
    if (index >= openStart) {
        within = qsizetype(index - openStart);
        return m_open;
    }
    const auto next = std::upper_bound(m_chunkStarts.begin(), m_chunkStarts.end(), index);
    const qsizetype chunk = qsizetype(next - m_chunkStarts.begin()) - 1;
    within = qsizetype(index - m_chunkStarts[std::size_t(chunk)]);
    if (chunk != m_cachedChunk) {
        m_cache = Columns::deserialized(decompressed(m_compressed[std::size_t(chunk)]));
        m_cachedChunk = chunk;
    }
    return m_cache;
}

ArrivalRecord::Entry ArrivalRecord::entryAt(const Columns &columns, qsizetype i) const
{
    Entry entry;
    const std::size_t row = std::size_t(i);
    const Address &address = m_addresses[columns.address[row]];
    entry.arrival.timeNs = columns.timeNs[row];
    entry.arrival.droppedBefore = columns.dropped[row];
    entry.arrival.port = columns.port[row];
    entry.arrival.ipv4 = address.ipv4;
    entry.arrival.address = address.bytes;
    entry.bytes = qint32(columns.ends[row] - (i == 0 ? 0 : columns.ends[row - 1]));
    if (columns.priority[row] != NoPriority)
        entry.priority = SyslogPriority { columns.priority[row] };
    return entry;
}

bool ArrivalRecord::dropsWithin(qint64 from, qint64 to) const
{
    const auto first = std::lower_bound(m_afterDrops.begin(), m_afterDrops.end(), from);
    return first != m_afterDrops.end() && *first <= to;
}

ArrivalRecord::Entry ArrivalRecord::at(qint64 index) const
{
    qsizetype within = 0;
    const Columns &columns = chunkOf(index, within);
    return entryAt(columns, within);
}

QByteArray ArrivalRecord::payload(qint64 index) const
{
    qsizetype within = 0;
    const Columns &columns = chunkOf(index, within);
    const quint32 begin = within == 0 ? 0 : columns.ends[std::size_t(within) - 1];
    return columns.payloads.mid(begin, columns.ends[std::size_t(within)] - begin);
}

void ArrivalRecord::clear()
{
    m_compressed.clear();
    m_chunkStarts.clear();
    m_open.clear();
    m_size = 0;
    m_totalDropped = 0;
    m_afterDrops.clear();
    m_addresses.clear();
    m_addressIds.clear();
    m_cachedChunk = -1;
    m_cache.clear();
}

bool ArrivalRecord::forEach(const Take &take) const
{
    return forEach(0, m_size, take);
}

bool ArrivalRecord::forEach(qint64 from, qint64 to, const Take &take) const
{
    // The entries of 'columns', whose first is entry 'start', that are in the range.
    const auto takeRows = [&](const Columns &columns, qint64 start) {
        for (qint64 i = std::max<qint64>(0, from - start); i < columns.size() && start + i < to;
             ++i) {
            const Entry entry = entryAt(columns, qsizetype(i));
            const quint32 begin = i == 0 ? 0 : columns.ends[std::size_t(i) - 1];
            if (!take(entry, QByteArrayView(columns.payloads).sliced(begin, entry.bytes)))
                return false;
        }
        return true;
    };
    const auto after = std::upper_bound(m_chunkStarts.begin(), m_chunkStarts.end(), from);
    for (auto chunk = after == m_chunkStarts.begin() ? after : after - 1;
         chunk != m_chunkStarts.end() && *chunk < to; ++chunk) {
        const QByteArray &compressedChunk =
            m_compressed[std::size_t(chunk - m_chunkStarts.begin())];
        if (!takeRows(Columns::deserialized(decompressed(compressedChunk)), *chunk))
            return false;
    }
    const qint64 openStart = m_size - m_open.size();
    return openStart >= to || takeRows(m_open, openStart);
}

qint64 ArrivalRecord::heldBytes() const
{
    qint64 bytes = m_open.payloads.capacity()
        + qint64(m_open.timeNs.capacity()
                 * (sizeof(qint64) + 2 * sizeof(quint32) + sizeof(quint16) + sizeof(quint8)
                    + sizeof(quint32)));
    bytes =
        std::accumulate(m_compressed.begin(), m_compressed.end(), bytes,
                        [](qint64 sum, const QByteArray &chunk) { return sum + chunk.capacity(); });
    return bytes + qint64(m_addresses.capacity() * sizeof(Address))
        + qint64(m_afterDrops.capacity() * sizeof(qint64));
}
