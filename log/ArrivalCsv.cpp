// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalCsv.h"

#include "ArrivalSnapshot.h"
#include "SaveFile.h"
#include "SaveProgress.h"
#include "TextBuffer.h"

#include <QIODevice>

#include <cstring>

namespace {

// RFC 4180: a field holding a comma, a double quote, CR or LF is quoted, its quotes doubled.
bool needsQuotes(QByteArrayView bytes)
{
    const char *from = bytes.data();
    const char *const end = from + bytes.size();
    for (; end - from >= qsizetype(sizeof(quint64)); from += sizeof(quint64)) {
        quint64 eight = 0;
        std::memcpy(&eight, from, sizeof(eight));
        if (TextBuffer::hasByte(eight, ',') | TextBuffer::hasByte(eight, '"')
            | TextBuffer::hasByte(eight, '\r') | TextBuffer::hasByte(eight, '\n'))
            return true;
    }
    for (; from != end; ++from) {
        if (*from == ',' || *from == '"' || *from == '\r' || *from == '\n')
            return true;
    }
    return false;
}

char *writeCharacter(char *at, uchar c)
{
    if (c >= TextBuffer::FirstTwoByte) {
        *at++ = char(0xC0 | (c >> 6));
        *at++ = char(0x80 | (c & 0x3F));
    } else {
        if (c == '"')
            *at++ = '"';
        *at++ = char(c);
    }
    return at;
}

// The payload, one character per byte, in UTF-8; plain ASCII without quotes copied eight bytes
// at a time.
void writeField(TextBuffer &out, QByteArrayView bytes)
{
    const bool quoted = needsQuotes(bytes);
    char *at = out.room(2 * bytes.size() + 2);
    if (quoted)
        *at++ = '"';
    const char *from = bytes.data();
    const char *const end = from + bytes.size();
    while (end - from >= qsizetype(sizeof(quint64))) {
        quint64 eight = 0;
        std::memcpy(&eight, from, sizeof(eight));
        if ((TextBuffer::hasHigh(eight) | TextBuffer::hasByte(eight, '"')) == 0) {
            std::memcpy(at, &eight, sizeof(eight));
            at += sizeof(eight);
            from += sizeof(eight);
            continue;
        }
        for (const char *const last = from + sizeof(eight); from != last; ++from)
            at = writeCharacter(at, uchar(*from));
    }
    for (; from != end; ++from)
        at = writeCharacter(at, uchar(*from));
    if (quoted)
        *at++ = '"';
    out.advance(at);
}

} // namespace

bool writeArrivalsCsv(const ArrivalSnapshot &arrivals, QIODevice &out, SaveProgress &progress,
                      QString *readError)
{
    if (!writeAll(out, "time,sender,bytes,dropped_before,payload\r\n"))
        return false;
    TextBuffer rows;
    const ArrivalSnapshot::Read read = arrivals.forEach(
        [&](const ArrivalEntry &entry, QByteArrayView payload) {
            rows.arrivalTime(entry.arrival.timeNs);
            rows.raw(",");
            rows.sender(entry.arrival);
            rows.raw(",");
            rows.number(entry.bytes);
            rows.raw(",");
            rows.number(entry.arrival.droppedBefore);
            rows.raw(",");
            writeField(rows, payload);
            rows.raw("\r\n");
            if (!progress.add(1))
                return false;
            if (rows.text().size() < TextBuffer::WriteStep)
                return true;
            const bool written = writeAll(out, rows.text());
            rows.clear();
            return written;
        },
        readError);
    return read == ArrivalSnapshot::Read::Done && writeAll(out, rows.text());
}
