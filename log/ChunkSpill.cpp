// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ChunkSpill.h"

#include "SealedChunk.h"
#include "SpillFile.h"

ChunkSpill::ChunkSpill(QString folder)
    : m_folder(std::move(folder))
    , m_thread([this] { run(); })
{ }

ChunkSpill::~ChunkSpill()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void ChunkSpill::push(std::shared_ptr<SealedChunk> chunk)
{
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.push_back(std::move(chunk));
    }
    m_wake.notify_one();
}

QString ChunkSpill::refusal() const
{
    const std::lock_guard lock(m_mutex);
    return m_refusing ? m_refusal : QString();
}

void ChunkSpill::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_waiting.empty(); });
        if (m_stop)
            return;
        if (m_refusing && std::chrono::steady_clock::now() < m_retryAt) {
            m_wake.wait_until(lock, m_retryAt, [this] { return m_stop; });
            continue;
        }
        const std::shared_ptr<SealedChunk> chunk = m_waiting.front();
        lock.unlock();
        QString error;
        const bool written = write(*chunk, &error);
        lock.lock();
        if (written) {
            m_waiting.pop_front();
            m_refusing = false;
        } else {
            m_refusing = true;
            m_refusal = error;
            m_retryAt = std::chrono::steady_clock::now() + RetryAfter;
        }
    }
}

bool ChunkSpill::write(SealedChunk &chunk, QString *error)
{
    if (!m_file) {
        m_file =
            SpillFile::create(m_folder.isEmpty() ? SpillFile::chooseFolder() : m_folder, error);
        if (!m_file)
            return false;
    }
    const QByteArray bytes = chunk.inMemory();
    const qint64 offset = m_file->append(bytes, error);
    if (offset < 0) {
        *error = QStringLiteral("%1 (in %2)").arg(*error, m_file->folder());
        return false;
    }
    chunk.movedTo(m_file, offset);
    m_movedBytes.fetch_add(bytes.size(), std::memory_order_relaxed);
    return true;
}
