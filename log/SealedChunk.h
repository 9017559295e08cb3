// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SEALEDCHUNK_H
#define HARKLINE_SEALEDCHUNK_H

#include "ArrivalChunk.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>

class SpillFile;

// A full chunk of the record, compressed. It never changes, but for moving from memory to the
// spill file, which a reader on any thread does not notice. Or a chunk the record could not
// keep: what it held is gone, but where it was and how much it held are known.
class SealedChunk
{
public:
    // A chunk kept, compressed as 'compressed'.
    SealedChunk(qint64 first, const ArrivalChunk &chunk, QByteArray compressed);
    // A chunk not kept.
    SealedChunk(qint64 first, const ArrivalChunk &chunk);
    SealedChunk(const SealedChunk &) = delete;
    SealedChunk &operator=(const SealedChunk &) = delete;

    qint64 first() const { return m_first; }
    qint64 end() const { return m_first + m_count; }
    qsizetype count() const { return m_count; }
    bool isKept() const { return m_kept; }
    // Whether the system dropped datagrams just before any of them.
    bool hasDrops() const { return m_hasDrops; }
    qsizetype compressedSize() const { return m_size; }

    // Its datagrams; none, with why in 'error', when they cannot be read back (or were not kept).
    std::optional<ArrivalChunk> read(QString *error) const;

    // For the spill: the bytes to write, empty once written, and where they went.
    QByteArray inMemory() const;
    void movedTo(std::shared_ptr<const SpillFile> file, qint64 offset);

private:
    const qint64 m_first;
    const qint32 m_count;
    const qint32 m_size;
    const bool m_kept;
    const bool m_hasDrops;
    mutable std::mutex m_mutex; // the storage below moves while readers read
    QByteArray m_compressed;
    std::shared_ptr<const SpillFile> m_file;
    qint64 m_offset = -1;
};

#endif // HARKLINE_SEALEDCHUNK_H
