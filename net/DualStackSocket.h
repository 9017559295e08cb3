// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_DUALSTACKSOCKET_H
#define HARKLINE_DUALSTACKSOCKET_H

#include <cstdint>

#include <netinet/in.h>
#include <sys/socket.h>

// The one UDP socket the program listens on, as the program and its bind helper both make it.
// Plain POSIX, no Qt: the helper is built without it.

// A socket that takes IPv6 and IPv4 senders alike, or IPv4 alone where the system has no IPv6
// (the kernel started with ipv6.disable=1, or built without it); -1 with errno when neither.
int openSocket(bool &dualStack);
// An IPv4 address and port as a socket of that kind takes them: one for IPv6 and IPv4 reaches an
// IPv4 address as ::ffff:a.b.c.d, and its "any address" is IPv6's.
socklen_t socketAddress(sockaddr_storage &address, bool dualStack, in_addr host,
                        std::uint16_t port);

#endif // HARKLINE_DUALSTACKSOCKET_H
