// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SaveFile.h"

#include "SaveProgress.h"

#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How far write-back may lag behind the end of a file being saved.
constexpr qint64 WriteBehind = qint64(8) * 1024 * 1024;

// Written fast, a save leaves the system hundreds of megabytes to write out at once when it
// commits (QSaveFile syncs to the disk), a burst that can take the processor from the receive path
// for long enough that the kernel drops datagrams. Asking for write-back as the file grows, and
// waiting for what lags further behind, spreads it over the save.
void writeBackBehind(QFileDevice &file)
{
    if (!file.flush() || file.handle() < 0)
        return;
    const qint64 end = file.pos();
    sync_file_range(file.handle(), 0, end, SYNC_FILE_RANGE_WRITE);
    if (end > WriteBehind) {
        sync_file_range(file.handle(), 0, end - WriteBehind,
                        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE
                            | SYNC_FILE_RANGE_WAIT_AFTER);
    }
}

// Why 'path' is no place to save to, or nothing. A save makes a new file and renames it over the
// old one: over a device, a pipe or a socket that would put a file in its place (saving to
// /dev/null as root would replace /dev/null). A symbolic link is followed, as editors do, but not
// one that another user left in a folder everybody may write to (as /tmp), where it could point
// anywhere the user may write.
QString refusalOf(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat link
    {
    };
    if (lstat(name.constData(), &link) != 0)
        return {}; // a new file
    if (S_ISLNK(link.st_mode)) {
        struct stat folder
        {
        };
        const QByteArray folderName = QFile::encodeName(QFileInfo(path).absolutePath());
        if (stat(folderName.constData(), &folder) == 0 && (folder.st_mode & S_ISVTX)
            && (folder.st_mode & S_IWOTH) && link.st_uid != geteuid()
            && link.st_uid != folder.st_uid)
            return QStringLiteral("it is a link that another user made in a folder everybody may "
                                  "write to");
    }
    struct stat target
    {
    };
    if (stat(name.constData(), &target) == 0 && !S_ISREG(target.st_mode)) {
        return S_ISDIR(target.st_mode)
            ? QStringLiteral("it is a folder")
            : QStringLiteral("it is not a file but a device, a pipe or a socket");
    }
    return {};
}

} // namespace

SaveResult saveFile(const QString &path, const FileWrite &write, const SaveProgress &progress)
{
    if (const QString refusal = refusalOf(path); !refusal.isEmpty())
        return { SaveResult::Outcome::Failed, refusal };
    // Not committed, the new file is removed as 'file' goes.
    QSaveFile file(path);
    QString readError;
    if (file.open(QIODevice::WriteOnly) && write(file, &readError) && !progress.isCancelled()
        && file.commit())
        return { SaveResult::Outcome::Written, {} };
    if (progress.isCancelled())
        return { SaveResult::Outcome::Cancelled, {} };
    return { SaveResult::Outcome::Failed, readError.isEmpty() ? file.errorString() : readError };
}

bool writeAll(QIODevice &out, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qint64 written = out.write(bytes.data(), bytes.size());
        if (written <= 0)
            return false;
        bytes = bytes.sliced(written);
    }
    if (auto *file = qobject_cast<QFileDevice *>(&out))
        writeBackBehind(*file);
    return true;
}
