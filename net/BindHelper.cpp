// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "BindHelper.h"

#include "BindReply.h"

#include <QCoreApplication>
#include <QDir>

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The helper only binds a socket; a helper that takes longer than this is stuck.
constexpr int HelperTimeoutMs = 5000;

// The reply, and the socket that came with it (-1 if none).
int receiveReply(int from, BindReply &reply)
{
    iovec data { &reply, sizeof(reply) };
    msghdr message {};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    pollfd ready { from, POLLIN, 0 };
    if (poll(&ready, 1, HelperTimeoutMs) != 1) {
        reply.error = ETIMEDOUT;
        return -1;
    }
    if (recvmsg(from, &message, MSG_CMSG_CLOEXEC) != ssize_t(sizeof(reply))) {
        reply.error = EPROTO; // it ended without an answer
        return -1;
    }
    int socket = -1;
    for (cmsghdr *header = CMSG_FIRSTHDR(&message); header;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS)
            std::memcpy(&socket, CMSG_DATA(header), sizeof(int));
    }
    return socket;
}

// Only a UDP socket is what was asked for.
bool isUdpSocket(int socket)
{
    int type = 0;
    socklen_t length = sizeof(type);
    return getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length) == 0 && type == SOCK_DGRAM;
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
    waitpid(pid, nullptr, 0);
    if (socket >= 0 && !isUdpSocket(socket)) {
        close(socket);
        socket = -1;
        reply.error = EPROTO;
    }
    if (socket < 0)
        *error = reply.error != 0 ? reply.error : EPROTO;
    return socket;
}
