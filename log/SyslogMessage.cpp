// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SyslogMessage.h"

#include "TimeStamps.h"

#include <QStringList>

#include <cstdlib>

namespace {

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
    SyslogMessage message;
    message.payload = payload.toByteArray();
    message.fields = SyslogFields::read(message.payload, arrivalNs);
    const SyslogFields &fields = message.fields;
    if (fields.timestamp) {
        message.timestamp = QDateTime::fromMSecsSinceEpoch(
            fields.timestamp->utcMs, Qt::OffsetFromUTC, fields.timestamp->offsetSeconds);
    }
    const QByteArrayView bytes = fields.messageBytes(message.payload);
    message.message = fields.isUtf8(message.payload) ? QString::fromUtf8(bytes) : fieldText(bytes);
    return message;
}

QString valueText(QByteArrayView value)
{
    return QString::fromUtf8(unescapedValue(value));
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
