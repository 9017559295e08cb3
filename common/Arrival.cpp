// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Arrival.h"

#include <arpa/inet.h>

QString Arrival::hostText() const
{
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(ipv4 ? AF_INET : AF_INET6, address.data(), text, sizeof(text));
    return QString::fromLatin1(text);
}

QString Arrival::senderText() const
{
    return ipv4 ? QStringLiteral("%1:%2").arg(hostText()).arg(port)
                : QStringLiteral("[%1]:%2").arg(hostText()).arg(port);
}
