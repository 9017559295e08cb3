// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RowIndex.h"

#include "RuleScan.h"

#include <algorithm>

void RowIndex::showAll(qint64 datagrams, const std::vector<qint64> *gaps)
{
    m_filtered = false;
    m_datagrams = datagrams;
    m_gaps = gaps;
    m_rows = {};
}

void RowIndex::showFiltered()
{
    m_filtered = true;
    m_rows.clear();
}

void RowIndex::append(const std::vector<qint64> &rows)
{
    m_rows.insert(m_rows.end(), rows.begin(), rows.end());
}

qint64 RowIndex::gapsUpTo(qint64 datagram) const
{
    if (!m_gaps)
        return 0;
    return std::upper_bound(m_gaps->begin(), m_gaps->end(), datagram) - m_gaps->begin();
}

qint64 RowIndex::count() const
{
    if (m_filtered)
        return qint64(m_rows.size());
    return m_datagrams + gapsUpTo(m_datagrams - 1);
}

RowIndex::Row RowIndex::at(qint64 row) const
{
    if (m_filtered) {
        const qint64 value = m_rows[std::size_t(row)];
        return { RuleScan::datagramOf(value), RuleScan::isGap(value) };
    }
    // Datagram d is row d + gapsUpTo(d), which grows with d: the first datagram whose row is at
    // or after 'row'. One row before it, its gap.
    qint64 low = 0;
    qint64 high = m_datagrams;
    while (low < high) {
        const qint64 middle = low + (high - low) / 2;
        if (middle + gapsUpTo(middle) < row)
            low = middle + 1;
        else
            high = middle;
    }
    return { low, low + gapsUpTo(low) != row };
}

qint64 RowIndex::rowOf(qint64 datagram) const
{
    if (m_filtered) {
        const auto first =
            std::lower_bound(m_rows.begin(), m_rows.end(), datagram, [](qint64 row, qint64 value) {
                return RuleScan::datagramOf(row) < value;
            });
        return first - m_rows.begin();
    }
    if (datagram >= m_datagrams)
        return count();
    const bool gap = m_gaps && std::binary_search(m_gaps->begin(), m_gaps->end(), datagram);
    return datagram + gapsUpTo(datagram) - (gap ? 1 : 0);
}
