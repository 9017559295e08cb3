// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ROWINDEX_H
#define HARKLINE_ROWINDEX_H

#include <QtGlobal>

#include <optional>
#include <vector>

// The rows a view of the record shows, in order: a row for each datagram, and before each datagram
// that came after a gap, a row for the gap. Without a filter the rows are every datagram and
// every gap, and the index costs nothing a row; under a filter it keeps the rows found, 8 bytes
// each (RuleScan writes them).
class RowIndex
{
public:
    struct Row
    {
        qint64 datagram = 0;
        bool gap = false; // the gap before 'datagram'
        bool operator==(const Row &other) const = default;
    };

    // Without a filter: 'datagrams' in the record, after gaps before 'gaps' (sorted).
    void showAll(qint64 datagrams, const std::vector<qint64> *gaps);
    // Under a filter: no row yet.
    void showFiltered();
    bool isFiltered() const { return m_filtered; }
    // Without a filter: the record's new size. Under one: the rows a scan found.
    void setDatagrams(qint64 datagrams) { m_datagrams = datagrams; }
    qint64 datagrams() const { return m_datagrams; }
    void append(const std::vector<qint64> &rows);

    qint64 count() const;
    Row at(qint64 row) const;
    // The first row at or after datagram 'datagram' (its gap's, where it has one); count() when
    // there is none.
    qint64 rowOf(qint64 datagram) const;

private:
    qint64 gapsUpTo(qint64 datagram) const; // gaps before datagrams up to and with it

    bool m_filtered = false;
    qint64 m_datagrams = 0;
    const std::vector<qint64> *m_gaps = nullptr;
    // Under a filter, RuleScan's rows, in blocks of a fixed size: appending never copies the rows
    // before, which at millions of rows would hold the window's thread for tens of milliseconds.
    static constexpr int BlockBits = 16;
    static constexpr qint64 BlockRows = qint64(1) << BlockBits;
    qint64 value(qint64 row) const
    {
        return m_blocks[std::size_t(row >> BlockBits)][std::size_t(row & (BlockRows - 1))];
    }
    std::vector<std::vector<qint64>> m_blocks;
    qint64 m_rowCount = 0;
};

#endif // HARKLINE_ROWINDEX_H
