// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SyslogTime.h"

#include "TimeStamps.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

constexpr std::array<const char *, 12> Months { "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
constexpr int MillisecondDigits = 3;
constexpr int MicrosecondDigits = 6;
constexpr int MicrosecondsPerMs = 1000;
constexpr int LastHour = 23;
constexpr int LastMinute = 59;
constexpr int LastSecond = 60; // a leap second
constexpr qint64 HalfYearMs = 182 * MsPerDay;

// The year of a moment given as milliseconds since the epoch, in the zone it was shifted to.
qint64 yearOf(qint64 shiftedMs)
{
    qint64 days = shiftedMs / MsPerDay;
    if (shiftedMs % MsPerDay < 0)
        --days;
    return civilFromDays(days).year;
}

// Whether the proleptic Gregorian calendar has the date: unlike QDate's, it has a year 0, which
// RFC 3339 allows.
bool isCivilDate(int year, int month, int day)
{
    static constexpr std::array<int, 12> DaysInMonth { 31, 28, 31, 30, 31, 30,
                                                       31, 31, 30, 31, 30, 31 };
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month >= 1 && month <= 12 && day >= 1
        && day <= DaysInMonth[std::size_t(month - 1)] + (month == 2 && leap ? 1 : 0);
}

} // namespace

std::optional<SyslogFields::Time> rfc3339Time(QByteArrayView text)
{
    ByteReader reader(text);
    const int year = reader.digits(4);
    if (year < 0 || !reader.take('-'))
        return std::nullopt;
    const int month = reader.digits(2);
    if (!reader.take('-'))
        return std::nullopt;
    const int day = reader.digits(2);
    if (!(reader.take('T') || reader.take('t')))
        return std::nullopt;
    const int hour = reader.digits(2);
    if (!reader.take(':'))
        return std::nullopt;
    const int minute = reader.digits(2);
    if (!reader.take(':'))
        return std::nullopt;
    const int second = reader.digits(2);
    int ms = 0;
    int microseconds = -1;
    if (reader.take('.')) {
        int fraction = 0; // in microseconds
        int fractionDigits = 0;
        for (; isDigit(reader.peek()); ++fractionDigits) {
            if (fractionDigits < MicrosecondDigits)
                fraction = fraction * 10 + (reader.peek() - '0');
            reader.moveTo(reader.position() + 1);
        }
        if (fractionDigits == 0)
            return std::nullopt;
        for (int i = fractionDigits; i < MicrosecondDigits; ++i)
            fraction *= 10;
        ms = fraction / MicrosecondsPerMs;
        if (fractionDigits > MillisecondDigits)
            microseconds = fraction % MicrosecondsPerMs;
    }
    int offsetSeconds = 0;
    if (!(reader.take('Z') || reader.take('z'))) {
        const char sign = reader.peek();
        if (sign != '+' && sign != '-')
            return std::nullopt;
        reader.moveTo(reader.position() + 1);
        const int offsetHours = reader.digits(2);
        if (!reader.take(':'))
            return std::nullopt;
        const int offsetMinutes = reader.digits(2);
        if (offsetHours < 0 || offsetHours > LastHour || offsetMinutes < 0
            || offsetMinutes > LastMinute)
            return std::nullopt;
        offsetSeconds = (offsetHours * SecondsPerHour + offsetMinutes * SecondsPerMinute)
            * (sign == '-' ? -1 : 1);
    }
    if (!reader.atEnd() || !isCivilDate(year, month, day)
        || !QTime::isValid(hour, minute, second, ms))
        return std::nullopt;
    const qint64 localMs = daysFromCivil(year, month, day) * MsPerDay
        + (qint64(hour) * SecondsPerHour + qint64(minute) * SecondsPerMinute + second) * MsPerSecond
        + ms;
    return SyslogFields::Time { localMs - qint64(offsetSeconds) * MsPerSecond, offsetSeconds,
                                microseconds };
}

