// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ShownRows.h"

#include "LogHub.h"
#include "RuleScan.h"

namespace {

// Under a rule, new arrivals wait this long to be scanned together: a scan has threads to start
// and the record to take a snapshot of, which in a flood, once a turn of the event loop, cost
// more than the scanning. Short enough that rows still seem to come as the datagrams do.
constexpr int ScanNewMs = 50;

} // namespace

ShownRows::ShownRows(LogHub &hub, QObject *parent)
    : QObject(parent)
    , m_hub(hub)
{
    m_index.showAll(hub.arrivals().size(), &hub.gaps());
    connect(&hub, &LogHub::arrived, this, &ShownRows::arrived);
    connect(&hub, &LogHub::cleared, this, &ShownRows::restart);
    m_scanNew.setSingleShot(true);
    m_scanNew.setInterval(ScanNewMs);
    connect(&m_scanNew, &QTimer::timeout, this, [this] {
        if (m_scan)
            m_scan->scan(m_hub.arrivals().snapshot());
    });
}

ShownRows::~ShownRows() = default;

bool ShownRows::setRule(const Rule &rule)
{
    if (!rule.isValid())
        return false;
    m_rule = rule;
    restart();
    return true;
}

void ShownRows::restart()
{
    m_scanNew.stop();
    m_scan.reset();
    m_counts.clear();
    if (m_rule.isEmpty()) {
        m_index.showAll(m_hub.arrivals().size(), &m_hub.gaps());
    } else {
        m_index.showFiltered();
        m_scan = std::make_unique<RuleScan>(m_rule);
        connect(m_scan.get(), &RuleScan::progressed, this, &ShownRows::takeFound);
        connect(m_scan.get(), &RuleScan::finished, this, &ShownRows::scanProgressed);
        m_scan->scan(m_hub.arrivals().snapshot());
    }
    emit rowsReset();
    emit scanProgressed();
}

void ShownRows::arrived()
{
    if (!m_scan) {
        m_index.setDatagrams(m_hub.arrivals().size());
        emit rowsAppended();
        return;
    }
    if (!m_scanNew.isActive())
        m_scanNew.start();
}

void ShownRows::takeFound()
{
    const std::vector<qint64> rows = m_scan->takeRows();
    m_counts.merge(m_scan->takeCounts());
    if (!rows.empty()) {
        m_index.append(rows);
        emit rowsAppended();
    }
    emit scanProgressed();
}

const TimeCounts &ShownRows::counts() const
{
    return m_scan ? m_counts : m_hub.timeCounts();
}

bool ShownRows::isScanning() const
{
    return m_scan && m_scan->isRunning();
}

qint64 ShownRows::scanned() const
{
    return m_scan ? m_scan->scanned() : m_index.datagrams();
}

qint64 ShownRows::scanTotal() const
{
    return m_scan ? m_scan->total() : m_hub.arrivals().size();
}

void ShownRows::cancelScan()
{
    if (m_scan)
        m_scan->cancel();
}

void ShownRows::resumeScan()
{
    if (m_scan && m_scan->wasCancelled()) {
        m_scan->resume(m_hub.arrivals().snapshot());
        emit scanProgressed();
    }
}

bool ShownRows::wasCancelled() const
{
    return m_scan && m_scan->wasCancelled();
}

QString ShownRows::scanError() const
{
    return m_scan ? m_scan->error() : QString();
}
