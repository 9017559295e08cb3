// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SYSLOGMESSAGE_H
#define HARKLINE_SYSLOGMESSAGE_H

#include "SyslogPriority.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// A datagram read as syslog: which form it has and every field it carries. It never changes the
// payload; each field is what the payload says there, or absent. Forms:
// - RFC 5424: "<PRI>1 TIMESTAMP HOSTNAME APP-NAME PROCID MSGID STRUCTURED-DATA MSG", "-" for a
//   field the sender left out.
// - RFC 3164 as senders write it: "<PRI>Mmm dd hh:mm:ss HOSTNAME TAG[PID]: MSG", with a year or
//   an RFC 3339 time in the time's place, the host or the time left out, and network devices'
//   "<PRI>seq: *Mmm dd hh:mm:ss.mmm: %FACILITY-SEVERITY-MNEMONIC: MSG".
// - either after an octet count, "123 <34>1 ...", as some senders put it on UDP too.
// Anything else is not syslog; where it began with a priority, the priority and the reason the
// rest did not read are kept.
struct SyslogMessage
{
    enum class Format { NotSyslog, Rfc3164, Rfc5424 };

    struct Parameter
    {
        QString name;
        QString value; // escapes undone
    };
    struct Element
    {
        QString id;
        QList<Parameter> parameters;
    };

    Format format = Format::NotSyslog;
    // Why the payload, or its end, did not read as syslog; empty when all of it did.
    QString problem;
    std::optional<SyslogPriority> priority;
    std::optional<int> version; // RFC 5424's
    QString timestampText; // as the sender wrote it
    // The time it means, where the text says it fully; a time without a date's year or a zone
    // (RFC 3164's) is placed in the receiver's zone, in the year nearest to 'arrivalNs'.
    std::optional<QDateTime> timestamp;
    bool timeIsSet = true; // false where a device marks its clock as not set ("*")
    QString hostname;
    QString appName;
    QString procId;
    QString msgId;
    QList<Element> structuredData;
    bool hasBom = false;
    // Where the message begins in the payload, or -1; and the message itself: UTF-8 after a BOM,
    // otherwise one character per byte, as the payload holds it.
    qsizetype messageOffset = -1;
    QString message;

    bool isSyslog() const { return format != Format::NotSyslog; }
    // "rfc5424", "rfc3164"
    QString formatName() const;

    // 'arrivalNs' (nanoseconds since the epoch) places a time that has no year in one.
    static SyslogMessage decode(QByteArrayView payload, qint64 arrivalNs);
};

// "sender's clock 3 min 12 s behind", "... ahead", "... in step": where the sender's time stamp
// stands against the arrival time; empty when the message gives no full time.
QString clockDifferenceText(const SyslogMessage &message, qint64 arrivalNs);

#endif // HARKLINE_SYSLOGMESSAGE_H