std::optional<SyslogFields::Time> bsdTime(ByteReader &reader, qint64 arrivalNs)
{
    const auto month = std::find_if(Months.begin(), Months.end(), [&](const char *name) {
        return reader.peek() == name[0] && reader.peek(1) == name[1] && reader.peek(2) == name[2];
    });
    if (month == Months.end() || reader.peek(3) != ' ')
        return std::nullopt;
    const qsizetype start = reader.position();
    reader.moveTo(start + 4);
    reader.take(' '); // a day below 10, padded with a space
    int day = reader.digits(2);
    if (day < 0)
        day = reader.digits(1);
    std::optional<int> year;
    if (day < 0 || !reader.take(' ')) {
        reader.moveTo(start);
        return std::nullopt;
    }
    if (isDigit(reader.peek()) && isDigit(reader.peek(3)) && reader.peek(4) == ' ') {
        const int digits = reader.digits(4);
        if (digits < 0) {
            reader.moveTo(start);
            return std::nullopt;
        }
        year = digits;
        reader.take(' ');
    }
    const int hour = reader.digits(2);
    const bool colons = reader.take(':');
    const int minute = reader.digits(2);
    const bool colon = reader.take(':');
    const int second = reader.digits(2);
    if (hour < 0 || !colons || minute < 0 || !colon || second < 0) {
        reader.moveTo(start);
        return std::nullopt;
    }
    int ms = 0;
    if (reader.peek() == '.' && isDigit(reader.peek(1))) {
        reader.take('.');
        int fractionDigits = 0;
        for (; isDigit(reader.peek()); ++fractionDigits) {
            if (fractionDigits < 3)
                ms = ms * 10 + (reader.peek() - '0');
            reader.moveTo(reader.position() + 1);
        }
        for (int i = fractionDigits; i < 3; ++i)
            ms *= 10;
    }
    const int monthNumber = int(month - Months.begin()) + 1;
    if (hour > LastHour || minute > LastMinute || second > LastSecond) {
        reader.moveTo(start);
        return std::nullopt;
    }
    // The time as the receiver's clock would read it, in the year nearest the arrival, placed
    // with the receiver's offset from UTC at that time: across a change to or from daylight
    // saving time, the arrival's offset would put it an hour out.
    const qint64 arrivalMs = floorMs(arrivalNs);
    const int offset = localOffsetSeconds(arrivalMs);
    const qint64 msOfDay =
        (qint64(hour) * SecondsPerHour + qint64(minute) * SecondsPerMinute + second) * MsPerSecond
        + ms;
    const auto utcMs = [&](int candidate) {
        const qint64 localMs =
            daysFromCivil(candidate, monthNumber, day) * SecondsPerDay * MsPerSecond + msOfDay;
        const qint64 near = localMs - qint64(offset) * MsPerSecond;
        return localMs - qint64(localOffsetSeconds(near)) * MsPerSecond;
    };
    std::optional<qint64> nearest;
    const auto consider = [&](int candidate) {
        if ((year && candidate != *year) || !isCivilDate(candidate, monthNumber, day))
            return;
        const qint64 candidateMs = utcMs(candidate);
        if (!nearest || std::llabs(candidateMs - arrivalMs) < std::llabs(*nearest - arrivalMs))
            nearest = candidateMs;
    };
    // The same date a year before or after is at least 365 days away from this one: when this
    // one is within half a year of the arrival, neither can be nearer.
    const int arrivalYear = int(yearOf(arrivalMs + qint64(offset) * MsPerSecond));
    consider(arrivalYear);
    if (!nearest || std::llabs(*nearest - arrivalMs) > HalfYearMs) {
        consider(arrivalYear - 1);
        consider(arrivalYear + 1);
    }
    if (year && !nearest && isCivilDate(*year, monthNumber, day))
        nearest = utcMs(*year);
    if (!nearest) {
        reader.moveTo(start);
        return std::nullopt;
    }
    return SyslogFields::Time { *nearest, localOffsetSeconds(*nearest) };
}
