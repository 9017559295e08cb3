// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ALERTRULES_H
#define HARKLINE_ALERTRULES_H

#include "AlertThrottle.h"
#include "Rule.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <vector>

class LogHub;

// The rules a user wants to be told of while looking elsewhere, in the filters' language, and
// what new arrivals that match them tell: each match at once, and a notice for the desktop per
// rule at most once in a few seconds, the matches in between summed into the next. Matching runs
// on what the window takes in, as the view rules do, and costs nothing while no rule is on.
class AlertRules : public QObject
{
    Q_OBJECT

public:
    explicit AlertRules(LogHub &hub, QObject *parent = nullptr);

    struct Alert
    {
        Rule rule;
        bool on = true;
    };
    // Adds the rule 'text' reads as, or turns it on again where the same text is there already;
    // the mistake where it does not read, else nothing.
    QString add(const QString &text);
    // The rule most wanted: errors and worse.
    void addErrors();
    void setOn(int alert, bool on);
    const std::vector<Alert> &alerts() const { return m_alerts; }
    // The rule a user most often wants for more like datagram 'arrival': its host and program,
    // as far as it names them.
    QString ruleLike(qint64 arrival) const;

    struct Notice
    {
        int alert = 0;
        qint64 arrival = 0; // the datagram it tells of
        QString summary; // "err: fw01 sshd[812]", or the sender where the message names no host
        QString body; // the message on a line, and how many more matched, from where
    };

signals:
    // Datagram 'arrival' matched a rule that is on.
    void matched(qint64 arrival);
    void notice(const AlertRules::Notice &notice);

private:
    void match(qint64 first, qint64 end);
    void tell(const AlertThrottle::Told &told);
    void tellDue();

    LogHub &m_hub;
    std::vector<Alert> m_alerts;
    AlertThrottle m_throttle;
    QElapsedTimer m_clock;
    QTimer m_dueTimer;
};

#endif // HARKLINE_ALERTRULES_H
