// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SHOWNROWS_H
#define HARKLINE_SHOWNROWS_H

#include "RowIndex.h"
#include "Rule.h"
#include "TimeCounts.h"

#include <QObject>
#include <QTimer>

#include <memory>

class LogHub;
class RuleScan;

// The rows a view of the whole record shows under its filter rule, kept up to date as datagrams
// arrive and the log is cleared. Without a rule every datagram and every gap is a row; with one,
// a scan on worker threads finds the rows and they come in as it goes, the new arrivals after
// them.
class ShownRows : public QObject
{
    Q_OBJECT

public:
    explicit ShownRows(LogHub &hub, QObject *parent = nullptr);
    ~ShownRows() override;

    const RowIndex &index() const { return m_index; }
    const Rule &rule() const { return m_rule; }
    // The rows shown per second: every arrival's without a rule, those found so far with one.
    const TimeCounts &counts() const;
    // Shows the rows 'rule' picks: all of them for an empty rule. An invalid rule is refused.
    bool setRule(const Rule &rule);
    // Whether a scan has yet to reach the newest arrival, and how far it got (datagrams).
    bool isScanning() const;
    qint64 scanned() const;
    qint64 scanTotal() const;
    // Stops the scan: the rows found so far stay, and no more come until it resumes.
    void cancelScan();
    // Goes on with a stopped scan from where it stopped.
    void resumeScan();
    bool wasCancelled() const;
    // Why the scan stopped short of the end, where part of the record could not be read.
    QString scanError() const;

signals:
    // Rows came at the end.
    void rowsAppended();
    // The rows are other rows altogether: a new rule, a cleared log.
    void rowsReset();
    // The scan got further, or ended.
    void scanProgressed();

private:
    void arrived();
    void restart();
    void takeFound();

    LogHub &m_hub;
    Rule m_rule;
    RowIndex m_index;
    TimeCounts m_counts; // under a rule
    std::unique_ptr<RuleScan> m_scan; // while a rule is set
    QTimer m_scanNew; // gathers arrivals for the scan, rather than a scan for each
};

#endif // HARKLINE_SHOWNROWS_H
