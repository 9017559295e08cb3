// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ROWTEXT_H
#define HARKLINE_ROWTEXT_H

#include "ArrivalChunk.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

// What the Log View shows of a datagram, a row of text in columns, each on one line: a row is a
// datagram.
struct RowText
{
    enum Column {
        Time, // when it arrived, local time to the millisecond
        Sender, // address and port
        Host,
        App, // app[procid]
        Severity,
        Message, // the syslog message, or the whole payload when it is not syslog
        Facility,
        MessageId,
        SenderTime, // the time stamp the sender wrote
        ClockDifference,
        Size,
        DroppedBefore,
        Payload,
        Columns,
    };
    static constexpr int FirstHidden = Facility; // the columns before it show from the start

    std::array<QString, Columns> texts;
    std::optional<SyslogPriority> priority;

    static RowText of(const ArrivalEntry &entry, QByteArrayView payload);
    static QString columnName(int column);
};

// Text as one line: control characters, line breaks among them, as escapes ("\n", "\x1b"), and a
// backslash doubled, so that each character can be told from the rest.
QString escapedText(QStringView text);
// Bytes as one line of text: UTF-8 where they are valid UTF-8 (a BOM left out), otherwise one
// character per byte; control characters, line breaks among them, as escapes ("\n", "\x1b"), and a
// backslash doubled, so that each byte can be told from the rest.
QString oneLineText(QByteArrayView bytes);

#endif // HARKLINE_ROWTEXT_H
