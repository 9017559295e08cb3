// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_COMPRESSION_H
#define HARKLINE_COMPRESSION_H

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// What the log keeps aside is compressed with zstd's fastest level: it runs on the window's thread
// while datagrams arrive, and for log text it is as small as zlib's default at a tenth of the time.
// Each frame carries a checksum of its content, so that what comes back from memory or the disk
// damaged is found out, never taken for what was kept.

// Exactly as long as it needs to be: a long log keeps many of these. None when zstd cannot
// (it fails only when out of memory).
std::optional<QByteArray> compressed(QByteArrayView bytes);
// The bytes back; none for anything that compressed() did not make, or that has changed since.
std::optional<QByteArray> decompressed(QByteArrayView compressed);

#endif // HARKLINE_COMPRESSION_H
