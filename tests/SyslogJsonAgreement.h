// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SYSLOGJSONAGREEMENT_H
#define HARKLINE_SYSLOGJSONAGREEMENT_H

#include "SyslogMessage.h"
#include "TimeStamps.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <utility>

// A datagram's JSON line and its details read the payload by two roads: the export writes the
// fields straight from the payload's bytes, the details make text of them. Empty when the line's
// "syslog" says what 'message' says (JSON leaves out what is empty, and a repeated name keeps its
// last value, as Qt's reader does); otherwise what differs.
inline QString syslogJsonDisagreement(const QJsonObject &line, const SyslogMessage &message)
{
    const SyslogFields &fields = message.fields;
    if (!fields.priority)
        return line.contains(QLatin1String("syslog")) ? QStringLiteral("syslog without a priority")
                                                      : QString();
    const QJsonObject syslog = line.value(QLatin1String("syslog")).toObject();
    QJsonObject expected;
    const std::pair<QString, QString> expectedFields[] = {
        { "format", SyslogFields::formatName(fields.format) },
        { "facility", fields.priority->facilityKeyword() },
        { "severity", fields.priority->severityKeyword() },
        { "timestamp",
          message.timestamp
              ? rfc3339Text(message.timestamp->toMSecsSinceEpoch(),
                            message.timestamp->offsetFromUtc(), fields.timestamp->microseconds)
              : QString() },
        { "hostname", fieldText(fields.hostname) },
        { "app", fieldText(fields.appName) },
        { "procid", fieldText(fields.procId) },
        { "msgid", fieldText(fields.msgId) },
        { "msg", message.message },
        { "problem", fields.problem },
    };
    for (const auto &[name, value] : expectedFields) {
        if (!value.isEmpty())
            expected.insert(name, value);
    }
    // Elements of one id in one object; a repeated name's values in an array, in order.
    QJsonObject elements;
    for (const SyslogFields::Element &element : fields.structuredData) {
        QJsonObject parameters = elements.value(fieldText(element.id)).toObject();
        for (const SyslogFields::Parameter &parameter : element.parameters) {
            const QString name = fieldText(parameter.name);
            const QJsonValue before = parameters.value(name);
            if (before.isUndefined()) {
                parameters.insert(name, valueText(parameter.value));
            } else {
                QJsonArray values = before.isArray() ? before.toArray() : QJsonArray { before };
                values.append(valueText(parameter.value));
                parameters.insert(name, values);
            }
        }
        elements.insert(fieldText(element.id), parameters);
    }
    if (!elements.isEmpty())
        expected.insert(QStringLiteral("structured_data"), elements);
    for (auto it = syslog.begin(); it != syslog.end(); ++it) {
        if (!expected.contains(it.key()))
            return QStringLiteral("\"%1\" is there but the details have none").arg(it.key());
    }
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (syslog.value(it.key()) != it.value())
            return QStringLiteral("\"%1\" differs from the details").arg(it.key());
    }
    return {};
}

#endif // HARKLINE_SYSLOGJSONAGREEMENT_H
