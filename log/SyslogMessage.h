// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SYSLOGMESSAGE_H
#define HARKLINE_SYSLOGMESSAGE_H

#include "SyslogFields.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// A datagram read as syslog (see SyslogFields for the forms), for the details, the tooltip and the
// margin, which show one datagram at a time: it holds its payload, so that the fields' views stay
// valid, and what takes more than a view to show.
struct SyslogMessage
{
    QByteArray payload;
    SyslogFields fields; // views into 'payload'
    // The time stamp in its own offset, where the text says it fully (see SyslogFields).
    std::optional<QDateTime> timestamp;
    // UTF-8 where SyslogFields::isUtf8 says so, otherwise one character per byte.
    QString message;

    // 'arrivalNs' (nanoseconds since the epoch) places a time that has no year in one.
    static SyslogMessage decode(QByteArrayView payload, qint64 arrivalNs);
};

// A header field or a structured-data id or name as text: one character per byte, as the log
// shows the payload.
inline QString fieldText(QByteArrayView field)
{
    return QString::fromLatin1(field.data(), field.size());
}
// A structured-data value as text: UTF-8 with its escapes undone.
QString valueText(QByteArrayView value);

// "sender's clock 3 min 12 s behind", "... ahead", "... in step": where the sender's time stamp
// stands against the arrival time; empty when the message gives no full time.
QString clockDifferenceText(const SyslogMessage &message, qint64 arrivalNs);

#endif // HARKLINE_SYSLOGMESSAGE_H
