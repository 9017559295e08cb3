// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalRecord.h"

#include "ChunkSpill.h"
#include "Compression.h"
#include "SealedChunk.h"

#include <algorithm>

namespace {

// Chunks move to the disk once memory holds more than the budget less this share of it: the share
// is room for the chunks on their way there and the one being filled. When even that is used up,
// the disk refuses them or does not keep up, and new chunks are not kept.
constexpr qint64 InFlightShare = 4;

// What the record knows of each chunk, wherever its datagrams are: the chunk object with its
// lock and the shared pointer's count, and its place in the list.
constexpr qint64 IndexBytesPerChunk =
    qint64(sizeof(SealedChunk)) + 2 * qint64(sizeof(std::shared_ptr<SealedChunk>));

auto chunkHolding(const std::vector<std::shared_ptr<SealedChunk>> &chunks, qint64 index)
{
    return std::upper_bound(chunks.begin(), chunks.end(), index,
                            [](qint64 i, const auto &chunk) { return i < chunk->end(); });
}

} // namespace

ArrivalRecord::ArrivalRecord() = default;
ArrivalRecord::~ArrivalRecord() = default;

void ArrivalRecord::setStorage(qint64 memoryBudget, const QString &folder)
{
    m_budget = memoryBudget;
    m_folder = folder;
}

qint64 ArrivalRecord::append(QStringView payload, const Arrival &arrival)
{
    m_open.append(payload, arrival);
    m_totalDropped += arrival.droppedBefore;
    const qint64 index = m_size++;
    if (m_open.isFull())
        seal();
    return index;
}

void ArrivalRecord::seal()
{
    const qint64 first = m_size - m_open.size();
    const bool overflowing = heldBytes() > m_budget;
    const std::optional<QByteArray> bytes =
        overflowing ? std::nullopt : compressed(m_open.serialized());
    if (bytes) {
        m_sealedBytes += bytes->size();
        m_sealed.push_back(std::make_shared<SealedChunk>(first, m_open, *bytes));
    } else {
        if (m_notKept == 0)
            m_firstNotKeptNs = m_open.entry(0).arrival.timeNs;
        m_notKept += m_open.size();
        m_notKeptReason = overflowing ? QStringLiteral("the disk did not keep up")
                                      : QStringLiteral("they could not be compressed");
        m_sealed.push_back(std::make_shared<SealedChunk>(first, m_open));
    }
    m_open.clear();
    spillOverThreshold();
}

QString ArrivalRecord::notKeptReason() const
{
    if (m_notKept == 0)
        return {};
    // Memory overflows while the disk refuses: the refusal says more than its effect.
    const QString refusal = m_spill ? m_spill->refusal() : QString();
    return refusal.isEmpty() ? m_notKeptReason
                             : QStringLiteral("the disk refused more: %1").arg(refusal);
}

void ArrivalRecord::spillOverThreshold()
{
    while (indexBytes() + m_sealedBytes - m_pushedBytes > m_budget - m_budget / InFlightShare
           && m_nextToPush < m_sealed.size()) {
        const std::shared_ptr<SealedChunk> &chunk = m_sealed[m_nextToPush++];
        if (!chunk->isKept())
            continue;
        if (!m_spill)
            m_spill = std::make_unique<ChunkSpill>(m_folder);
        m_pushedBytes += chunk->compressedSize();
        m_spill->push(chunk);
    }
}

qint64 ArrivalRecord::indexBytes() const
{
    return qint64(m_sealed.capacity()) * IndexBytesPerChunk;
}

qint64 ArrivalRecord::inMemoryBytes() const
{
    return indexBytes() + m_sealedBytes - spilledBytes();
}

qint64 ArrivalRecord::heldBytes() const
{
    return inMemoryBytes() + m_open.heldBytes();
}

qint64 ArrivalRecord::spilledBytes() const
{
    return m_spill ? m_spill->movedBytes() : 0;
}

const ArrivalChunk *ArrivalRecord::rowsOf(qint64 index, qsizetype &within, QString *why) const
{
    const qint64 openStart = m_size - m_open.size();
    if (index >= openStart) {
        within = qsizetype(index - openStart);
        return &m_open;
    }
    const qsizetype chunk = chunkHolding(m_sealed, index) - m_sealed.begin();
    const SealedChunk &sealed = *m_sealed[std::size_t(chunk)];
    within = qsizetype(index - sealed.first());
    const auto cached = std::find_if(std::begin(m_cache), std::end(m_cache),
                                     [chunk](const Cached &c) { return c.chunk == chunk; });
    if (cached != std::end(m_cache))
        return cached->rows.get();
    QString error;
    std::optional<ArrivalChunk> rows = sealed.read(&error);
    if (!rows) {
        if (why)
            *why = error;
        return nullptr;
    }
    m_cache[1] = std::move(m_cache[0]);
    m_cache[0] = { chunk, std::make_shared<const ArrivalChunk>(std::move(*rows)) };
    return m_cache[0].rows.get();
}

std::optional<ArrivalEntry> ArrivalRecord::at(qint64 index, QString *why) const
{
    qsizetype within = 0;
    const ArrivalChunk *rows = rowsOf(index, within, why);
    if (!rows)
        return std::nullopt;
    return rows->entry(within);
}

QByteArray ArrivalRecord::payload(qint64 index) const
{
    qsizetype within = 0;
    const ArrivalChunk *rows = rowsOf(index, within, nullptr);
    return rows ? rows->payload(within).toByteArray() : QByteArray();
}

bool ArrivalRecord::dropsWithin(qint64 from, qint64 to) const
{
    if (m_totalDropped == 0)
        return false;
    for (qint64 index = from; index <= to && index < m_size;) {
        const qint64 openStart = m_size - m_open.size();
        if (index < openStart) {
            const SealedChunk &chunk = **chunkHolding(m_sealed, index);
            if (!chunk.hasDrops()) {
                index = chunk.end();
                continue;
            }
        }
        const std::optional<ArrivalEntry> entry = at(index);
        if (entry && entry->arrival.droppedBefore > 0)
            return true;
        ++index;
    }
    return false;
}

bool ArrivalRecord::keptWithin(qint64 from, qint64 to) const
{
    if (m_notKept == 0)
        return true;
    for (auto chunk = chunkHolding(m_sealed, from);
         chunk != m_sealed.end() && (*chunk)->first() <= to; ++chunk) {
        if (!(*chunk)->isKept())
            return false;
    }
    return true;
}

void ArrivalRecord::clear()
{
    // The spill first: it may be writing one of the chunks.
    m_spill.reset();
    m_sealed.clear();
    m_open.clear();
    m_size = 0;
    m_totalDropped = 0;
    m_sealedBytes = 0;
    m_pushedBytes = 0;
    m_nextToPush = 0;
    m_notKept = 0;
    m_notKeptReason.clear();
    m_firstNotKeptNs = 0;
    std::fill(std::begin(m_cache), std::end(m_cache), Cached {});
}

ArrivalSnapshot ArrivalRecord::snapshot() const
{
    ArrivalSnapshot snapshot;
    snapshot.m_sealed.assign(m_sealed.begin(), m_sealed.end());
    if (m_open.size() > 0)
        snapshot.m_open = std::make_shared<const ArrivalChunk>(m_open.readerCopy());
    snapshot.m_size = m_size;
    snapshot.m_notKept = m_notKept;
    return snapshot;
}
