// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Arrival.h"

#include <charconv>
#include <cstring>

#include <arpa/inet.h>

QString Arrival::hostText() const
{
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(ipv4 ? AF_INET : AF_INET6, address.data(), text, sizeof(text));
    return QString::fromLatin1(text);
}

// Written out by hand: it goes into every row of a save of millions of arrivals, and
// QString::arg() took most of the time of a row.
QString Arrival::senderText() const
{
    char text[INET6_ADDRSTRLEN + sizeof("[]:65535")] = {};
    char *at = text;
    if (!ipv4)
        *at++ = '[';
    inet_ntop(ipv4 ? AF_INET : AF_INET6, address.data(), at, INET6_ADDRSTRLEN);
    at += std::strlen(at);
    if (!ipv4)
        *at++ = ']';
    *at++ = ':';
    const std::to_chars_result written = std::to_chars(at, text + sizeof(text), port);
    return QString::fromLatin1(text, written.ptr - text);
}
