// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "BackgroundSave.h"

#include <sched.h>

namespace {

QList<BackgroundSave *> &runningSaves()
{
    static QList<BackgroundSave *> saves; // cppcheck-suppress unassignedVariable
    return saves;
}

} // namespace

BackgroundSave::BackgroundSave(QString what, qint64 total, Work work)
    : m_what(std::move(what))
    , m_progress(total)
    , m_work(std::move(work))
{ }

BackgroundSave::~BackgroundSave()
{
    if (m_thread.joinable())
        m_thread.join();
    runningSaves().removeOne(this);
}

void BackgroundSave::start()
{
    runningSaves().append(this);
    m_thread = std::thread([this] {
        // A save gives way at once to the window and the receive path when they need the
        // processor (a thread of the idle policy is preempted by any other that wakes), and still
        // gets a small share when they never stop: a datagram waits for no save.
        const sched_param idle {};
        sched_setscheduler(0, SCHED_IDLE, &idle);
        const SaveResult result = m_work(m_progress);
        {
            const std::lock_guard lock(m_mutex);
            m_result = result;
        }
        QMetaObject::invokeMethod(this, &BackgroundSave::finish, Qt::QueuedConnection);
    });
}

void BackgroundSave::finish()
{
    m_thread.join(); // it has only to return
    runningSaves().removeOne(this);
    SaveResult result;
    {
        const std::lock_guard lock(m_mutex);
        result = m_result;
    }
    emit finished(result);
    deleteLater();
}

QList<BackgroundSave *> BackgroundSave::running()
{
    return runningSaves();
}
