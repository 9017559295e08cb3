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

// A datagram read as syslog (see SyslogFields for the forms), its fields as text: for the
// details, the tooltip and the margin, which show one datagram at a time.
struct SyslogMessage
{
    using Format = SyslogFields::Format;

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
    int timestampMicroseconds = -1; // past its millisecond, where the sender wrote them
    bool timeIsSet = true; // false where a device marks its clock as not set ("*")
    QString hostname;
    QString appName;
    QString procId;
    QString msgId;
    QList<Element> structuredData;
    bool hasBom = false;
    // Where the message begins in the payload (at its BOM, if it has one), or -1; and the message
    // itself: UTF-8 after a BOM, otherwise one character per byte, as the payload holds it.
    qsizetype messageOffset = -1;
    QString message;

    bool isSyslog() const { return format != Format::NotSyslog; }
    // "rfc5424", "rfc3164"
    QString formatName() const { return SyslogFields::formatName(format); }

    // 'arrivalNs' (nanoseconds since the epoch) places a time that has no year in one.
    static SyslogMessage decode(QByteArrayView payload, qint64 arrivalNs);
};

// "sender's clock 3 min 12 s behind", "... ahead", "... in step": where the sender's time stamp
// stands against the arrival time; empty when the message gives no full time.
QString clockDifferenceText(const SyslogMessage &message, qint64 arrivalNs);

#endif // HARKLINE_SYSLOGMESSAGE_H
