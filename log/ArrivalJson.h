// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ARRIVALJSON_H
#define HARKLINE_ARRIVALJSON_H

#include "ArrivalChunk.h"

#include <QByteArrayView>
#include <QString>

class ArrivalSnapshot;
class QIODevice;
class SaveProgress;

// Arrivals as JSON Lines, one object a datagram, for the tools logs go to next:
// {"time":"2026-12-08T19:45:39.123+01:00","sender":"192.0.2.7:514","bytes":42,
//  "dropped_before":0,"payload":"...","syslog":{...}}
// The payload is a JSON string of one character per byte, U+0000 to U+00FF: encoded as Latin-1 it
// gives the exact bytes back. "syslog" is there when the payload begins with a priority: "format"
// ("rfc5424", "rfc3164") when the rest reads, "facility" and "severity" as syslog's configuration
// names them, and each of "timestamp", "hostname", "app", "procid", "msgid", "structured_data"
// (element id to parameter to value) and "msg" that the message carries; "msg" is UTF-8 after a
// BOM, otherwise one character per byte like the payload.

// One datagram's line, without its line end.
QString arrivalJson(const ArrivalEntry &entry, QByteArrayView payload);
// Every datagram in 'arrivals', one line each, counted in 'progress'. False when it stopped:
// cancelled, the device refused a write, or the record could not be read, which it says in
// 'readError'.
bool writeArrivalsJsonLines(const ArrivalSnapshot &arrivals, QIODevice &out, SaveProgress &progress,
                            QString *readError);

#endif // HARKLINE_ARRIVALJSON_H
