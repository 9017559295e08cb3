// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ViewRules.h"

#include "CaseRule.h"

#include <algorithm>

QString ViewRules::setText(const QString &text)
{
    m_text = text;
    m_negated = text.startsWith(u'!');
    QString rest = m_negated ? text.mid(1) : text;
    m_case = caseRuleOf(rest);
    m_expression = {};
    m_needle.clear();
    m_isExpression = false;
    if (rest.size() >= 2 && rest.startsWith(u'/') && rest.endsWith(u'/')) {
        QRegularExpression expression(rest.mid(1, rest.size() - 2),
                                      m_case == Qt::CaseSensitive
                                          ? QRegularExpression::NoPatternOption
                                          : QRegularExpression::CaseInsensitiveOption);
        if (!expression.isValid()) {
            m_text.clear();
            return expression.errorString();
        }
        expression.optimize();
        m_expression = expression;
        m_isExpression = true;
    } else {
        m_needle = rest;
    }
    if (m_needle.isEmpty() && !m_isExpression)
        m_text.clear();
    return {};
}

void ViewRules::setSeverity(std::optional<int> severity)
{
    // Debug and all above it is every datagram: no rule.
    m_severity = severity && *severity < SyslogPriority::LeastUrgent ? severity : std::nullopt;
}

void ViewRules::addSender(const Sender &sender, bool showOnly)
{
    m_senders.push_back({ sender, showOnly });
}

void ViewRules::clear()
{
    setText({});
    m_severity.reset();
    m_senders.clear();
}

bool ViewRules::isEmpty() const
{
    return m_text.isEmpty() && !m_severity && m_senders.empty();
}

ViewRules::Sender ViewRules::senderOf(const Arrival &arrival, bool withPort)
{
    Sender sender;
    sender.ipv4 = arrival.ipv4;
    sender.address = arrival.address;
    if (withPort)
        sender.port = arrival.port;
    return sender;
}

bool ViewRules::matches(const Sender &rule, const Arrival &arrival)
{
    const int bytes = arrival.addressBytes();
    return rule.ipv4 == arrival.ipv4
        && std::equal(rule.address.begin(), rule.address.begin() + bytes, arrival.address.begin())
        && (!rule.port || *rule.port == arrival.port);
}

bool ViewRules::textLetsThrough(std::span<const QString> lines) const
{
    if (m_text.isEmpty())
        return true;
    const bool found = std::any_of(lines.begin(), lines.end(), [this](const QString &line) {
        return m_isExpression ? m_expression.match(line).hasMatch()
                              : line.contains(m_needle, m_case);
    });
    return found != m_negated;
}

bool ViewRules::shows(const std::optional<ArrivalEntry> &entry,
                      std::span<const QString> lines) const
{
    if (m_severity && !(entry && entry->priority && entry->priority->severity() <= *m_severity))
        return false;
    for (const SenderRule &rule : m_senders) {
        const bool from = entry && matches(rule.sender, entry->arrival);
        if (from != rule.showOnly)
            return false;
    }
    return textLetsThrough(lines);
}
