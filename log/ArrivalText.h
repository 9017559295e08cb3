// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ARRIVALTEXT_H
#define HARKLINE_ARRIVALTEXT_H

#include "ArrivalChunk.h"
#include "SyslogMessage.h"

#include <QString>

// The texts that tell a user about an arrival, beside the log text (never in it).

// A count in the English way of the rest of the program's texts: "1,234".
QString countText(quint64 n);
// ISO 8601 in local time, to the millisecond, with the offset from UTC:
// "2026-12-07T16:27:25.123+01:00".
QString isoLocalTime(qint64 timeNs);
// "16:27:25.123", for the margin.
QString marginTime(qint64 timeNs);
// "1,234 datagrams dropped by the system before this one"
QString droppedBeforeText(quint64 dropped);
// The short form of what is known about the datagram, one item a line: when, from whom, its size,
// its syslog priority, the host and program its message names ('message', when it was read),
// what was dropped before it, and the message on a few lines, cut short with "…".
QString arrivalDetails(const ArrivalEntry &entry, const SyslogMessage *message = nullptr);
// "vm sshd[812]": the host and program a syslog message names, as far as it names them.
QString hostAndProgram(const SyslogFields &fields);
// "sshd[812]"
QString programText(const SyslogFields &fields);

#endif // HARKLINE_ARRIVALTEXT_H
