// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_RULESCAN_H
#define HARKLINE_RULESCAN_H

#include "ArrivalSnapshot.h"
#include "Rule.h"
#include "TimeCounts.h"

#include <QObject>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// A rule run over the record on worker threads, the cores shared out a part at a time, while the
// window goes on: it finds the rows the rule shows, in order (a datagram's index, or a gap where
// the system dropped datagrams, which shows under every rule), and counts them per second for a
// timeline. The rows are handed over as a growing run from the start, so that they never move.
// Scanning a newer snapshot goes on where the last left off: new arrivals are filtered as they
// come.
class RuleScan : public QObject
{
    Q_OBJECT

public:
    // A row: a datagram's index, or a gap before datagram 'd', written -(d + 1).
    static qint64 gapRow(qint64 datagram) { return -(datagram + 1); }
    static bool isGap(qint64 row) { return row < 0; }
    static qint64 datagramOf(qint64 row) { return row < 0 ? -row - 1 : row; }

    explicit RuleScan(Rule rule, QObject *parent = nullptr);
    // Stops, and waits for its threads.
    ~RuleScan() override;

    const Rule &rule() const { return m_rule; }
    // Scans the datagrams of 'snapshot' it has not scanned yet. While a scan runs, the newest
    // snapshot given waits for it.
    void scan(ArrivalSnapshot snapshot);
    void cancel();
    // Goes on after a cancel, from where it stopped, over 'snapshot'.
    void resume(ArrivalSnapshot snapshot);
    bool isRunning() const { return m_job != nullptr; }
    bool wasCancelled() const { return m_cancelled; }
    // How far it got: datagrams scanned, of how many it was given.
    qint64 scanned() const { return m_scanned; }
    qint64 total() const { return m_total; }
    // Why it stopped short, where a chunk of the record could not be read; empty otherwise.
    QString error() const { return m_error; }

    // The rows found since the last call, to append to those before, and their counts.
    std::vector<qint64> takeRows();
    TimeCounts takeCounts();

signals:
    // More rows, or more scanned.
    void progressed();
    void finished();

private:
    struct Job;
    void start(ArrivalSnapshot snapshot);
    void collect();

    const Rule m_rule;
    std::unique_ptr<Job> m_job;
    std::vector<std::thread> m_threads;
    std::optional<ArrivalSnapshot> m_waiting;
    qint64 m_scanned = 0; // datagrams, from 0: all those before it are in rows taken or waiting
    qint64 m_total = 0;
    bool m_cancelled = false;
    QString m_error;
    std::vector<qint64> m_rows;
    TimeCounts m_counts;
};

#endif // HARKLINE_RULESCAN_H
