// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalChunk.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

// The counts a serialized chunk begins with: datagrams, senders, payload bytes.
struct Header
{
    quint32 entries;
    quint32 addresses;
    quint32 payloadBytes;
};
// A sender as serialized: whether it is IPv4, then its sixteen bytes.
constexpr qsizetype AddressBytes = 17;

template<typename T> void appendArray(QByteArray &out, const std::vector<T> &values)
{
    out.append(reinterpret_cast<const char *>(values.data()),
               qsizetype(values.size()) * qsizetype(sizeof(T)));
}

// Reads the bytes of 'count' values, checked against what is left.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes)
        : m_left(bytes)
    { }
    bool atEnd() const { return m_left.isEmpty(); }
    template<typename T> bool read(T &value) { return take(&value, sizeof(T)); }
    template<typename T> bool read(std::vector<T> &values, std::size_t count)
    {
        values.resize(count);
        return take(values.data(), count * sizeof(T));
    }
    bool read(QByteArray &bytes, qsizetype count)
    {
        if (count > m_left.size())
            return false;
        bytes = m_left.first(count).toByteArray();
        m_left = m_left.sliced(count);
        return true;
    }

private:
    bool take(void *to, std::size_t count)
    {
        if (count > std::size_t(m_left.size()))
            return false;
        std::memcpy(to, m_left.data(), count);
        m_left = m_left.sliced(qsizetype(count));
        return true;
    }
    QByteArrayView m_left;
};

} // namespace

size_t qHash(const ArrivalChunk::Address &address, size_t seed)
{
    return qHashBits(address.bytes.data(), address.bytes.size(), seed) ^ size_t(address.ipv4);
}

void ArrivalChunk::append(QStringView payload, const Arrival &arrival)
{
    const Address address { arrival.ipv4, arrival.address };
    auto known = m_addressIds.constFind(address);
    if (known == m_addressIds.cend()) {
        known = m_addressIds.insert(address, quint16(m_addresses.size()));
        m_addresses.push_back(address);
    }
    const std::optional<SyslogPriority> priority = SyslogPriority::of(payload);
    m_timeNs.push_back(arrival.timeNs);
    m_dropped.push_back(arrival.droppedBefore);
    m_address.push_back(*known);
    m_port.push_back(arrival.port);
    m_priority.push_back(priority ? quint8(priority->value) : NoPriority);
    const qsizetype start = m_payloads.size();
    m_payloads.resize(start + payload.size());
    char *bytes = m_payloads.data() + start;
    for (const QChar c : payload)
        *bytes++ = char(c.unicode()); // one byte per character: the payload came that way
    m_ends.push_back(quint32(m_payloads.size()));
}

ArrivalEntry ArrivalChunk::entry(qsizetype i) const
{
    const std::size_t row = std::size_t(i);
    const Address &address = m_addresses[m_address[row]];
    ArrivalEntry entry;
    entry.arrival.timeNs = m_timeNs[row];
    entry.arrival.droppedBefore = m_dropped[row];
    entry.arrival.port = m_port[row];
    entry.arrival.ipv4 = address.ipv4;
    entry.arrival.address = address.bytes;
    entry.bytes = qint32(m_ends[row] - (i == 0 ? 0 : m_ends[row - 1]));
    if (m_priority[row] != NoPriority)
        entry.priority = SyslogPriority { m_priority[row] };
    return entry;
}

QByteArrayView ArrivalChunk::payload(qsizetype i) const
{
    const quint32 begin = i == 0 ? 0 : m_ends[std::size_t(i) - 1];
    return QByteArrayView(m_payloads).sliced(begin, m_ends[std::size_t(i)] - begin);
}

void ArrivalChunk::clear()
{
    m_timeNs.clear();
    m_dropped.clear();
    m_address.clear();
    m_port.clear();
    m_priority.clear();
    m_ends.clear();
    m_payloads.resize(0); // keeps its room
    m_addresses.clear();
    m_addressIds.clear();
}

