// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGSAMPLES_H
#define HARKLINE_LOGSAMPLES_H

#include "Arrival.h"

#include <QString>

#include <array>

#include <arpa/inet.h>

// Every character a byte can stand for, U+0000 to U+00FF.
inline QString allLatin1()
{
    QString text;
    for (int c = 0; c < 256; ++c)
        text += QChar(c);
    return text;
}

inline Arrival arrivalFrom(const char *address, quint16 port, qint64 timeNs,
                           quint32 droppedBefore = 0)
{
    Arrival arrival;
    arrival.timeNs = timeNs;
    arrival.port = port;
    arrival.droppedBefore = droppedBefore;
    arrival.ipv4 = inet_pton(AF_INET, address, arrival.address.data()) == 1;
    if (!arrival.ipv4)
        inet_pton(AF_INET6, address, arrival.address.data());
    return arrival;
}

// Syslog as a network sends it: varied hosts, programs, addresses, process ids and numbers, which
// compress far less than one line repeated.
inline QString syslogLine(quint32 i)
{
    static const std::array<const char *, 6> hosts { "core-sw1", "edge-rtr2",  "fw-dmz",
                                                     "web-03",   "db-primary", "ap-floor2" };
    static const std::array<const char *, 6> programs { "sshd",  "kernel",        "CRON",
                                                        "nginx", "postfix/smtpd", "dhcpd" };
    quint32 r = i * 2654435761u; // scattered, but the same for the same i
    const auto next = [&r](quint32 n) {
        r = r * 1103515245u + 12345u;
        return (r >> 8) % n;
    };
    return QStringLiteral("<%1>Dec %2 %3:%4:%5 %6 %7[%8]: connection from 10.%9.%10.%11 port %12 "
                          "id=%13 bytes=%14")
        .arg(next(192))
        .arg(1 + next(28), 2)
        .arg(next(24), 2, 10, QLatin1Char('0'))
        .arg(next(60), 2, 10, QLatin1Char('0'))
        .arg(next(60), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(hosts[next(hosts.size())]))
        .arg(QLatin1String(programs[next(programs.size())]))
        .arg(1000 + next(60000))
        .arg(next(256))
        .arg(next(256))
        .arg(next(256))
        .arg(1024 + next(64000))
        .arg(next(1000000000), 9, 16, QLatin1Char('0'))
        .arg(next(100000));
}

#endif // HARKLINE_LOGSAMPLES_H
