// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RowJumps.h"

#include "FindBar.h"
#include "LogHub.h"
#include "LogTable.h"
#include "ShownRows.h"

#include <algorithm>

namespace {

// Warning: the least urgent severity a problem has.
constexpr int LeastUrgentProblem = 4;

bool isProblem(const ArrivalEntry &entry)
{
    return entry.arrival.droppedBefore > 0
        || (entry.priority && entry.priority->severity() <= LeastUrgentProblem);
}

} // namespace

RowJumps::RowJumps(LogHub &hub, ShownRows *rows, LogTable *table, FindBar *findBar)
    : QObject(table)
    , m_hub(hub)
    , m_rows(rows)
    , m_table(table)
    , m_findBar(findBar)
{
    m_table->setMarks(&m_marks);
    connect(&hub, &LogHub::cleared, this, [this] {
        m_marks.clear();
        m_search.cancel();
    });
    connect(&m_search, &RuleSearch::found, this, [this](qint64 datagram, bool wrapped) {
        goToDatagram(datagram, m_searchingProblems);
        emit said(wrapped ? tr("Wrapped") : QString());
    });
    connect(&m_search, &RuleSearch::notFound, this, [this](qint64 searched, const QString &error) {
        emit said(error.isEmpty() ? tr("No %1 in %L2 arrivals").arg(m_searching).arg(searched)
                                  : tr("Part of the record could not be read: %1").arg(error));
    });
}

qint64 RowJumps::currentDatagram() const
{
    const qint64 row = m_table->currentRow();
    if (row < 0 || row >= m_rows->index().count())
        return -1;
    return m_rows->index().at(row).datagram;
}

void RowJumps::goToDatagram(qint64 datagram, bool toGap)
{
    const RowIndex &index = m_rows->index();
    qint64 row = index.rowOf(datagram);
    if (!toGap && row + 1 < index.count() && index.at(row).gap
        && index.at(row + 1) == RowIndex::Row { datagram, false })
        ++row;
    m_table->setCurrentRow(row);
}

void RowJumps::search(bool backward, const RuleSearch::Test &test, bool needsFields,
                      const QString &what, bool problems)
{
    m_searchingProblems = problems;
    const Rule &filter = m_rows->rule();
    RuleSearch::Test shown = test;
    if (!filter.isEmpty()) {
        shown = [test, filter](const ArrivalEntry &entry, QByteArrayView payload,
                               const SyslogFields *fields) {
            return test(entry, payload, fields) && filter.matches(entry, payload, fields);
        };
    }
    m_searching = what;
    emit said(QString());
    const qint64 from = currentDatagram() >= 0 ? currentDatagram()
        : backward                             ? m_hub.arrivals().size()
                                               : -1;
    m_search.start(m_hub.arrivals().snapshot(), from, backward, shown,
                   needsFields || filter.needsFields());
}

void RowJumps::find(bool backward)
{
    const Rule rule = Rule::parse(m_findBar->needle());
    if (rule.isEmpty() || !rule.isValid()) {
        m_findBar->open();
        return;
    }
    search(
        backward,
        [rule](const ArrivalEntry &entry, QByteArrayView payload, const SyslogFields *fields) {
            return rule.matches(entry, payload, fields);
        },
        rule.needsFields(), tr("match"), false);
}

void RowJumps::jumpToProblem(bool backward)
{
    search(
        backward,
        [](const ArrivalEntry &entry, QByteArrayView, const SyslogFields *) {
            return isProblem(entry);
        },
        false, tr("problem"), true);
}

void RowJumps::toggleMark()
{
    const qint64 datagram = currentDatagram();
    if (datagram < 0)
        return;
    if (!m_marks.erase(datagram))
        m_marks.insert(datagram);
    m_table->viewport()->update();
}

void RowJumps::jumpToMark(bool backward)
{
    const RowIndex &index = m_rows->index();
    // The marks shown, after the current row or before it, then round the end.
    const qint64 current = currentDatagram();
    std::vector<qint64> shown;
    for (const qint64 datagram : m_marks) {
        const qint64 row = index.rowOf(datagram);
        for (qint64 at = row; at < index.count() && at <= row + 1; ++at) {
            if (index.at(at) == RowIndex::Row { datagram, false })
                shown.push_back(datagram);
        }
    }
    if (shown.empty()) {
        emit said(tr("No marks in the rows shown"));
        return;
    }
    qint64 target = 0;
    if (backward) {
        const auto before = std::lower_bound(shown.begin(), shown.end(), current);
        target = before != shown.begin() ? *std::prev(before) : shown.back();
    } else {
        const auto after = std::upper_bound(shown.begin(), shown.end(), current);
        target = after != shown.end() ? *after : shown.front();
    }
    m_table->setCurrentRow(index.rowOf(target) + (index.at(index.rowOf(target)).gap ? 1 : 0));
}
