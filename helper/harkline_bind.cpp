// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// harkline-bind PORT: binds one UDP socket to PORT, 1 to 1023, on every local address (IPv6 and
// IPv4, or IPv4 alone where the system has no IPv6), hands it to Harkline over the socket pair
// that is its standard input, and exits. It alone carries the cap_net_bind_service capability,
// so that Harkline's window, its toolkit and whatever the toolkit loads carry none. It takes
// nothing else: no other argument, no environment, no other kind of socket.

#include "BindReply.h"
#include "DualStackSocket.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int Refused = 2; // a call it does not serve
constexpr int Failed = 1; // a port the system would not bind

int refuse(const char *why)
{
    std::fprintf(stderr,
                 "harkline-bind: %s\nUsage: harkline-bind PORT (1 to %d), with standard "
                 "input a socket pair to send the bound UDP socket on.\n",
                 why, FirstUnprivilegedPort - 1);
    return Refused;
}

// The port, or 0 unless the text is a decimal number from 1 to 1023 and nothing else.
int portOf(std::string_view text)
{
    constexpr std::size_t MostDigits = 4;
    if (text.empty() || text.size() > MostDigits || text.front() == '0')
        return 0;
    int port = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        port = port * 10 + (c - '0');
    }
    return port < FirstUnprivilegedPort ? port : 0;
}

bool isSocketPair(int fd)
{
    int domain = 0;
    socklen_t length = sizeof(domain);
    return getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &length) == 0 && domain == AF_UNIX;
}

// A UDP socket bound to 'port' on every local address; -1, with errno, when the system refuses.
int boundSocket(int port)
{
    bool dualStack = false;
    const int socket = openSocket(dualStack);
    if (socket < 0)
        return -1;
    sockaddr_storage address;
    const socklen_t length =
        socketAddress(address, dualStack, in_addr { htonl(INADDR_ANY) }, std::uint16_t(port));
    if (bind(socket, reinterpret_cast<const sockaddr *>(&address), length) == 0)
        return socket;
    const int error = errno;
    close(socket);
    errno = error;
    return -1;
}

bool reply(int to, const BindReply &answer, int socket)
{
    iovec data { const_cast<BindReply *>(&answer), sizeof(answer) };
    msghdr message {};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (socket >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        cmsghdr *rights = CMSG_FIRSTHDR(&message);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(rights), &socket, sizeof(int));
    }
    return sendmsg(to, &message, MSG_NOSIGNAL) == ssize_t(sizeof(answer));
}

} // namespace

int main(int argc, char *argv[])
{
    // Nothing from the caller's environment reaches anything this program does.
    clearenv();
    if (argc != 2)
        return refuse("takes one argument, the port");
    const int port = portOf(argv[1]);
    if (port == 0)
        return refuse("the port must be a number from 1 to 1023");
    if (!isSocketPair(STDIN_FILENO))
        return refuse("standard input is not a socket pair");

    const int socket = boundSocket(port);
    BindReply answer;
    answer.error = socket < 0 ? errno : 0;
    if (!reply(STDIN_FILENO, answer, socket))
        return Failed;
    return socket < 0 ? Failed : EXIT_SUCCESS;
}
