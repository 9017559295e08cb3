// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SYSLOGPRIORITY_H
#define HARKLINE_SYSLOGPRIORITY_H

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// The priority a syslog message begins with, "<PRI>" (RFC 3164 and RFC 5424): the facility times
// eight plus the severity, 0 to 191.
struct SyslogPriority
{
    static constexpr int Largest = 191;
    static constexpr int LeastUrgent = 7; // debug

    int value = 0;

    int facility() const { return value / 8; }
    int severity() const { return value % 8; }
    // "auth (4)", "local7 (23)"
    QString facilityText() const;
    // "critical (2)"
    QString severityText() const;
    // As syslog's configuration and logger -p name them: "authpriv", "local7"; "crit", "warning".
    QLatin1String facilityKeyword() const;
    QLatin1String severityKeyword() const;

    // The priority the payload begins with, if it begins with one.
    static std::optional<SyslogPriority> of(QStringView payload);
    // The same of bytes; 'length' gets the length of "<PRI>", and 'problem' says why there is no
    // priority where the payload begins with "<".
    static std::optional<SyslogPriority> of(QByteArrayView payload, qsizetype *length,
                                            QString *problem);
};

#endif // HARKLINE_SYSLOGPRIORITY_H
