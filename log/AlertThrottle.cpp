// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AlertThrottle.h"

std::optional<AlertThrottle::Told> AlertThrottle::match(int rule, qint64 arrival,
                                                        const QString &from, qint64 nowMs)
{
    const auto [at, first] = m_rules.try_emplace(rule);
    Rule &state = at->second;
    if (first || (state.held == 0 && nowMs - state.toldMs >= m_intervalMs)) {
        state.toldMs = nowMs;
        return Told { rule, arrival, 0, {} };
    }
    if (state.held == 0)
        state.from = from;
    else if (from != state.from)
        state.fromMany = true;
    ++state.held;
    state.newest = arrival;
    return std::nullopt;
}

std::vector<AlertThrottle::Told> AlertThrottle::due(qint64 nowMs)
{
    std::vector<Told> due;
    for (auto &[rule, state] : m_rules) {
        if (state.held == 0 || nowMs - state.toldMs < m_intervalMs)
            continue;
        due.push_back(
            { rule, state.newest, state.held - 1, state.fromMany ? QString() : state.from });
        state.toldMs = nowMs;
        state.held = 0;
        state.fromMany = false;
    }
    return due;
}

std::optional<qint64> AlertThrottle::nextDueMs() const
{
    std::optional<qint64> next;
    for (const auto &[rule, state] : m_rules) {
        if (state.held > 0 && (!next || state.toldMs + m_intervalMs < *next))
            next = state.toldMs + m_intervalMs;
    }
    return next;
}
