// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Compression.h"

#include <zstd.h>

#include <limits>
#include <memory>

namespace {

constexpr int Level = 1;

struct ContextDeleter
{
    void operator()(ZSTD_CCtx *context) const { ZSTD_freeCCtx(context); }
};

} // namespace

QByteArray compressed(QByteArrayView bytes)
{
    // One context for the thread: making one costs more than compressing a small chunk.
    thread_local const std::unique_ptr<ZSTD_CCtx, ContextDeleter> context(ZSTD_createCCtx());
    QByteArray room(qsizetype(ZSTD_compressBound(std::size_t(bytes.size()))), Qt::Uninitialized);
    const std::size_t size = ZSTD_compressCCtx(context.get(), room.data(), std::size_t(room.size()),
                                               bytes.data(), std::size_t(bytes.size()), Level);
    if (ZSTD_isError(size))
        qFatal("zstd: %s", ZSTD_getErrorName(size)); // only when out of memory
    return QByteArray(room.constData(), qsizetype(size));
}

QByteArray decompressed(QByteArrayView compressed)
{
    const unsigned long long size =
        ZSTD_getFrameContentSize(compressed.data(), std::size_t(compressed.size()));
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN
        || size > unsigned(std::numeric_limits<int>::max()))
        return {};
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    const std::size_t got = ZSTD_decompress(bytes.data(), std::size_t(bytes.size()),
                                            compressed.data(), std::size_t(compressed.size()));
    if (ZSTD_isError(got) || got != size)
        return {};
    return bytes;
}
