// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogHub.h"

#include "SyslogFields.h"

LogHub::LogHub(QTextDocument *boxDocument, QObject *parent)
    : QObject(parent)
    , m_model(boxDocument)
{
    m_model.setMoveOutObserver(
        [this](const QTextBlock &firstKept) { emit aboutToMoveOut(firstKept); });
    // Once a turn of the event loop, however many arrived in it.
    m_tell.setSingleShot(true);
    m_tell.setInterval(0);
    connect(&m_tell, &QTimer::timeout, this, [this] {
        const qint64 end = arrivals().size();
        if (end > m_told)
            emit arrived(std::exchange(m_told, end), end);
    });
}

qint64 LogHub::append(QStringView payload, const Arrival &arrival)
{
    const qint64 index = m_model.arrivals().append(payload, arrival);
    // The priority as the record reads it, which the rules and the scan's counts go by.
    const std::optional<SyslogPriority> priority = SyslogPriority::of(payload);
    const QByteArray bytes = payload.toLatin1();
    m_timeCounts.add(arrival.timeNs, priority);
    m_senderCounts.add(arrival, qint32(bytes.size()), priority,
                       SyslogFields::read(bytes, arrival.timeNs).hostname);
    if (arrival.droppedBefore > 0) {
        m_gaps.push_back(index);
        m_timeCounts.addDropped(arrival.timeNs, arrival.droppedBefore);
    }
    if (!m_tell.isActive())
        m_tell.start();
    return index;
}

void LogHub::clear()
{
    m_model.clear();
    m_gaps.clear();
    m_timeCounts.clear();
    m_senderCounts.clear();
    m_told = 0;
    m_tell.stop();
    emit cleared();
}
