// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AlertRules.h"

#include "ArrivalText.h"
#include "LogHub.h"
#include "RowText.h"
#include "SyslogFields.h"

#include <algorithm>
#include <chrono>

namespace {

// Long enough not to miss what a notification says, short enough to tell of a new kind of trouble
// soon: what desktop notifications stay on screen for.
constexpr std::chrono::milliseconds NotifyInterval { 5000 };
// About two lines of a notification's body.
constexpr int BodyCharacters = 160;

// The host the message names, or else who sent it.
QString sourceOf(const SyslogFields &fields, const Arrival &arrival)
{
    return fields.hostname.isEmpty() ? arrival.senderText() : fieldText(fields.hostname);
}

} // namespace

AlertRules::AlertRules(LogHub &hub, QObject *parent)
    : QObject(parent)
    , m_hub(hub)
    , m_throttle(NotifyInterval.count())
{
    m_clock.start();
    m_dueTimer.setSingleShot(true);
    connect(&m_dueTimer, &QTimer::timeout, this, &AlertRules::tellDue);
    connect(&hub, &LogHub::arrived, this, &AlertRules::match);
    connect(&hub, &LogHub::cleared, this, [this] {
        m_throttle.clear();
        m_dueTimer.stop();
    });
}

QString AlertRules::add(const QString &text)
{
    const Rule rule = Rule::parse(text);
    if (!rule.isValid())
        return rule.error();
    if (rule.isEmpty())
        return {};
    const auto same = std::find_if(m_alerts.begin(), m_alerts.end(), [&](const Alert &alert) {
        return alert.rule.text() == rule.text();
    });
    if (same != m_alerts.end())
        same->on = true;
    else
        m_alerts.push_back({ rule, true });
    return {};
}

void AlertRules::addErrors()
{
    add(Rule::termFor(Rule::Field::Severity, QStringLiteral("err"), false));
}

QString AlertRules::ruleLike(qint64 arrival) const
{
    const std::optional<ArrivalEntry> entry = m_hub.arrivals().at(arrival);
    if (!entry)
        return {};
    const QByteArray payload = m_hub.arrivals().payload(arrival);
    const SyslogFields fields = SyslogFields::read(payload, entry->arrival.timeNs);
    QStringList terms;
    if (!fields.hostname.isEmpty())
        terms << Rule::termFor(Rule::Field::Host, fieldText(fields.hostname), false);
    if (!fields.appName.isEmpty())
        terms << Rule::termFor(Rule::Field::App, fieldText(fields.appName), false);
    return terms.join(u' ');
}

void AlertRules::setOn(int alert, bool on)
{
    if (alert < 0 || alert >= int(m_alerts.size()))
        return;
    m_alerts[std::size_t(alert)].on = on;
    if (!on)
        m_throttle.forget(alert);
}

void AlertRules::match(qint64 first, qint64 end)
{
    if (std::none_of(m_alerts.begin(), m_alerts.end(), [](const Alert &alert) { return alert.on; }))
        return;
    const ArrivalRecord &record = m_hub.arrivals();
    for (qint64 index = first; index < end; ++index) {
        const std::optional<ArrivalEntry> entry = record.at(index);
        if (!entry)
            continue; // not kept: nothing to tell of it
        const QByteArray payload = record.payload(index);
        std::optional<SyslogFields> fields;
        bool anyMatched = false;
        for (int alert = 0; alert < int(m_alerts.size()); ++alert) {
            const Rule &rule = m_alerts[std::size_t(alert)].rule;
            if (!m_alerts[std::size_t(alert)].on)
                continue;
            if (!fields && rule.needsFields())
                fields = SyslogFields::read(payload, entry->arrival.timeNs);
            if (!rule.matches(*entry, payload, fields ? &*fields : nullptr))
                continue;
            if (!fields)
                fields = SyslogFields::read(payload, entry->arrival.timeNs);
            anyMatched = true;
            const std::optional<AlertThrottle::Told> told = m_throttle.match(
                alert, index, sourceOf(*fields, entry->arrival), m_clock.elapsed());
            if (told)
                tell(*told);
        }
        if (anyMatched)
            emit matched(index);
    }
    if (const std::optional<qint64> due = m_throttle.nextDueMs(); due && !m_dueTimer.isActive())
        m_dueTimer.start(int(std::max<qint64>(*due - m_clock.elapsed(), 0)));
}

void AlertRules::tellDue()
{
    for (const AlertThrottle::Told &told : m_throttle.due(m_clock.elapsed()))
        tell(told);
    if (const std::optional<qint64> due = m_throttle.nextDueMs())
        m_dueTimer.start(int(std::max<qint64>(*due - m_clock.elapsed(), 0)));
}

void AlertRules::tell(const AlertThrottle::Told &told)
{
    const ArrivalRecord &record = m_hub.arrivals();
    const std::optional<ArrivalEntry> entry = record.at(told.arrival);
    if (!entry)
        return;
    const QByteArray payload = record.payload(told.arrival);
    const SyslogFields fields = SyslogFields::read(payload, entry->arrival.timeNs);
    Notice said;
    said.alert = told.rule;
    said.arrival = told.arrival;
    const QString named = hostAndProgram(fields);
    const QString who = named.isEmpty() ? entry->arrival.senderText() : named;
    said.summary = fields.priority
        ? QStringLiteral("%1: %2").arg(fields.priority->severityKeyword(), who)
        : who;
    const QString message = oneLineText(fields.messageOffset >= 0 ? fields.messageBytes(payload)
                                            : fields.isSyslog()   ? QByteArrayView()
                                                                  : QByteArrayView(payload));
    said.body = message.size() > BodyCharacters ? message.left(BodyCharacters - 1) + QChar(0x2026)
                                                : message;
    if (told.more > 0) {
        said.body += told.moreFrom.isEmpty()
            ? tr("\nand %1 more").arg(countText(quint64(told.more)))
            : tr("\nand %1 more from %2").arg(countText(quint64(told.more)), told.moreFrom);
    }
    emit notice(said);
}
