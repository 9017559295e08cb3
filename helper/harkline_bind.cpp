// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// harkline-bind PORT: binds one UDP socket to PORT on every local address (IPv6 and IPv4, or IPv4
// alone where the system has no IPv6), hands it to Harkline over the socket pair that is its
// standard input, and exits. It alone carries the cap_net_bind_service capability, so that
// Harkline's window, its toolkit and whatever the toolkit loads carry none. It binds syslog's port,
// 514, and the ports below 1024 an administrator lists in /etc/harkline/bind-ports, nothing else:
// no other port, no other argument, no environment, no other kind of socket.

#include "BindReply.h"
#include "DualStackSocket.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int Refused = 2; // a call it does not serve
constexpr int Failed = 1; // a port the system would not bind
// The list is a few lines; anything longer is not one.
constexpr std::size_t MostListBytes = std::size_t(64) * 1024;

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

// The administrator's list, if it is theirs alone: a regular file that root owns and no one else
// may write to. What it cannot take is said on standard error.
std::string adminList()
{
    const int fd = open(BindPortsFile, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat status
    {
    };
    std::string text;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != 0
        || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        std::fprintf(stderr,
                     "harkline-bind: %s is not taken: it must be a file that root owns and only "
                     "root may change.\n",
                     BindPortsFile);
    } else {
        char buffer[4096];
        ssize_t n = 0;
        while (text.size() <= MostListBytes && (n = read(fd, buffer, sizeof(buffer))) > 0)
            text.append(buffer, std::size_t(n));
    }
    close(fd);
    return text;
}

// Whether 'port' is one it binds: 514, or one a line of the list names (a port, and a comment
// after '#' if any).
bool isAllowed(int port)
{
    if (port == DefaultBindPort)
        return true;
    const std::string list = adminList();
    std::string_view rest(list);
    bool listed = false; // every line is read, so that every mistake is told
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        line = line.substr(0, line.find('#'));
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            continue;
        line = line.substr(first, line.find_last_not_of(" \t") + 1 - first);
        const int named = portOf(line);
        if (named == 0) {
            std::fprintf(stderr, "harkline-bind: %s: \"%.*s\" is not a port from 1 to %d.\n",
                         BindPortsFile, int(line.size()), line.data(), FirstUnprivilegedPort - 1);
        }
        listed = listed || named == port;
    }
    return listed;
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
    if (!isAllowed(port)) {
        std::fprintf(stderr,
                     "harkline-bind: port %d is not one it binds: it binds %d and the ports "
                     "listed in %s.\n",
                     port, DefaultBindPort, BindPortsFile);
        BindReply answer;
        answer.error = EPERM;
        reply(STDIN_FILENO, answer, -1);
        return Refused;
    }

    const int socket = boundSocket(port);
    BindReply answer;
    answer.error = socket < 0 ? errno : 0;
    if (!reply(STDIN_FILENO, answer, socket))
        return Failed;
    return socket < 0 ? Failed : EXIT_SUCCESS;
}
