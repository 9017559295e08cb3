// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ARRIVALCSV_H
#define HARKLINE_ARRIVALCSV_H

#include <QString>

class ArrivalSnapshot;
class QIODevice;
class SaveProgress;

// Writes the arrivals as CSV (RFC 4180: CR LF rows, UTF-8, one header line):
// time,sender,bytes,dropped_before,payload, the payload one character per byte. Counts each row
// in 'progress'. False when it stopped: cancelled, the device refused a write, or the record could
// not be read, which it says in 'readError'.
bool writeArrivalsCsv(const ArrivalSnapshot &arrivals, QIODevice &out, SaveProgress &progress,
                      QString *readError);

#endif // HARKLINE_ARRIVALCSV_H
