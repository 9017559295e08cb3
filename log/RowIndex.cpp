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
    m_blocks = {};
    m_rowCount = 0;
}

void RowIndex::showFiltered()
{
    m_filtered = true;
    m_blocks = {};
    m_rowCount = 0;
}

void RowIndex::append(const std::vector<qint64> &rows)
{
    for (const qint64 row : rows) {
        if (m_rowCount % BlockRows == 0) {
            m_blocks.emplace_back();
            m_blocks.back().reserve(std::size_t(BlockRows));
        }
        m_blocks.back().push_back(row);
        ++m_rowCount;
    }
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
        return m_rowCount;
    return m_datagrams + gapsUpTo(m_datagrams - 1);
}

RowIndex::Row RowIndex::at(qint64 row) const
{
    if (m_filtered) {
        const qint64 found = value(row);
        return { RuleScan::datagramOf(found), RuleScan::isGap(found) };
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
        // The first row whose datagram is not before 'datagram': rows rise with their datagrams.
        qint64 low = 0;
        qint64 high = m_rowCount;
        while (low < high) {
            const qint64 middle = low + (high - low) / 2;
            if (RuleScan::datagramOf(value(middle)) < datagram)
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    }
    if (datagram >= m_datagrams)
        return count();
    const bool gap = m_gaps && std::binary_search(m_gaps->begin(), m_gaps->end(), datagram);
    return datagram + gapsUpTo(datagram) - (gap ? 1 : 0);
}
