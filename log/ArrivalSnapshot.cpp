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
              const ArrivalSnapshot::Take &take)
{
    const qsizetype end = qsizetype(std::min<qint64>(chunk.size(), to - first));
    for (qsizetype i = qsizetype(std::max<qint64>(0, from - first)); i < end; ++i) {
        if (!take(chunk.entry(i), chunk.payload(i)))
            return false;
    }
    return true;
}

} // namespace

ArrivalSnapshot::Read ArrivalSnapshot::forEach(qint64 from, qint64 to, const Take &take,
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
