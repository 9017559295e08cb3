// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_CHUNKSPILL_H
#define HARKLINE_CHUNKSPILL_H

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class SealedChunk;
class SpillFile;

// Moves sealed chunks of the record to the spill file, on a thread of its own: whoever hands it
// a chunk never waits for the disk. A chunk stays readable in memory until it is written. When
// the disk refuses one (full, a quota), it and those after it wait in memory, and the first is
// tried again now and then, since room may come back.
class ChunkSpill
{
public:
    // 'folder' where the file goes; empty: SpillFile::chooseFolder().
    explicit ChunkSpill(QString folder);
    // Stops; chunks still waiting stay in memory.
    ~ChunkSpill();
    ChunkSpill(const ChunkSpill &) = delete;
    ChunkSpill &operator=(const ChunkSpill &) = delete;

    void push(std::shared_ptr<SealedChunk> chunk);
    // Compressed bytes written to the disk so far: no longer in memory.
    qint64 movedBytes() const { return m_movedBytes.load(std::memory_order_relaxed); }
    // Why the disk refused the last chunk tried, while it refuses; empty otherwise.
    QString refusal() const;

private:
    // Room may come back (the user frees some): a write is tried again after this.
    static constexpr std::chrono::seconds RetryAfter { 5 };

    void run();
    bool write(SealedChunk &chunk, QString *error);

    const QString m_folder;
    std::shared_ptr<SpillFile> m_file; // the spill thread's only
    std::atomic<qint64> m_movedBytes { 0 };

    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<SealedChunk>> m_waiting;
    bool m_refusing = false;
    QString m_refusal;
    std::chrono::steady_clock::time_point m_retryAt;
    bool m_stop = false;

    std::thread m_thread; // last: it starts once everything above is made
};

#endif // HARKLINE_CHUNKSPILL_H
