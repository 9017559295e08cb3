// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SpillFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

struct Room
{
    bool inMemory = false;
    qint64 free = -1; // bytes, -1 where the folder cannot be used
};

Room roomIn(const QString &folder)
{
    struct statfs fs
    {
    };
    if (statfs(QFile::encodeName(folder).constData(), &fs) != 0
        || access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return {};
    return { fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC,
             qint64(fs.f_bavail) * qint64(fs.f_bsize) };
}

} // namespace

QString SpillFile::chooseFolder()
{
    QString temp = QDir::tempPath();
    const Room tempRoom = roomIn(temp);
    QString varTmp = QStringLiteral("/var/tmp");
    const Room varTmpRoom = roomIn(varTmp);
    if (varTmpRoom.free < 0)
        return temp;
    const bool better = tempRoom.free < 0 || (tempRoom.inMemory && !varTmpRoom.inMemory)
        || (tempRoom.inMemory == varTmpRoom.inMemory && varTmpRoom.free > tempRoom.free);
    return better ? varTmp : temp;
}

std::unique_ptr<SpillFile> SpillFile::create(const QString &folder, QString *error)
{
    const QByteArray path = QFile::encodeName(folder);
    int fd = open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: a name for an instant, only this user's.
        QByteArray name = path + "/harkline-record-XXXXXX";
        fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0)
            unlink(name.constData());
    }
    if (fd < 0) {
        *error = QStringLiteral("%1: %2").arg(folder, systemError(errno));
        return nullptr;
    }
    return std::unique_ptr<SpillFile>(new SpillFile(fd, folder));
}

SpillFile::SpillFile(int fd, QString folder)
    : m_fd(fd)
    , m_folder(std::move(folder))
{ }

SpillFile::~SpillFile()
{
    close(m_fd);
}

qint64 SpillFile::append(QByteArrayView bytes, QString *error)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t n = pwrite(m_fd, bytes.data() + written, std::size_t(bytes.size() - written),
                                 m_end + written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = systemError(n < 0 ? errno : ENOSPC);
            return -1;
        }
        written += n;
    }
    const qint64 offset = m_end;
    m_end += written;
    return offset;
}

bool SpillFile::read(qint64 offset, qsizetype length, QByteArray &bytes, QString *error) const
{
    bytes.resize(length);
    qsizetype done = 0;
    while (done < length) {
        const ssize_t n =
            pread(m_fd, bytes.data() + done, std::size_t(length - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error =
                n < 0 ? systemError(errno) : QStringLiteral("the file is shorter than written");
            return false;
        }
        done += n;
    }
    return true;
}
