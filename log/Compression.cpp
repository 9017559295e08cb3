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

ZSTD_CCtx *newContext()
{
    ZSTD_CCtx *context = ZSTD_createCCtx();
    if (context) {
        ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, Level);
        ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    }
    return context;
}

} // namespace

std::optional<QByteArray> compressed(QByteArrayView bytes)
{
    // One context for the thread: making one costs more than compressing a small chunk.
    thread_local const std::unique_ptr<ZSTD_CCtx, ContextDeleter> context(newContext());
    if (!context)
        return std::nullopt;
    QByteArray room(qsizetype(ZSTD_compressBound(std::size_t(bytes.size()))), Qt::Uninitialized);
    const std::size_t size = ZSTD_compress2(context.get(), room.data(), std::size_t(room.size()),
                                            bytes.data(), std::size_t(bytes.size()));
    if (ZSTD_isError(size))
        return std::nullopt;
    return QByteArray(room.constData(), qsizetype(size));
}

std::optional<QByteArray> decompressed(QByteArrayView compressed)
{
    const unsigned long long size =
        ZSTD_getFrameContentSize(compressed.data(), std::size_t(compressed.size()));
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN
        || size > unsigned(std::numeric_limits<int>::max()))
        return std::nullopt;
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    const std::size_t got = ZSTD_decompress(bytes.data(), std::size_t(bytes.size()),
                                            compressed.data(), std::size_t(compressed.size()));
    if (ZSTD_isError(got) || got != size)
        return std::nullopt;
    return bytes;
}
