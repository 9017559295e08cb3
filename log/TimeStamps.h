// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_TIMESTAMPS_H
#define HARKLINE_TIMESTAMPS_H

#include <QString>

// Times as the saves write them, fast enough for millions of rows: Qt's own date-time objects
// look up the zone for every one.

// The units of a time.
inline constexpr int SecondsPerMinute = 60;
inline constexpr int SecondsPerHour = 3600;
inline constexpr int SecondsPerDay = 86400;
inline constexpr qint64 MsPerSecond = 1000;
inline constexpr qint64 MsPerDay = SecondsPerDay * MsPerSecond;
inline constexpr qint64 NsPerSecond = 1'000'000'000;

// Milliseconds of a time given in nanoseconds, floored, so that a time before 1970 does not round
// up.
qint64 floorMs(qint64 timeNs);
// The local zone's offset from UTC at 'utcMs', in seconds.
int localOffsetSeconds(qint64 utcMs);
// RFC 3339 to the millisecond, in the given offset: "2026-12-07T16:27:25.123+01:00".
QString rfc3339Text(qint64 utcMs, int offsetSeconds, int microseconds = -1);
// The same written into 'out', which has room for Rfc3339Length characters; returns its end.
// With 'microseconds' past the millisecond (0 to 999), to the microsecond, three characters more.
inline constexpr qsizetype Rfc3339Length = 29;
inline constexpr qsizetype Rfc3339MicrosecondsLength = Rfc3339Length + 3;
char *writeRfc3339(char *out, qint64 utcMs, int offsetSeconds, int microseconds = -1);

// A date of the proleptic Gregorian calendar.
struct CivilDate
{
    qint64 year = 1970;
    int month = 1;
    int day = 1;
};
// Days since 1970-01-01 of a date, and the date of a day so counted.
qint64 daysFromCivil(int year, int month, int day);
CivilDate civilFromDays(qint64 days);

#endif // HARKLINE_TIMESTAMPS_H
