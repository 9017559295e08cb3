// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ARRIVALSNAPSHOT_H
#define HARKLINE_ARRIVALSNAPSHOT_H

#include "ArrivalChunk.h"

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class SealedChunk;

// The record of arrivals as it was at one moment: the sealed chunks it had, which never change,
// and a copy of the one it was filling. Read it on any thread while arrivals go on.
class ArrivalSnapshot
{
public:
    using Take = std::function<bool(const ArrivalEntry &, QByteArrayView payload)>;
    // The same, with the datagram's index.
    using IndexedTake =
        std::function<bool(qint64 index, const ArrivalEntry &, QByteArrayView payload)>;
    enum class Read {
        Done,
        Stopped, // 'take' returned false
        Failed, // a chunk could not be read back: why in 'error'
    };

    qint64 size() const { return m_size; }
    // Of those, how many arrived but were not kept, since the disk refused them.
    qint64 notKept() const { return m_notKept; }

    // The same snapshot, but only the datagrams 'indices' (in order) for forEach(take, error) and
    // count(): what a view shows under a filter.
    ArrivalSnapshot only(std::shared_ptr<const std::vector<qint64>> indices) const;
    // How many datagrams forEach(take, error) hands over, and of them not kept.
    qint64 count() const;
    qint64 countNotKept() const;
    // Hands each datagram kept from 'from' up to 'to' (not included) to 'take' with its payload,
    // oldest first, a chunk at a time; those not kept are passed over.
    Read forEach(qint64 from, qint64 to, const Take &take, QString *error) const;
    Read forEach(const Take &take, QString *error) const;
    Read forEachIndexed(qint64 from, qint64 to, const IndexedTake &take, QString *error) const;
    // Where the record's chunks begin, every 'chunks' chunks, from 0 to size(): parts to read
    // apart without reading a chunk twice.
    std::vector<qint64> boundaries(qsizetype chunks) const;
    // How many of the datagrams from 'from' up to 'to' were not kept.
    qint64 notKeptWithin(qint64 from, qint64 to) const;

private:
    friend class ArrivalRecord;

    std::vector<std::shared_ptr<const SealedChunk>> m_sealed;
    std::shared_ptr<const ArrivalChunk> m_open;
    qint64 m_size = 0;
    qint64 m_notKept = 0;
    std::shared_ptr<const std::vector<qint64>> m_only; // or all
};

#endif // HARKLINE_ARRIVALSNAPSHOT_H
