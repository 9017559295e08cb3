// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "DualStackSocket.h"

#include <cstring>

#include <arpa/inet.h>
#include <unistd.h>

int openSocket(bool &dualStack)
{
    const int socket = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket >= 0) {
        const int off = 0;
        if (setsockopt(socket, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof(off)) == 0) {
            dualStack = true;
            return socket;
        }
        ::close(socket);
    }
    dualStack = false;
    return ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

socklen_t socketAddress(sockaddr_storage &address, bool dualStack, in_addr host, std::uint16_t port)
{
    address = {};
    if (dualStack) {
        auto &to = reinterpret_cast<sockaddr_in6 &>(address);
        to.sin6_family = AF_INET6;
        to.sin6_port = htons(port);
        if (host.s_addr == htonl(INADDR_ANY)) {
            to.sin6_addr = in6addr_any;
        } else {
            to.sin6_addr.s6_addr[10] = 0xff;
            to.sin6_addr.s6_addr[11] = 0xff;
            std::memcpy(&to.sin6_addr.s6_addr[12], &host, 4);
        }
        return sizeof(sockaddr_in6);
    }
    auto &to = reinterpret_cast<sockaddr_in &>(address);
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr = host;
    return sizeof(sockaddr_in);
}
