// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_RULESEARCH_H
#define HARKLINE_RULESEARCH_H

#include "ArrivalSnapshot.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <thread>

struct SyslogFields;

// The next (or previous) datagram that passes a test, searched for on a thread of its own from a
// place in the record, going round the end: find and the jumps of the Log View, however far the
// next one is. One search at a time; a new one stops the last.
class RuleSearch : public QObject
{
    Q_OBJECT

public:
    // 'fields' is the payload read as syslog where the test needs it, else null.
    using Test = std::function<bool(const ArrivalEntry &, QByteArrayView payload,
                                    const SyslogFields *fields)>;

    explicit RuleSearch(QObject *parent = nullptr);
    ~RuleSearch() override;

    // Searches 'snapshot' from datagram 'from' (not included) on, or back; 'needsFields' where the
    // test needs the fields.
    void start(ArrivalSnapshot snapshot, qint64 from, bool backward, Test test, bool needsFields);
    void cancel();
    bool isRunning() const { return m_thread.joinable() && !m_done; }

signals:
    // 'wrapped': it went round the end to find it.
    void found(qint64 datagram, bool wrapped);
    // None in the 'searched' datagrams; or a chunk could not be read ('error').
    void notFound(qint64 searched, const QString &error);

private:
    void stop();

    std::thread m_thread;
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_done { true };
    int m_generation = 0; // of the search whose answer counts
};

#endif // HARKLINE_RULESEARCH_H
