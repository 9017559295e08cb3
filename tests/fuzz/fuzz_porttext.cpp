// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Whatever is typed into the port box: reading it never crashes or hangs, gives a finite number,
// and fails only by overflow.

#include "Failure.h"
#include "PortText.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const double value = ReadLeadingNumber(text);
        if (!std::isfinite(value))
            std::abort();
        IsPortAccepted(value);
        const qint32 whole = RoundHalfEven(value);
        if (std::fabs(double(whole) - value) > 0.5)
            std::abort();
    } catch (const Failure &failure) {
        if (failure.kind() != FailureNumber::Overflow)
            std::abort();
    }
    return 0;
}
