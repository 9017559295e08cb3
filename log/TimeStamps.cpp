// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "TimeStamps.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

namespace {

constexpr qint64 NsPerMs = 1'000'000;
// Zones change their offset only on a quarter hour: one offset serves a whole quarter.
constexpr qint64 QuarterHourMs = qint64(15) * 60 * MsPerSecond;
// The Gregorian calendar repeats every 400 years, 146,097 days.
constexpr qint64 DaysPerEra = 146097;
constexpr qint64 YearsPerEra = 400;
// 1970-01-01 counted from 0000-03-01, the start of the calendar's cycle when the year begins in
// March (so that the leap day ends it).
constexpr qint64 EpochFromMarch = 719468;
constexpr int MonthsBeforeMarch = 2;
constexpr std::size_t DateLength = sizeof("2026-12-07T") - 1;

// Floor division: a time before 1970 goes to the day (or quarter) it is in.
qint64 floorDivide(qint64 value, qint64 divisor)
{
    return value / divisor - (value % divisor < 0 ? 1 : 0);
}

// 'value' in 'digits' decimal digits, leading zeros and all.
char *writeNumber(char *out, qint64 value, int digits)
{
    for (int i = digits - 1; i >= 0; --i, value /= 10)
        out[i] = char('0' + value % 10);
    return out + digits;
}

constexpr std::size_t CachedQuarters = 4;

} // namespace

qint64 floorMs(qint64 timeNs)
{
    return floorDivide(timeNs, NsPerMs);
}

// Asking the system costs far more than the rest of reading a datagram's time, and a datagram
// asks for the offset at its arrival and at its own time, which may lie far apart: the last few
// quarter hours asked for are kept.
int localOffsetSeconds(qint64 utcMs)
{
    struct Cached
    {
        qint64 quarter = std::numeric_limits<qint64>::min();
        int offset = 0;
    };
    thread_local std::array<Cached, CachedQuarters> cache;
    thread_local std::size_t oldest = 0;
    const qint64 quarter = floorDivide(utcMs, QuarterHourMs);
    const auto cached = std::find_if(cache.begin(), cache.end(),
                                     [&](const Cached &entry) { return entry.quarter == quarter; });
    if (cached != cache.end())
        return cached->offset;
    Cached &fresh = cache.at(oldest);
    oldest = (oldest + 1) % cache.size();
    fresh = { quarter, QDateTime::fromMSecsSinceEpoch(quarter * QuarterHourMs).offsetFromUtc() };
    return fresh.offset;
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

// Howard Hinnant's civil_from_days.
CivilDate civilFromDays(qint64 days)
{
    const qint64 shifted = days + EpochFromMarch;
    const qint64 era = floorDivide(shifted, DaysPerEra);
    const qint64 dayOfEra = shifted - era * DaysPerEra;
    const qint64 yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthFromMarch = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.day = int(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    date.month = int(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    date.year = yearOfEra + era * YearsPerEra + (date.month <= MonthsBeforeMarch ? 1 : 0);
    return date;
}

char *writeRfc3339(char *out, qint64 utcMs, int offsetSeconds, int microseconds)
{
    const qint64 localMs = utcMs + offsetSeconds * MsPerSecond;
    const qint64 days = floorDivide(localMs, SecondsPerDay * MsPerSecond);
    const qint64 msOfDay = localMs - days * SecondsPerDay * MsPerSecond;
    // The times of a save come in order, most on the same day as the one before: a date is worked
    // out once a day. Two are kept, as a JSON line writes two times, the arrival's and the
    // sender's, whose day can differ (another offset, a clock that is off).
    struct Date
    {
        qint64 days = std::numeric_limits<qint64>::min();
        std::array<char, DateLength> text {};
    };
    thread_local std::array<Date, 2> dates;
    thread_local std::size_t lastUsed = 0;
    if (dates[lastUsed].days != days)
        lastUsed ^= 1;
    Date &cached = dates[lastUsed];
    if (cached.days != days) {
        const CivilDate date = civilFromDays(days);
        char *at = writeNumber(cached.text.data(), date.year, 4);
        *at++ = '-';
        at = writeNumber(at, date.month, 2);
        *at++ = '-';
        at = writeNumber(at, date.day, 2);
        *at++ = 'T';
        cached.days = days;
    }
    const int offset = std::abs(offsetSeconds);
    char *at = std::copy(cached.text.begin(), cached.text.end(), out);
    at = writeNumber(at, msOfDay / (SecondsPerHour * MsPerSecond), 2);
    *at++ = ':';
    at = writeNumber(at, msOfDay / (SecondsPerMinute * MsPerSecond) % SecondsPerMinute, 2);
    *at++ = ':';
    at = writeNumber(at, msOfDay / MsPerSecond % SecondsPerMinute, 2);
    *at++ = '.';
    at = writeNumber(at, msOfDay % MsPerSecond, 3);
    if (microseconds >= 0)
        at = writeNumber(at, microseconds, 3);
    *at++ = offsetSeconds < 0 ? '-' : '+';
    at = writeNumber(at, offset / SecondsPerHour, 2);
    *at++ = ':';
    return writeNumber(at, offset / SecondsPerMinute % SecondsPerMinute, 2);
}

QString rfc3339Text(qint64 utcMs, int offsetSeconds, int microseconds)
{
    char text[Rfc3339MicrosecondsLength];
    return QString::fromLatin1(text, writeRfc3339(text, utcMs, offsetSeconds, microseconds) - text);
}
