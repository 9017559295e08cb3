// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalSnapshot.h"

#include "SealedChunk.h"

#include <algorithm>

namespace {

// The first of 'chunks' that ends after 'index'.
auto chunkHolding(const std::vector<std::shared_ptr<const SealedChunk>> &chunks, qint64 index)
{
    return std::upper_bound(chunks.begin(), chunks.end(), index,
                            [](qint64 i, const auto &chunk) { return i < chunk->end(); });
}

// The datagrams of 'chunk', whose first is datagram 'first', that lie from 'from' up to 'to'.
bool takeRows(const ArrivalChunk &chunk, qint64 first, qint64 from, qint64 to,
              const ArrivalSnapshot::IndexedTake &take)
{
    const qsizetype end = qsizetype(std::min<qint64>(chunk.size(), to - first));
    for (qsizetype i = qsizetype(std::max<qint64>(0, from - first)); i < end; ++i) {
        if (!take(first + i, chunk.entry(i), chunk.payload(i)))
            return false;
    }
    return true;
}

} // namespace

ArrivalSnapshot::Read ArrivalSnapshot::forEach(qint64 from, qint64 to, const Take &take,
                                               QString *error) const
{
    return forEachIndexed(
        from, to,
        [&take](qint64, const ArrivalEntry &entry, QByteArrayView payload) {
            return take(entry, payload);
        },
        error);
}

ArrivalSnapshot::Read ArrivalSnapshot::forEachIndexed(qint64 from, qint64 to,
                                                      const IndexedTake &take,
                                                      QString *error) const
{
    to = std::min(to, m_size);
    for (auto chunk = chunkHolding(m_sealed, from);
         chunk != m_sealed.end() && (*chunk)->first() < to; ++chunk) {
        if (!(*chunk)->isKept())
            continue;
        QString why;
        const std::optional<ArrivalChunk> rows = (*chunk)->read(&why);
        if (!rows) {
            *error = QStringLiteral("datagrams %1 to %2 of the record cannot be read back: %3")
                         .arg((*chunk)->first() + 1)
                         .arg((*chunk)->end())
                         .arg(why);
            return Read::Failed;
        }
        if (!takeRows(*rows, (*chunk)->first(), from, to, take))
            return Read::Stopped;
    }
    if (m_open && !takeRows(*m_open, m_size - m_open->size(), from, to, take))
        return Read::Stopped;
    return Read::Done;
}

ArrivalSnapshot::Read ArrivalSnapshot::forEach(const Take &take, QString *error) const
{
    if (!m_only)
        return forEach(0, m_size, take, error);
    // Chunk by chunk: the datagrams of each chunk that are wanted, then the next chunk.
    auto wanted = m_only->begin();
    while (wanted != m_only->end()) {
        const auto chunk = chunkHolding(m_sealed, *wanted);
        const qint64 end = chunk == m_sealed.end() ? m_size : (*chunk)->end();
        const auto last = std::lower_bound(wanted, m_only->end(), end);
        const Read read = forEachIndexed(
            *wanted, end,
            [&](qint64 index, const ArrivalEntry &entry, QByteArrayView payload) {
                return !std::binary_search(wanted, last, index) || take(entry, payload);
            },
            error);
        if (read != Read::Done)
            return read;
        wanted = last;
    }
    return Read::Done;
}

ArrivalSnapshot ArrivalSnapshot::only(std::shared_ptr<const std::vector<qint64>> indices) const
{
    ArrivalSnapshot snapshot = *this;
    snapshot.m_only = std::move(indices);
    return snapshot;
}

qint64 ArrivalSnapshot::count() const
{
    return m_only ? qint64(m_only->size()) : m_size;
}

qint64 ArrivalSnapshot::countNotKept() const
{
    if (!m_only || m_notKept == 0)
        return m_notKept;
    return std::count_if(m_only->begin(), m_only->end(), [this](qint64 index) {
        const auto chunk = chunkHolding(m_sealed, index);
        return chunk != m_sealed.end() && !(*chunk)->isKept();
    });
}

std::vector<qint64> ArrivalSnapshot::boundaries(qsizetype chunks) const
{
    std::vector<qint64> starts { 0 };
    for (std::size_t i = std::size_t(chunks); i < m_sealed.size(); i += std::size_t(chunks))
        starts.push_back(m_sealed[i]->first());
    starts.push_back(m_open ? m_size - m_open->size() : m_size);
    starts.push_back(m_size);
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    return starts;
}

qint64 ArrivalSnapshot::notKeptWithin(qint64 from, qint64 to) const
{
    if (m_notKept == 0)
        return 0;
    qint64 missing = 0;
    for (auto chunk = chunkHolding(m_sealed, from);
         chunk != m_sealed.end() && (*chunk)->first() < to; ++chunk) {
        if (!(*chunk)->isKept())
            missing += std::min(to, (*chunk)->end()) - std::max(from, (*chunk)->first());
    }
    return missing;
}
