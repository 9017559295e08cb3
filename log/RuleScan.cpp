// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RuleScan.h"

#include "SyslogFields.h"

#include <QMetaObject>

#include <algorithm>
#include <mutex>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// A part is this many chunks, some 16,000 datagrams: parts small enough that both cores stay busy
// to the end and the rows come in steadily, large enough that handing them out costs nothing.
constexpr qsizetype ChunksPerPart = 16;
// A scan gives way to the window and the receive path, which the user sees at once.
constexpr int ScanNiceness = 10;

int scanThreads()
{
    return std::max(1, int(std::thread::hardware_concurrency()));
}

} // namespace

// What the threads share: the parts to scan, and what each found.
struct RuleScan::Job
{
    struct Part
    {
        qint64 from = 0;
        qint64 to = 0;
        std::vector<qint64> rows;
        TimeCounts counts;
        QString error;
        bool complete = false; // not stopped half-way
        std::atomic<bool> done { false };
    };

    ArrivalSnapshot snapshot;
    std::vector<Part> parts;
    std::atomic<std::size_t> next { 0 };
    std::atomic<bool> stop { false };
    std::size_t collected = 0; // the window thread's
};

RuleScan::RuleScan(Rule rule, QObject *parent)
    : QObject(parent)
    , m_rule(std::move(rule))
{ }

RuleScan::~RuleScan()
{
    if (m_job)
        m_job->stop = true;
    for (std::thread &thread : m_threads)
        thread.join();
}

void RuleScan::scan(ArrivalSnapshot snapshot)
{
    if (m_cancelled)
        return;
    if (m_job) {
        m_waiting = std::move(snapshot);
        return;
    }
    start(std::move(snapshot));
}

void RuleScan::start(ArrivalSnapshot snapshot)
{
    m_total = snapshot.size();
    if (m_total <= m_scanned) {
        emit finished();
        return;
    }
    m_job = std::make_unique<Job>();
    Job &job = *m_job;
    std::vector<qint64> bounds { m_scanned };
    const std::vector<qint64> chunks = snapshot.boundaries(ChunksPerPart);
    std::copy_if(chunks.begin(), chunks.end(), std::back_inserter(bounds),
                 [this](qint64 bound) { return bound > m_scanned; });
    job.parts = std::vector<Job::Part>(bounds.size() - 1);
    for (std::size_t i = 0; i + 1 < bounds.size(); ++i) {
        job.parts[i].from = bounds[i];
        job.parts[i].to = bounds[i + 1];
    }
    job.snapshot = std::move(snapshot);
    const auto work = [this, &job] {
        setpriority(PRIO_PROCESS, id_t(gettid()), ScanNiceness);
        for (std::size_t i; !job.stop && (i = job.next++) < job.parts.size();) {
            Job::Part &part = job.parts[i];
            const ArrivalSnapshot::Read read = job.snapshot.forEachIndexed(
                part.from, part.to,
                [&](qint64 index, const ArrivalEntry &entry, QByteArrayView payload) {
                    if (entry.arrival.droppedBefore > 0) {
                        part.rows.push_back(gapRow(index));
                        part.counts.addDropped(entry.arrival.timeNs, entry.arrival.droppedBefore);
                    }
                    const SyslogFields fields = m_rule.needsFields()
                        ? SyslogFields::read(payload, entry.arrival.timeNs)
                        : SyslogFields();
                    if (m_rule.matches(entry, payload, m_rule.needsFields() ? &fields : nullptr)) {
                        part.rows.push_back(index);
                        part.counts.add(entry.arrival.timeNs, entry.priority);
                    }
                    return !job.stop;
                },
                &part.error);
            part.complete = read != ArrivalSnapshot::Read::Stopped;
            part.done.store(true, std::memory_order_release);
            QMetaObject::invokeMethod(this, &RuleScan::collect, Qt::QueuedConnection);
        }
    };
    const int threads = std::min<int>(scanThreads(), int(job.parts.size()));
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back(work);
}

void RuleScan::collect()
{
    if (!m_job)
        return;
    Job &job = *m_job;
    bool more = false;
    while (job.collected < job.parts.size()
           && job.parts[job.collected].done.load(std::memory_order_acquire)
           && job.parts[job.collected].complete) {
        Job::Part &part = job.parts[job.collected++];
        if (!part.error.isEmpty() && m_error.isEmpty())
            m_error = part.error; // the rows it found before are kept
        m_rows.insert(m_rows.end(), part.rows.begin(), part.rows.end());
        m_counts.merge(part.counts);
        m_scanned = part.to;
        more = true;
    }
    if (more)
        emit progressed();
    if (job.collected < job.parts.size() && !job.stop)
        return;
    job.stop = true;
    for (std::thread &thread : m_threads)
        thread.join();
    m_threads.clear();
    m_job.reset();
    if (m_waiting && !m_cancelled) {
        ArrivalSnapshot waiting = std::move(*m_waiting);
        m_waiting.reset();
        start(std::move(waiting));
        return;
    }
    emit finished();
}

void RuleScan::cancel()
{
    m_cancelled = true;
    m_waiting.reset();
    if (m_job) {
        m_job->stop = true;
        QMetaObject::invokeMethod(this, &RuleScan::collect, Qt::QueuedConnection);
    }
}

void RuleScan::resume(ArrivalSnapshot snapshot)
{
    m_cancelled = false;
    scan(std::move(snapshot));
}

std::vector<qint64> RuleScan::takeRows()
{
    return std::exchange(m_rows, {});
}

TimeCounts RuleScan::takeCounts()
{
    return std::exchange(m_counts, {});
}
