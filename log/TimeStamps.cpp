// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TimeStamps.h"

#include <QDateTime>

#include <cstdlib>
#include <limits>

namespace {

constexpr qint64 MsPerSecond = 1000;
constexpr qint64 SecondsPerDay = 86400;
constexpr qint64 SecondsPerHour = 3600;
constexpr qint64 SecondsPerMinute = 60;
// Zones change their offset only on a quarter hour: one offset serves a whole quarter.
constexpr qint64 QuarterHourMs = qint64(15) * 60 * MsPerSecond;
// The Gregorian calendar repeats every 400 years, 146,097 days.
constexpr qint64 DaysPerEra = 146097;
constexpr qint64 YearsPerEra = 400;
// 1970-01-01 counted from 0000-03-01, the start of the calendar's cycle when the year begins in
// March (so that the leap day ends it).
constexpr qint64 EpochFromMarch = 719468;
constexpr int MonthsBeforeMarch = 2;
constexpr qsizetype Rfc3339Length = 29;

// Floor division: a time before 1970 goes to the day (or quarter) it is in.
qint64 floorDivide(qint64 value, qint64 divisor)
{
    return value / divisor - (value % divisor < 0 ? 1 : 0);
}

// 'value' in 'digits' decimal digits, leading zeros and all.
char16_t *writeNumber(char16_t *out, qint64 value, int digits)
{
    for (int i = digits - 1; i >= 0; --i, value /= 10)
        out[i] = char16_t(u'0' + value % 10);
    return out + digits;
}

} // namespace

int localOffsetSeconds(qint64 utcMs)
{
    thread_local qint64 cachedQuarter = std::numeric_limits<qint64>::min();
    thread_local int cachedOffset = 0;
    const qint64 quarter = floorDivide(utcMs, QuarterHourMs);
    if (quarter != cachedQuarter) {
        cachedOffset = QDateTime::fromMSecsSinceEpoch(quarter * QuarterHourMs).offsetFromUtc();
        cachedQuarter = quarter;
    }
    return cachedOffset;
}

// Howard Hinnant's days_from_civil.
qint64 daysFromCivil(int year, int month, int day)
{
    const qint64 y = year - (month <= MonthsBeforeMarch ? 1 : 0);
    const qint64 era = floorDivide(y, YearsPerEra);
    const qint64 yearOfEra = y - era * YearsPerEra;
    const qint64 dayOfYear =
        (153 * (month + (month > MonthsBeforeMarch ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * DaysPerEra + dayOfEra - EpochFromMarch;
}

QString rfc3339Text(qint64 utcMs, int offsetSeconds)
{
    const qint64 localMs = utcMs + offsetSeconds * MsPerSecond;
    const qint64 days = floorDivide(localMs, SecondsPerDay * MsPerSecond);
    const qint64 msOfDay = localMs - days * SecondsPerDay * MsPerSecond;
    // Howard Hinnant's civil_from_days.
    const qint64 shifted = days + EpochFromMarch;
    const qint64 era = floorDivide(shifted, DaysPerEra);
    const qint64 dayOfEra = shifted - era * DaysPerEra;
    const qint64 yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthFromMarch = (5 * dayOfYear + 2) / 153;
    const qint64 day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const qint64 month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    const qint64 year = yearOfEra + era * YearsPerEra + (month <= MonthsBeforeMarch ? 1 : 0);

    const int offset = std::abs(offsetSeconds);
    char16_t text[Rfc3339Length];
    char16_t *at = writeNumber(text, year, 4);
    *at++ = u'-';
    at = writeNumber(at, month, 2);
    *at++ = u'-';
    at = writeNumber(at, day, 2);
    *at++ = u'T';
    at = writeNumber(at, msOfDay / (SecondsPerHour * MsPerSecond), 2);
    *at++ = u':';
    at = writeNumber(at, msOfDay / (SecondsPerMinute * MsPerSecond) % SecondsPerMinute, 2);
    *at++ = u':';
    at = writeNumber(at, msOfDay / MsPerSecond % SecondsPerMinute, 2);
    *at++ = u'.';
    at = writeNumber(at, msOfDay % MsPerSecond, 3);
    *at++ = offsetSeconds < 0 ? u'-' : u'+';
    at = writeNumber(at, offset / SecondsPerHour, 2);
    *at++ = u':';
    at = writeNumber(at, offset / SecondsPerMinute % SecondsPerMinute, 2);
    return QString(reinterpret_cast<const QChar *>(text), at - text);
}
