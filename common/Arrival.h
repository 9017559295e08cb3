// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ARRIVAL_H
#define HARKLINE_ARRIVAL_H

#include <QString>
#include <QtGlobal>

#include <array>

// When a datagram came, from whom, and how many the system dropped just before it. Kept for
// every datagram, so it is small: 32 bytes.
struct Arrival
{
    // Wall-clock time at which the kernel received it, nanoseconds since the Unix epoch.
    qint64 timeNs = 0;
    // Datagrams the system dropped on this socket between the one before and this one.
    quint32 droppedBefore = 0;
    quint16 port = 0;
    bool ipv4 = true;
    // IPv4 in the first four bytes; IPv6 in all sixteen.
    std::array<quint8, 16> address {};
    static constexpr int IPv4Bytes = 4;
    // How many of the address's bytes are the address.
    int addressBytes() const { return ipv4 ? IPv4Bytes : int(address.size()); }

    // "a.b.c.d", or the IPv6 address in its shortest form.
    QString hostText() const;
    // "a.b.c.d:port" or "[v6address]:port".
    QString senderText() const;
    // The same written into 'out', which has room for LongestSenderText characters; returns
    // its end.
    static constexpr qsizetype LongestSenderText =
        sizeof("[ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255]:65535") - 1;
    char *writeSenderText(char *out) const;
};

#endif // HARKLINE_ARRIVAL_H
