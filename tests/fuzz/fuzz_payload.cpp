// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Any datagram payload becomes text and back into the very same bytes, one character per byte.

#include "Payload.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 65507) // the largest IPv4 payload
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = payloadToText(bytes);
    if (text.size() != bytes.size() || textToPayload(text) != bytes)
        std::abort();
    return 0;
}
