// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SaveFile.h"

#include "SaveProgress.h"

#include <QSaveFile>

#include <fcntl.h>

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

} // namespace

SaveResult saveFile(const QString &path, const FileWrite &write, const SaveProgress &progress)
{
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
