// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogHub.h"

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
    m_timeCounts.add(arrival.timeNs, SyslogPriority::of(payload));
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
    m_told = 0;
    m_tell.stop();
    emit cleared();
}
