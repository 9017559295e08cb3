// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ARRIVALRECORD_H
#define HARKLINE_ARRIVALRECORD_H

#include "ArrivalChunk.h"
#include "ArrivalSnapshot.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>
#include <vector>

class ChunkSpill;
class SealedChunk;

// Every datagram received since Start (or since the log was cleared), as it was received, whatever
// the user has since done to the log text: when, from whom, its size, how many the system dropped
// before it, and its payload. The window's thread appends; a snapshot of it is read on any thread
// while arrivals go on.
//
// It holds for days: datagrams are gathered in chunks, a full chunk is compressed (syslog text
// compresses well) and never changes again, and past a budget of memory the oldest chunks move to
// a file that has no name, so that nothing of it outlives the program (see SpillFile). When that
// file can take no more and memory is past its budget, new chunks are not kept: the datagrams
// still arrive and show, and the record counts them and says why.
class ArrivalRecord
{
public:
    // The most the record holds in memory: everything it keeps counts, its chunks, the one being
    // filled, and what it knows of each chunk. Room for about 5,000,000 syslog datagrams before
    // any goes to the disk; the box shows the newest 40,000, so those it shows are in memory.
    static constexpr qint64 DefaultBudget = qint64(256) * 1024 * 1024;

    ArrivalRecord();
    ~ArrivalRecord();
    ArrivalRecord(const ArrivalRecord &) = delete;
    ArrivalRecord &operator=(const ArrivalRecord &) = delete;

    // Where it keeps what is past 'memoryBudget': in 'folder', or empty for the system's temporary
    // folder with the most room (SpillFile::chooseFolder). Before the first append.
    void setStorage(qint64 memoryBudget, const QString &folder);

    // Records a datagram whose payload is 'payload', one character per byte; returns its index.
    qint64 append(QStringView payload, const Arrival &arrival);
    qint64 size() const { return m_size; }
    // What the record holds of datagram 'index'; none, with why in 'why', when it was not kept or
    // cannot be read back.
    std::optional<ArrivalEntry> at(qint64 index, QString *why = nullptr) const;
    // Its payload, one byte per character; empty when it cannot be read.
    QByteArray payload(qint64 index) const;
    quint64 totalDropped() const { return m_totalDropped; }
    // Whether the system dropped datagrams just before any datagram from 'from' to 'to'.
    bool dropsWithin(qint64 from, qint64 to) const;
    void clear();

    ArrivalSnapshot snapshot() const;

    // How many datagrams arrived but were not kept, and why; 0 while every one is.
    qint64 notKept() const { return m_notKept; }
    QString notKeptReason() const;
    // Whether every datagram from 'from' to 'to' was kept.
    bool keptWithin(qint64 from, qint64 to) const;
    // When the first of them arrived, nanoseconds since the epoch.
    qint64 firstNotKeptNs() const { return m_firstNotKeptNs; }

    // Bytes held in memory, all of it included: what counts against the budget.
    qint64 heldBytes() const;
    // Bytes moved to the disk.
    qint64 spilledBytes() const;

private:
    struct Cached
    {
        qsizetype chunk = -1;
        std::shared_ptr<const ArrivalChunk> rows;
    };

    void seal();
    // Hands the oldest chunks still in memory to the spill while memory is near the budget.
    void spillOverThreshold();
    qint64 indexBytes() const;
    qint64 inMemoryBytes() const;
    // The rows holding 'index', and its place in them; none when they cannot be read.
    const ArrivalChunk *rowsOf(qint64 index, qsizetype &within, QString *why) const;

    qint64 m_budget = DefaultBudget;
    QString m_folder;
    std::vector<std::shared_ptr<SealedChunk>> m_sealed;
    ArrivalChunk m_open;
    qint64 m_size = 0;
    quint64 m_totalDropped = 0;
    qint64 m_sealedBytes = 0; // compressed, of every chunk kept
    qint64 m_pushedBytes = 0; // of them, those handed to the spill
    std::size_t m_nextToPush = 0;
    std::unique_ptr<ChunkSpill> m_spill; // made when first needed
    qint64 m_notKept = 0;
    QString m_notKeptReason;
    qint64 m_firstNotKeptNs = 0;

    // The last two chunks read, uncompressed: tooltips and the margin look at a few neighbouring
    // lines at a time, which may straddle two chunks.
    mutable Cached m_cache[2];
};

#endif // HARKLINE_ARRIVALRECORD_H
