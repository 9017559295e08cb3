// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A bind helper that misbehaves in the way its name says ("harkline-bind-tcp" answers with a TCP
// socket...), for testing what Harkline accepts from a helper. Run as Harkline runs the real one:
// the port as its argument, a socket pair as its standard input, no environment.

#include "BindReply.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int NeverSeconds = 3600;

int boundSocket(int type, int port)
{
    const int bound = socket(AF_INET6, type, 0);
    sockaddr_in6 address {};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(static_cast<std::uint16_t>(port));
    if (bind(bound, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0)
        std::exit(2);
    return bound;
}

// One message holding 'reply', with 'sockets' as SCM_RIGHTS (and credentials if asked), of
// 'bytes' of the reply.
void answer(BindReply reply, const std::vector<int> &sockets, std::size_t bytes = sizeof(BindReply),
            bool credentials = false)
{
    iovec data { &reply, bytes };
    msghdr message {};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int)) + CMSG_SPACE(sizeof(ucred))] = {};
    if (!sockets.empty() || credentials) {
        std::size_t used = 0;
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        cmsghdr *header = CMSG_FIRSTHDR(&message);
        if (!sockets.empty()) {
            header->cmsg_level = SOL_SOCKET;
            header->cmsg_type = SCM_RIGHTS;
            header->cmsg_len = CMSG_LEN(sockets.size() * sizeof(int));
            std::memcpy(CMSG_DATA(header), sockets.data(), sockets.size() * sizeof(int));
            used += CMSG_SPACE(sockets.size() * sizeof(int));
            header = CMSG_NXTHDR(&message, header);
        }
        if (credentials) {
            const ucred mine { getpid(), getuid(), getgid() };
            header->cmsg_level = SOL_SOCKET;
            header->cmsg_type = SCM_CREDENTIALS;
            header->cmsg_len = CMSG_LEN(sizeof(ucred));
            std::memcpy(CMSG_DATA(header), &mine, sizeof(mine));
            used += CMSG_SPACE(sizeof(ucred));
        }
        message.msg_controllen = used;
    }
    if (sendmsg(STDIN_FILENO, &message, 0) < 0)
        std::exit(3);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 1;
    const std::string name = std::strrchr(argv[0], '/') ? std::strrchr(argv[0], '/') + 1 : argv[0];
    const int port = std::atoi(argv[1]);
    const std::string how = name.substr(name.find_last_of('-') + 1);
    if (how == "good") {
        answer({}, { boundSocket(SOCK_DGRAM, port) });
    } else if (how == "tcp") {
        answer({}, { boundSocket(SOCK_STREAM, port) });
    } else if (how == "otherport") {
        answer({}, { boundSocket(SOCK_DGRAM, 0) });
    } else if (how == "nosocket") {
        answer({}, {});
    } else if (how == "twosockets") {
        answer({}, { boundSocket(SOCK_DGRAM, port), boundSocket(SOCK_DGRAM, 0) });
    } else if (how == "short") {
        answer({}, { boundSocket(SOCK_DGRAM, port) }, 2);
    } else if (how == "credentials") {
        answer({}, {}, sizeof(BindReply), true);
    } else if (how == "silent") {
        sleep(NeverSeconds);
    } else if (how == "lingers") {
        answer({}, { boundSocket(SOCK_DGRAM, port) });
        sleep(NeverSeconds);
    } else if (how == "errorwithsocket") {
        answer({ EACCES }, { boundSocket(SOCK_DGRAM, port) });
    } else {
        return 1;
    }
    return 0;
}
