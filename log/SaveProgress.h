// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SAVEPROGRESS_H
#define HARKLINE_SAVEPROGRESS_H

#include <QtGlobal>

#include <algorithm>
#include <atomic>

// How far a save has got, and whether it is to stop: shared between the thread that writes and
// the one that shows it.
class SaveProgress
{
public:
    // 'total': what a finished save has done, in any unit (datagrams, characters).
    explicit SaveProgress(qint64 total)
        : m_total(total)
    { }

    // Counts 'done' more; false once the save is to stop.
    bool add(qint64 done)
    {
        m_done.fetch_add(done, std::memory_order_relaxed);
        return !isCancelled();
    }
    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    // 0 to 100.
    int percent() const
    {
        const qint64 done = m_done.load(std::memory_order_relaxed);
        return m_total > 0 ? int(std::clamp<qint64>(done * 100 / m_total, 0, 100)) : 0;
    }

private:
    const qint64 m_total;
    std::atomic<qint64> m_done { 0 };
    std::atomic<bool> m_cancelled { false };
};

#endif // HARKLINE_SAVEPROGRESS_H
