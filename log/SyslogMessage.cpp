// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SyslogMessage.h"

#include "TimeStamps.h"

#include <QStringList>

#include <cstdlib>

namespace {

QString latin1(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.data(), bytes.size());
}

QString durationText(qint64 ms)
{
    qint64 seconds = ms / MsPerSecond;
    const qint64 days = seconds / SecondsPerDay;
    seconds %= SecondsPerDay;
    const qint64 hours = seconds / SecondsPerHour;
    seconds %= SecondsPerHour;
    const qint64 minutes = seconds / SecondsPerMinute;
    seconds %= SecondsPerMinute;
    QStringList parts;
    if (days > 0)
        parts << QStringLiteral("%1 d").arg(days);
    if (hours > 0)
        parts << QStringLiteral("%1 h").arg(hours);
    if (minutes > 0)
        parts << QStringLiteral("%1 min").arg(minutes);
    if (seconds > 0)
        parts << QStringLiteral("%1 s").arg(seconds);
    // The two largest units say enough.
    return parts.mid(0, 2).join(u' ');
}

} // namespace

SyslogMessage SyslogMessage::decode(QByteArrayView payload, qint64 arrivalNs)
{
    const SyslogFields fields = SyslogFields::read(payload, arrivalNs);
    SyslogMessage message;
    message.format = fields.format;
    message.problem = fields.problem;
    message.priority = fields.priority;
    message.version = fields.version;
    message.timestampText = latin1(fields.timestampText);
    if (fields.timestamp) {
        message.timestamp = QDateTime::fromMSecsSinceEpoch(
            fields.timestamp->utcMs, Qt::OffsetFromUTC, fields.timestamp->offsetSeconds);
        message.timestampMicroseconds = fields.timestamp->microseconds;
    }
    message.timeIsSet = fields.timeIsSet;
    message.hostname = latin1(fields.hostname);
    message.appName = latin1(fields.appName);
    message.procId = latin1(fields.procId);
    message.msgId = latin1(fields.msgId);
    for (const SyslogFields::Element &element : fields.structuredData) {
        Element &text = message.structuredData.emplaceBack();
        text.id = latin1(element.id);
        for (const SyslogFields::Parameter &parameter : element.parameters)
            text.parameters.append(
                { latin1(parameter.name), QString::fromUtf8(unescapedValue(parameter.value)) });
    }
    message.hasBom = fields.hasBom;
    message.messageOffset = fields.messageOffset;
    const QByteArrayView bytes = fields.messageBytes(payload);
    message.message = fields.isUtf8(payload) ? QString::fromUtf8(bytes) : latin1(bytes);
    return message;
}

QString clockDifferenceText(const SyslogMessage &message, qint64 arrivalNs)
{
    if (!message.timestamp)
        return {};
    const qint64 ms = message.timestamp->toMSecsSinceEpoch() - floorMs(arrivalNs);
    if (std::llabs(ms) < MsPerSecond)
        return QStringLiteral("sender's clock in step");
    return QStringLiteral("sender's clock %1 %2")
        .arg(durationText(std::llabs(ms)),
             ms < 0 ? QStringLiteral("behind") : QStringLiteral("ahead"));
}
