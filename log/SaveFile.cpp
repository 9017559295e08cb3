// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SaveFile.h"

#include "SaveProgress.h"

#include <QSaveFile>

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
    return true;
}
