// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SYSLOGTIME_H
#define HARKLINE_SYSLOGTIME_H

#include "ByteReader.h"
#include "SyslogFields.h"

#include <optional>

// The time grammars of syslog messages, and where a time without a year or a zone is placed.

// An RFC 3339 time, the whole of 'text': "2026-12-08T19:45:39.267317+00:00", or with "Z"; to the
// microsecond. Dates are checked against the proleptic Gregorian calendar, year 0 included.
std::optional<SyslogFields::Time> rfc3339Time(QByteArrayView text);

// "Mmm dd hh:mm:ss", "Mmm dd yyyy hh:mm:ss", each with a fraction or not, at 'reader': RFC 3164's
// time and devices' forms of it. A time without a year goes in the year that puts it nearest the
// arrival ('arrivalNs', nanoseconds since the epoch), in this machine's zone with its offset at
// that time. The reader is left after it, or where it was when there is none.
std::optional<SyslogFields::Time> bsdTime(ByteReader &reader, qint64 arrivalNs);

#endif // HARKLINE_SYSLOGTIME_H
