// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SyslogPriority.h"

#include <array>

namespace {

// RFC 5424, table 1, with the names syslog implementations use for them.
constexpr std::array<const char *, 24> FacilityNames {
    "kern",   "user",   "mail",     "daemon", "auth",   "syslog",   "lpr",     "news",
    "uucp",   "cron",   "authpriv", "ftp",    "ntp",    "security", "console", "solaris-cron",
    "local0", "local1", "local2",   "local3", "local4", "local5",   "local6",  "local7",
};

// RFC 5424, table 2.
constexpr std::array<const char *, 8> SeverityNames {
    "emergency", "alert", "critical", "error", "warning", "notice", "informational", "debug",
};

// The same as syslog's configuration and logger -p name them.
constexpr std::array<const char *, 8> SeverityKeywords {
    "emerg", "alert", "crit", "err", "warning", "notice", "info", "debug",
};

char16_t unitAt(QStringView text, qsizetype i)
{
    return text.at(i).unicode();
}

char16_t unitAt(QByteArrayView bytes, qsizetype i)
{
    return uchar(bytes.at(i));
}

constexpr qsizetype MostDigits = 3;

// "<", one to three digits, ">"; no leading zero but in "<0>"; at most 191.
template<typename Text>
std::optional<SyslogPriority> parse(Text payload, qsizetype *length, QString *problem)
{
    const auto unit = [&](qsizetype i) { return i < payload.size() ? unitAt(payload, i) : 0; };
    if (unit(0) != u'<')
        return std::nullopt;
    int value = 0;
    qsizetype i = 1;
    for (; i <= MostDigits && unit(i) >= u'0' && unit(i) <= u'9'; ++i)
        value = value * 10 + (unit(i) - u'0');
    const qsizetype digits = i - 1;
    if (digits == 0 || unit(i) != u'>' || (digits > 1 && unit(1) == u'0')) {
        if (problem)
            *problem = QStringLiteral("the priority is not a number from 0 to 191 between < and >");
        return std::nullopt;
    }
    if (value > SyslogPriority::Largest) {
        if (problem)
            *problem = QStringLiteral("the priority %1 is over 191").arg(value);
        return std::nullopt;
    }
    if (length)
        *length = i + 1;
    return SyslogPriority { value };
}

} // namespace

QString SyslogPriority::facilityText() const
{
    return QStringLiteral("%1 (%2)")
        .arg(QLatin1String(FacilityNames[std::size_t(facility())]))
        .arg(facility());
}

QString SyslogPriority::severityText() const
{
    return QStringLiteral("%1 (%2)")
        .arg(QLatin1String(SeverityNames[std::size_t(severity())]))
        .arg(severity());
}

QLatin1String SyslogPriority::facilityKeyword() const
{
    return QLatin1String(FacilityNames[std::size_t(facility())]);
}

QLatin1String SyslogPriority::severityKeyword() const
{
    return QLatin1String(SeverityKeywords[std::size_t(severity())]);
}

std::optional<SyslogPriority> SyslogPriority::of(QStringView payload)
{
    return parse(payload, nullptr, nullptr);
}

std::optional<SyslogPriority> SyslogPriority::of(QByteArrayView payload, qsizetype *length,
                                                 QString *problem)
{
    return parse(payload, length, problem);
}
