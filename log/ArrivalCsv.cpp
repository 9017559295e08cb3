// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalCsv.h"

#include "ArrivalSnapshot.h"
#include "ArrivalText.h"
#include "SaveFile.h"
#include "SaveProgress.h"

#include <QIODevice>

#include <algorithm>

namespace {

// Rows are gathered up to about this many characters before they are written.
constexpr qsizetype WriteStep = qsizetype(256) * 1024;

// RFC 4180: a field holding a comma, a double quote, CR or LF is quoted, its quotes doubled.
void appendField(QString &row, QStringView field)
{
    const bool quote = std::any_of(field.begin(), field.end(), [](QChar c) {
        return c == u',' || c == u'"' || c == u'\r' || c == u'\n';
    });
    if (!quote) {
        row += field;
        return;
    }
    row += u'"';
    for (const QChar c : field) {
        if (c == u'"')
            row += u'"';
        row += c;
    }
    row += u'"';
}

} // namespace

bool writeArrivalsCsv(const ArrivalSnapshot &arrivals, QIODevice &out, SaveProgress &progress,
                      QString *readError)
{
    if (!writeAll(out, "time,sender,bytes,dropped_before,payload\r\n"))
        return false;
    QString rows;
    const ArrivalSnapshot::Read read = arrivals.forEach(
        [&](const ArrivalEntry &entry, QByteArrayView payload) {
            rows += isoLocalTime(entry.arrival.timeNs);
            rows += u',';
            rows += entry.arrival.senderText();
            rows += u',';
            rows += QString::number(entry.bytes);
            rows += u',';
            rows += QString::number(entry.arrival.droppedBefore);
            rows += u',';
            appendField(rows, QString::fromLatin1(payload));
            rows += QLatin1String("\r\n");
            if (!progress.add(1))
                return false;
            if (rows.size() < WriteStep)
                return true;
            const bool written = writeAll(out, rows.toUtf8());
            rows.resize(0);
            return written;
        },
        readError);
    return read == ArrivalSnapshot::Read::Done && writeAll(out, rows.toUtf8());
}
