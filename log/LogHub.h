// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGHUB_H
#define HARKLINE_LOGHUB_H

#include "LogModel.h"
#include "SenderCounts.h"
#include "TimeCounts.h"

#include <QObject>
#include <QTextBlock>
#include <QTimer>

#include <vector>

class QTextDocument;

// The log of one run, shared by every view of it: the record of every arrival, the model of the
// log box's text, where the system dropped datagrams, how many came each second and from whom. It
// tells any number of listeners what arrived, what is about to move out of the box, and that the
// log was cleared; it knows no view.
class LogHub : public QObject
{
    Q_OBJECT

public:
    // 'boxDocument': the log box's text.
    explicit LogHub(QTextDocument *boxDocument, QObject *parent = nullptr);

    LogModel &model() { return m_model; }
    const LogModel &model() const { return m_model; }
    const ArrivalRecord &arrivals() const { return m_model.arrivals(); }
    // Every arrival and drop, per second.
    const TimeCounts &timeCounts() const { return m_timeCounts; }
    // Who sent what, by address and port and by the host the messages name.
    const SenderCounts &senderCounts() const { return m_senderCounts; }
    // The datagrams that came after a gap, where the system dropped some, in order.
    const std::vector<qint64> &gaps() const { return m_gaps; }

    // Records a datagram whose payload is 'payload', one character per byte; returns its index.
    qint64 append(QStringView payload, const Arrival &arrival);
    // Empties the log and the record.
    void clear();

signals:
    // Datagrams from 'first' up to 'end' arrived: told at most once a turn of the event loop.
    void arrived(qint64 first, qint64 end);
    // The lines before 'firstKept' are about to move out of the box's text.
    void aboutToMoveOut(const QTextBlock &firstKept);
    void cleared();

private:
    LogModel m_model;
    TimeCounts m_timeCounts;
    SenderCounts m_senderCounts;
    std::vector<qint64> m_gaps;
    qint64 m_told = 0; // arrivals told so far
    QTimer m_tell;
};

#endif // HARKLINE_LOGHUB_H