ArrivalChunk ArrivalChunk::readerCopy() const
{
    ArrivalChunk copy;
    copy.m_timeNs = m_timeNs;
    copy.m_dropped = m_dropped;
    copy.m_address = m_address;
    copy.m_port = m_port;
    copy.m_priority = m_priority;
    copy.m_ends = m_ends;
    copy.m_payloads = QByteArray(m_payloads.constData(), m_payloads.size());
    copy.m_addresses = m_addresses;
    return copy;
}

qint64 ArrivalChunk::heldBytes() const
{
    constexpr qint64 PerEntry =
        sizeof(qint64) + sizeof(quint32) + 2 * sizeof(quint16) + sizeof(quint8) + sizeof(quint32);
    // A hash entry costs about its key and value twice over.
    constexpr qint64 PerAddress = sizeof(Address) + 2 * (sizeof(Address) + sizeof(quint16));
    return qint64(m_timeNs.capacity()) * PerEntry + m_payloads.capacity()
        + qint64(m_addresses.capacity()) * PerAddress;
}

// The counts, then each column; times as differences from the one before, which compress better.
QByteArray ArrivalChunk::serialized() const
{
    QByteArray bytes;
    const Header header { quint32(size()), quint32(m_addresses.size()),
                          quint32(m_payloads.size()) };
    bytes.append(reinterpret_cast<const char *>(&header), sizeof(header));
    std::vector<qint64> steps(m_timeNs.size());
    std::adjacent_difference(m_timeNs.begin(), m_timeNs.end(), steps.begin());
    appendArray(bytes, steps);
    appendArray(bytes, m_dropped);
    appendArray(bytes, m_address);
    appendArray(bytes, m_port);
    appendArray(bytes, m_priority);
    appendArray(bytes, m_ends);
    for (const Address &address : m_addresses) {
        bytes.append(char(address.ipv4));
        bytes.append(reinterpret_cast<const char *>(address.bytes.data()),
                     qsizetype(address.bytes.size()));
    }
    bytes.append(m_payloads);
    return bytes;
}

std::optional<ArrivalChunk> ArrivalChunk::deserialized(QByteArrayView bytes)
{
    ArrivalChunk chunk;
    Reader reader(bytes);
    Header header {};
    if (!reader.read(header) || header.entries > MostEntries || header.addresses > header.entries)
        return std::nullopt;
    const std::size_t count = header.entries;
    QByteArray addresses;
    if (!reader.read(chunk.m_timeNs, count) || !reader.read(chunk.m_dropped, count)
        || !reader.read(chunk.m_address, count) || !reader.read(chunk.m_port, count)
        || !reader.read(chunk.m_priority, count) || !reader.read(chunk.m_ends, count)
        || !reader.read(addresses, qsizetype(header.addresses) * AddressBytes)
        || !reader.read(chunk.m_payloads, header.payloadBytes) || !reader.atEnd())
        return std::nullopt;
    std::partial_sum(chunk.m_timeNs.begin(), chunk.m_timeNs.end(), chunk.m_timeNs.begin());
    // What the readers index by: payloads that end in order within the bytes, known senders,
    // priorities that are priorities.
    if (!std::is_sorted(chunk.m_ends.begin(), chunk.m_ends.end())
        || (count == 0 ? header.payloadBytes != 0 : chunk.m_ends.back() != header.payloadBytes)
        || std::any_of(chunk.m_address.begin(), chunk.m_address.end(),
                       [&](quint16 id) { return id >= header.addresses; })
        || std::any_of(chunk.m_priority.begin(), chunk.m_priority.end(), [](quint8 priority) {
               return priority > SyslogPriority::Largest && priority != NoPriority;
           }))
        return std::nullopt;
    chunk.m_addresses.resize(header.addresses);
    for (std::size_t i = 0; i < chunk.m_addresses.size(); ++i) {
        const char *at = addresses.constData() + qsizetype(i) * AddressBytes;
        chunk.m_addresses[i].ipv4 = at[0] != 0;
        std::memcpy(chunk.m_addresses[i].bytes.data(), at + 1, chunk.m_addresses[i].bytes.size());
    }
    return chunk;
}
