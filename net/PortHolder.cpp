// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PortHolder.h"

#include <QFile>
#include <QList>

#include <dirent.h>
#include <pwd.h>
#include <unistd.h>

namespace {

struct Socket
{
    quint64 inode = 0;
    uint uid = 0;
};

// The kernel's tables of UDP sockets: a header line, then one line per socket whose second field
// is the local address and port in hexadecimal, the eighth the owner's uid, the tenth the inode.
QList<Socket> socketsOnPort(int port)
{
    QList<Socket> sockets;
    for (const char *table : { "/proc/net/udp", "/proc/net/udp6" }) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        file.readLine(); // the header
        while (!file.atEnd()) {
            const QList<QByteArray> fields = file.readLine().simplified().split(' ');
            if (fields.size() < 10)
                continue;
            bool ok = false;
            const QByteArray &local = fields.at(1);
            if (local.mid(local.lastIndexOf(':') + 1).toInt(&ok, 16) != port || !ok)
                continue;
            const Socket socket { fields.at(9).toULongLong(), fields.at(7).toUInt() };
            if (socket.inode != 0)
                sockets.append(socket);
        }
    }
    return sockets;
}

// The process with a descriptor on one of the sockets, where this user may look; 0 if none.
pid_t processHolding(const QList<Socket> &sockets)
{
    QList<QByteArray> targets;
    for (const Socket &socket : sockets)
        targets.append("socket:[" + QByteArray::number(socket.inode) + ']');

    pid_t found = 0;
    DIR *proc = opendir("/proc");
    if (!proc)
        return 0;
    while (dirent *process = readdir(proc)) {
        const pid_t pid = pid_t(QByteArray(process->d_name).toInt());
        if (pid <= 0)
            continue;
        const QByteArray fdPath = "/proc/" + QByteArray::number(pid) + "/fd";
        DIR *fds = opendir(fdPath.constData());
        if (!fds)
            continue; // another user's process, or gone
        while (dirent *fd = readdir(fds)) {
            char target[64];
            const QByteArray path = fdPath + '/' + fd->d_name;
            const ssize_t length = readlink(path.constData(), target, sizeof(target));
            if (length > 0 && targets.contains(QByteArray(target, length))) {
                found = pid;
                break;
            }
        }
        closedir(fds);
        if (found)
            break;
    }
    closedir(proc);
    return found;
}

QString userName(uint uid)
{
    passwd entry {};
    passwd *result = nullptr;
    char buffer[1024];
    if (getpwuid_r(uid_t(uid), &entry, buffer, sizeof(buffer), &result) == 0 && result)
        return QString::fromLocal8Bit(result->pw_name);
    return QStringLiteral("uid %1").arg(uid);
}

} // namespace

QString describeUdpPortHolder(int port)
{
    const QList<Socket> sockets = socketsOnPort(port);
    if (sockets.isEmpty())
        return {};
    if (const pid_t pid = processHolding(sockets)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        const QString name = comm.open(QIODevice::ReadOnly)
            ? QString::fromLocal8Bit(comm.readAll().trimmed())
            : QStringLiteral("a program");
        return QStringLiteral("Port %1 is held by %2 (process %3).").arg(port).arg(name).arg(pid);
    }
    const uint uid = sockets.first().uid;
    if (uid == getuid()) {
        return QStringLiteral("Port %1 is held by a program that cannot be seen from here.")
            .arg(port);
    }
    return QStringLiteral("Port %1 is held by a program of the user %2, which this user may not "
                          "see.")
        .arg(port)
        .arg(userName(uid));
}
