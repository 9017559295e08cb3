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
    // "<", one to three digits, ">"; no leading zero but in "<0>".
    if (payload.size() < 3 || payload.at(0) != u'<')
        return std::nullopt;
    int value = 0;
    qsizetype i = 1;
    for (; i < payload.size() && i <= 3 && payload.at(i).isDigit() && payload.at(i).unicode() < 128;
         ++i)
        value = value * 10 + (payload.at(i).unicode() - '0');
    const qsizetype digits = i - 1;
    if (digits == 0 || i >= payload.size() || payload.at(i) != u'>')
        return std::nullopt;
    if ((digits > 1 && payload.at(1) == u'0') || value > Largest)
        return std::nullopt;
    return SyslogPriority { value };
}
