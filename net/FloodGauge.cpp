// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FloodGauge.h"

void FloodGauge::count(qint64 nowNs, qint64 datagrams)
{
    if (nowNs - m_windowStartNs >= WindowNs) {
        m_windowStartNs = nowNs;
        m_windowCount = 0;
    }
    m_windowCount += datagrams;
    if (m_windowCount >= FloodPerWindow) {
        if (nowNs - m_floodSeenNs >= BreakNs)
            m_floodStartNs = nowNs;
        m_floodSeenNs = nowNs;
    }
}

bool FloodGauge::inFlood(qint64 nowNs) const
{
    return nowNs - m_floodSeenNs < QuietNs;
}

qint64 FloodGauge::floodLengthNs(qint64 nowNs) const
{
    return inFlood(nowNs) ? nowNs - m_floodStartNs : 0;
}
