// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ALERTTHROTTLE_H
#define HARKLINE_ALERTTHROTTLE_H

#include <QString>

#include <map>
#include <optional>
#include <vector>

// At most one notification per alert rule in each interval, so that a flood of matches never
// becomes a storm: a match when the rule's last notification is older than the interval is told
// at once; the matches after it are held, and when the interval has passed the newest of them is
// told with how many more came and from where. Times are milliseconds on any steady clock.
class AlertThrottle
{
public:
    explicit AlertThrottle(qint64 intervalMs)
        : m_intervalMs(intervalMs)
    { }

    struct Told
    {
        int rule = 0;
        qint64 arrival = 0; // the datagram to show
        qint64 more = 0; // other matches since the rule's last notification
        // Where the others came from, when they all came from one place; otherwise empty.
        QString moreFrom;
    };

    // A match of 'rule' by datagram 'arrival' from 'from' (a host or a sender).
    std::optional<Told> match(int rule, qint64 arrival, const QString &from, qint64 nowMs);
    // The held matches whose time has come, a notification per rule.
    std::vector<Told> due(qint64 nowMs);
    // When the first held matches are due; none while nothing is held.
    std::optional<qint64> nextDueMs() const;
    // Forgets the rule's held matches and when it was last told.
    void forget(int rule) { m_rules.erase(rule); }
    void clear() { m_rules.clear(); }

private:
    struct Rule
    {
        qint64 toldMs = 0;
        qint64 held = 0;
        qint64 newest = 0;
        QString from; // of every held match, while they share one
        bool fromMany = false;
    };

    qint64 m_intervalMs;
    std::map<int, Rule> m_rules;
};

#endif // HARKLINE_ALERTTHROTTLE_H
