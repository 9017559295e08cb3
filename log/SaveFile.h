// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SAVEFILE_H
#define HARKLINE_SAVEFILE_H

#include <QByteArrayView>
#include <QString>

#include <functional>

class QIODevice;
class SaveProgress;

// What a save came to.
struct SaveResult
{
    enum class Outcome { Written, Cancelled, Failed };
    Outcome outcome = Outcome::Failed;
    QString error; // why it failed
};

// Writes the file at 'path' whole or not at all: 'write' writes to a new file beside it, which
// replaces the old one only when everything was written; cancelled or failed, the new file is
// removed and the old one left as it was. 'write' returns false when it stopped: cancelled
// through 'progress', the device refused a write, or what it writes could not be read, which it
// says in 'readError'.
using FileWrite = std::function<bool(QIODevice &out, QString *readError)>;
SaveResult saveFile(const QString &path, const FileWrite &write, const SaveProgress &progress);

// Writes all of 'bytes': false when the device took less. (A full disk takes part of a write and
// says nothing; only the next write fails.)
bool writeAll(QIODevice &out, QByteArrayView bytes);

#endif // HARKLINE_SAVEFILE_H
