// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "BindHelper.h"

#include "BindReply.h"

#include <QCoreApplication>
#include <QDir>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <vector>

#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The helper only binds a socket; a helper that takes longer than this to answer, or to end
// after it answered, is stuck.
constexpr int HelperTimeoutMs = 5000;
constexpr int ExitPollMs = 10;
// Room for more descriptors than the one expected, so that extra ones arrive (to be closed)
// rather than being cut off unseen.
constexpr int MostDescriptors = 8;

// The reply, and the socket that came with it (-1 if none). A reply that is not one answer with
// at most one descriptor is the helper's fault: EPROTO, and every descriptor it sent closed.
int receiveReply(int from, BindReply &reply)
{
    iovec data { &reply, sizeof(reply) };
    msghdr message {};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(MostDescriptors * sizeof(int))] = {};
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    pollfd ready { from, POLLIN, 0 };
    if (poll(&ready, 1, HelperTimeoutMs) != 1) {
        reply.error = ETIMEDOUT;
        return -1;
    }
    const ssize_t received = recvmsg(from, &message, MSG_CMSG_CLOEXEC);
    std::vector<int> sockets;
    for (cmsghdr *header = CMSG_FIRSTHDR(&message); header;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int socket = -1;
            std::memcpy(&socket, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
            sockets.push_back(socket);
        }
    }
    const bool oneAnswer = received == ssize_t(sizeof(reply)) && !(message.msg_flags & MSG_CTRUNC)
        && sockets.size() <= 1;
    if (!oneAnswer || (reply.error != 0 && !sockets.empty())) {
        for (const int socket : sockets)
            close(socket);
        if (!oneAnswer)
            reply.error = EPROTO; // it ended without an answer, or sent what it should not
        return -1;
    }
    return sockets.empty() ? -1 : sockets.front();
}

// Only a UDP socket bound to the port asked for is what was asked for.
bool isUdpSocketOn(int socket, int port)
{
    int type = 0;
    socklen_t length = sizeof(type);
    sockaddr_storage address {};
    socklen_t addressLength = sizeof(address);
    if (getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_DGRAM
        || getsockname(socket, reinterpret_cast<sockaddr *>(&address), &addressLength) != 0)
        return false;
    if (address.ss_family == AF_INET6) {
        sockaddr_in6 v6 {};
        std::memcpy(&v6, &address, sizeof(v6));
        return ntohs(v6.sin6_port) == port;
    }
    if (address.ss_family == AF_INET) {
        sockaddr_in v4 {};
        std::memcpy(&v4, &address, sizeof(v4));
        return ntohs(v4.sin_port) == port;
    }
    return false;
}

// Waits for the helper to end, and ends it if it does not: a helper that answered and then hangs
// must not hang the window with it.
void reap(pid_t pid)
{
    for (int waited = 0; waited < HelperTimeoutMs; waited += ExitPollMs) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(ExitPollMs * 1000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace

QString bindHelperPath()
{
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral("../libexec/harkline/harkline-bind"));
}

int bindThroughHelper(const QString &helper, int port, int *error)
{
    const QByteArray program = QDir::cleanPath(helper).toLocal8Bit();
    if (access(program.constData(), X_OK) != 0) {
        *error = ENOENT;
        return -1;
    }
    int pair[2] = { -1, -1 };
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        *error = errno;
        return -1;
    }
    // The helper's end of the pair is its standard input; it gets no environment at all.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], STDIN_FILENO);
    QByteArray portText = QByteArray::number(port);
    char *arguments[] = { const_cast<char *>(program.constData()), portText.data(), nullptr };
    char *environment[] = { nullptr };
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, program.constData(), &actions, nullptr, arguments, environment);
    posix_spawn_file_actions_destroy(&actions);
    close(pair[1]);
    if (spawned != 0) {
        close(pair[0]);
        *error = spawned;
        return -1;
    }
    BindReply reply;
    int socket = receiveReply(pair[0], reply);
    close(pair[0]);
    if (reply.error == ETIMEDOUT)
        kill(pid, SIGKILL);
    reap(pid);
    if (socket >= 0 && !isUdpSocketOn(socket, port)) {
        close(socket);
        socket = -1;
        reply.error = EPROTO;
    }
    if (socket < 0)
        *error = reply.error != 0 ? reply.error : EPROTO;
    return socket;
}
