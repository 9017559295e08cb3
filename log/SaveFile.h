// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SAVEFILE_H
#define HARKLINE_SAVEFILE_H

#include <QByteArrayView>
#include <QString>

#include <functional>

class QIODevice;

// Writes the file at 'path' whole or not at all: 'write' writes to a new file beside it, which
// replaces the old one only when everything was written. False, with the system's reason in
// 'error', when it could not be.
bool saveFile(const QString &path, const std::function<bool(QIODevice &)> &write, QString *error);

// Writes all of 'bytes': false when the device took less. (A full disk takes part of a write and
// says nothing; only the next write fails.)
bool writeAll(QIODevice &out, QByteArrayView bytes);

#endif // HARKLINE_SAVEFILE_H
