// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_TIMESTAMPS_H
#define HARKLINE_TIMESTAMPS_H

#include <QString>

// Times as the saves write them, fast enough for millions of rows: Qt's own date-time objects
// look up the zone for every one.

// The local zone's offset from UTC at 'utcMs', in seconds.
int localOffsetSeconds(qint64 utcMs);
// RFC 3339 to the millisecond, in the given offset: "2026-12-07T16:27:25.123+01:00".
QString rfc3339Text(qint64 utcMs, int offsetSeconds);
// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(int year, int month, int day);

#endif // HARKLINE_TIMESTAMPS_H
