// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_FREEPORT_H
#define HARKLINE_FREEPORT_H

#include <QRandomGenerator>
#include <QUdpSocket>

// Start takes ports up to 32000, below the kernel's range of ephemeral ports, so the system
// cannot be asked for one: find one that nobody holds, in either family, as the program binds
// both (a socket bound to any IPv6 address without IPV6_V6ONLY holds the IPv4 port too). 0 when
// none was found.
inline quint16 freePort()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(QRandomGenerator::global()->bounded(10000, 32000));
        QUdpSocket probe;
        if (probe.bind(QHostAddress::Any, port))
            return port;
    }
    return 0;
}

#endif // HARKLINE_FREEPORT_H
