// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Arrival.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include <arpa/inet.h>

QString Arrival::hostText() const
{
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(ipv4 ? AF_INET : AF_INET6, address.data(), text, sizeof(text));
    return QString::fromLatin1(text);
}

// Written out by hand: it goes into every row of a save of millions of arrivals, where
// QString::arg(), and then inet_ntop's formatted printing of IPv4, took most of a row's time.
char *Arrival::writeSenderText(char *out) const
{
    char *at = out;
    if (ipv4) {
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                *at++ = '.';
            at = std::to_chars(at, out + LongestSenderText, address[std::size_t(i)]).ptr;
        }
    } else {
        char text[INET6_ADDRSTRLEN] = {};
        inet_ntop(AF_INET6, address.data(), text, sizeof(text));
        *at++ = '[';
        at = std::copy_n(text, std::strlen(text), at);
        *at++ = ']';
    }
    *at++ = ':';
    return std::to_chars(at, out + LongestSenderText, port).ptr;
}

QString Arrival::senderText() const
{
    char text[LongestSenderText];
    return QString::fromLatin1(text, writeSenderText(text) - text);
}
