// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RoundHalfEven.h"

#include "Failure.h"

#include <cmath>
#include <limits>

qint32 RoundHalfEven(double value)
{
    // The default floating-point rounding mode rounds halfway cases to even.
    const double whole = std::nearbyint(value);
    if (!(whole >= double(std::numeric_limits<qint32>::min())
          && whole <= double(std::numeric_limits<qint32>::max()))) {
        throw Failure(FailureNumber::Overflow,
                      QStringLiteral("Overflow: %1 cannot be made a whole 32-bit number.")
                          .arg(value, 0, 'g', 17));
    }
    return qint32(whole);
}
