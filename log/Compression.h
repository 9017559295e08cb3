// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_COMPRESSION_H
#define HARKLINE_COMPRESSION_H

#include <QByteArray>
#include <QByteArrayView>

// What the log keeps aside is compressed with zstd's fastest level: it runs on the window's thread
// while datagrams arrive, and for log text it is as small as zlib's default at a tenth of the time.

// Exactly as long as it needs to be: a long log keeps many of these.
QByteArray compressed(QByteArrayView bytes);
// The bytes back; empty for anything that compressed() did not make.
QByteArray decompressed(QByteArrayView compressed);

#endif // HARKLINE_COMPRESSION_H
