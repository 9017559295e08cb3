// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SaveFile.h"

#include <QSaveFile>

bool saveFile(const QString &path, const std::function<bool(QIODevice &)> &write, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && write(file) && file.commit())
        return true;
    *error = file.errorString();
    return false;
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
