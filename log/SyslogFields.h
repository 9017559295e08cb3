// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SYSLOGFIELDS_H
#define HARKLINE_SYSLOGFIELDS_H

#include "SyslogPriority.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// A datagram read as syslog: which form it has, where each field it carries lies in the payload,
// and what its priority and time stamp mean. Nothing is copied, so that a save can read millions
// of them; the views point into the payload and are valid while it is. Forms:
// - RFC 5424: "<PRI>1 TIMESTAMP HOSTNAME APP-NAME PROCID MSGID STRUCTURED-DATA MSG", "-" for a
//   field the sender left out.
// - RFC 3164 as senders write it: "<PRI>Mmm dd hh:mm:ss HOSTNAME TAG[PID]: MSG", with a year or
//   an RFC 3339 time in the time's place, the host or the time left out, and network devices'
//   "<PRI>seq: *Mmm dd hh:mm:ss.mmm: %FACILITY-SEVERITY-MNEMONIC: MSG".
// - either after an octet count, "123 <34>1 ...", as some senders put it on UDP too.
// Anything else is not syslog; where it began with a priority, the priority and the reason the
// rest did not read are kept.
struct SyslogFields
{
    enum class Format { NotSyslog, Rfc3164, Rfc5424 };

    struct Parameter
    {
        QByteArrayView name;
        QByteArrayView value; // between its quotes, escapes as written
    };
    struct Element
    {
        QByteArrayView id;
        QList<Parameter> parameters;
    };
    struct Time
    {
        qint64 utcMs = 0;
        int offsetSeconds = 0;
        // The microseconds past the millisecond (0 to 999) where the sender wrote more than three
        // digits of a second's fraction, or -1.
        int microseconds = -1;
    };

    Format format = Format::NotSyslog;
    // Why the payload, or its end, did not read as syslog; empty when all of it did.
    QString problem;
    std::optional<SyslogPriority> priority;
    std::optional<int> version; // RFC 5424's
    QByteArrayView timestampText; // as the sender wrote it
    // The time it means, where the text says it fully; a time without a date's year or a zone
    // (RFC 3164's) is placed in the receiver's zone, in the year nearest to the arrival.
    std::optional<Time> timestamp;
    bool timeIsSet = true; // false where a device marks its clock as not set ("*")
    // Empty where the message does not carry them ("-" in RFC 5424).
    QByteArrayView hostname;
    QByteArrayView appName;
    QByteArrayView procId;
    QByteArrayView msgId;
    QList<Element> structuredData;
    bool hasBom = false;
    // Where the message begins in the payload (at its BOM, if it has one), or -1.
    qsizetype messageOffset = -1;
    // How many bytes at the payload's end are not part of the message: a NUL or a line end.
    qsizetype messageTrailer = 0;

    bool isSyslog() const { return format != Format::NotSyslog; }
    // The message's bytes in 'payload', the BOM left out.
    QByteArrayView messageBytes(QByteArrayView payload) const;
    // Whether the message reads as UTF-8: after a BOM, or where its bytes are valid UTF-8, as
    // most senders write it without one. Otherwise it is one character per byte.
    bool isUtf8(QByteArrayView payload) const
    {
        return hasBom || messageBytes(payload).isValidUtf8();
    }
    // "rfc5424", "rfc3164"; empty for NotSyslog
    static QLatin1String formatName(Format format);

    // 'arrivalNs' (nanoseconds since the epoch) places a time that has no year in one.
    static SyslogFields read(QByteArrayView payload, qint64 arrivalNs);
};

// A parameter value with RFC 5424's escapes undone: a backslash before '"', '\' or ']' stands for
// that character, and any other backslash is itself. UTF-8, as the sender wrote it.
QByteArray unescapedValue(QByteArrayView value);

#endif // HARKLINE_SYSLOGFIELDS_H
