// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ROUNDHALFEVEN_H
#define HARKLINE_ROUNDHALFEVEN_H

#include <QtGlobal>

// The nearest whole number, halfway cases going to the even neighbour. Raises an overflow Failure
// for a value outside the 32-bit range rather than return a wrong number.
qint32 RoundHalfEven(double value);

#endif // HARKLINE_ROUNDHALFEVEN_H
