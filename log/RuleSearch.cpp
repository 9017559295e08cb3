// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RuleSearch.h"

#include "SyslogFields.h"

#include <QMetaObject>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// A search gives way to the window and the receive path.
constexpr int SearchNiceness = 10;

} // namespace

RuleSearch::RuleSearch(QObject *parent)
    : QObject(parent)
{ }

RuleSearch::~RuleSearch()
{
    stop();
}

void RuleSearch::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_stop = false;
}

void RuleSearch::cancel()
{
    stop();
    ++m_generation;
}

void RuleSearch::start(ArrivalSnapshot snapshot, qint64 from, bool backward, Test test,
                       bool needsFields)
{
    cancel();
    m_done = false;
    const int generation = m_generation;
    m_thread = std::thread([this, snapshot = std::move(snapshot), from, backward,
                            test = std::move(test), needsFields, generation] {
        setpriority(PRIO_PROCESS, id_t(gettid()), SearchNiceness);
        QString error;
        qint64 searched = 0;
        // The first datagram in [from, to) that passes, or the last; -1 for none.
        const auto passing = [&](qint64 low, qint64 high, bool last) {
            qint64 found = -1;
            if (low >= high)
                return found;
            snapshot.forEachIndexed(
                low, high,
                [&](qint64 index, const ArrivalEntry &entry, QByteArrayView payload) {
                    if (m_stop)
                        return false;
                    ++searched;
                    const SyslogFields fields = needsFields
                        ? SyslogFields::read(payload, entry.arrival.timeNs)
                        : SyslogFields();
                    if (test(entry, payload, needsFields ? &fields : nullptr))
                        found = index;
                    return last || found < 0;
                },
                &error);
            return found;
        };
        // A chunk at a time, each read once, in the order the search goes: from the place to the
        // end and round from the start, or back to the start and round from the end.
        const std::vector<qint64> bounds = snapshot.boundaries(1);
        const std::size_t parts = bounds.size() - 1;
        std::size_t here = 0;
        while (here + 1 < parts && bounds[here + 1] <= from)
            ++here;
        qint64 found = -1;
        bool wrapped = false;
        for (std::size_t step = 0; step <= parts && found < 0 && !m_stop; ++step) {
            // Forward: this part's rest, the parts after, then round to this part's start.
            const std::size_t part =
                backward ? (here + parts - step) % parts : (here + step) % parts;
            wrapped = step > 0 && (backward ? part > here || step == parts : part <= here);
            qint64 low = bounds[part];
            qint64 high = bounds[part + 1];
            if (step == 0) {
                (backward ? high : low) = backward ? std::min(high, from) : std::max(low, from + 1);
            } else if (step == parts) {
                (backward ? low : high) = backward ? std::max(low, from) : std::min(high, from + 1);
            }
            found = passing(low, high, backward);
        }
        m_done = true;
        QMetaObject::invokeMethod(
            this,
            [this, generation, found, wrapped, searched, error] {
                if (generation != m_generation)
                    return;
                if (m_thread.joinable())
                    m_thread.join();
                if (found >= 0)
                    emit this->found(found, wrapped);
                else
                    emit notFound(searched, error);
            },
            Qt::QueuedConnection);
    });
}
