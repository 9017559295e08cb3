// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SealedChunk.h"

#include "Compression.h"
#include "SpillFile.h"

namespace {

bool anyDrops(const ArrivalChunk &chunk)
{
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        if (chunk.droppedBefore(i) > 0)
            return true;
    }
    return false;
}

} // namespace

SealedChunk::SealedChunk(qint64 first, const ArrivalChunk &chunk, QByteArray compressed)
    : m_first(first)
    , m_count(qint32(chunk.size()))
    , m_size(qint32(compressed.size()))
    , m_kept(true)
    , m_hasDrops(anyDrops(chunk))
    , m_compressed(std::move(compressed))
{ }

SealedChunk::SealedChunk(qint64 first, const ArrivalChunk &chunk)
    : m_first(first)
    , m_count(qint32(chunk.size()))
    , m_size(0)
    , m_kept(false)
    , m_hasDrops(anyDrops(chunk))
{ }

std::optional<ArrivalChunk> SealedChunk::read(QString *error) const
{
    if (!m_kept) {
        *error = QStringLiteral("not kept");
        return std::nullopt;
    }
    QByteArray bytes;
    std::shared_ptr<const SpillFile> file;
    qint64 offset = -1;
    {
        const std::lock_guard lock(m_mutex);
        bytes = m_compressed; // shared, not copied
        file = m_file;
        offset = m_offset;
    }
    if (bytes.isEmpty() && !file->read(offset, m_size, bytes, error))
        return std::nullopt;
    const std::optional<QByteArray> serialized = decompressed(bytes);
    std::optional<ArrivalChunk> chunk =
        serialized ? ArrivalChunk::deserialized(*serialized) : std::nullopt;
    if (!chunk || chunk->size() != m_count) {
        *error = file
            ? QStringLiteral("what was read back from %1 fails its check").arg(file->folder())
            : QStringLiteral("what was kept in memory fails its check");
        return std::nullopt;
    }
    return chunk;
}

QByteArray SealedChunk::inMemory() const
{
    const std::lock_guard lock(m_mutex);
    return m_compressed;
}

void SealedChunk::movedTo(std::shared_ptr<const SpillFile> file, qint64 offset)
{
    const std::lock_guard lock(m_mutex);
    m_file = std::move(file);
    m_offset = offset;
    m_compressed = QByteArray();
}
