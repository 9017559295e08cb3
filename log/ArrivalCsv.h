// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ARRIVALCSV_H
#define HARKLINE_ARRIVALCSV_H

class ArrivalRecord;
class QIODevice;

// Writes the record as CSV (RFC 4180: CR LF rows, UTF-8, one header line):
// time,sender,bytes,dropped_before,payload, the payload one character per byte. False when the
// device refused a write.
bool writeArrivalsCsv(const ArrivalRecord &record, QIODevice &out);

#endif // HARKLINE_ARRIVALCSV_H
