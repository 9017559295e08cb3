// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Any datagram read as syslog: the decoder never reads past the payload, the datagram's JSON
// line is JSON that gives the very same payload back and says what its details say, and its
// details and hex dump are made without fault (the sanitizers watch them).

#include "../SyslogJsonAgreement.h"
#include "ArrivalJson.h"
#include "ArrivalText.h"
#include "HexDump.h"
#include "SyslogMessage.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 65507) // the largest IPv4 payload
        return 0;
    const QByteArray payload(reinterpret_cast<const char *>(data), qsizetype(size));
    const SyslogMessage message = SyslogMessage::decode(payload, 0);
    const SyslogFields &fields = message.fields;
    if (fields.messageOffset > payload.size() || (fields.isSyslog() && !fields.priority))
        std::abort();

    ArrivalEntry entry;
    entry.bytes = qint32(size);
    QJsonParseError error {};
    const QJsonDocument line =
        QJsonDocument::fromJson(arrivalJson(entry, payload).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError
        || line.object().value(QStringLiteral("payload")).toString().toLatin1() != payload
        || !syslogJsonDisagreement(line.object(), message).isEmpty())
        std::abort();
    // One row of the dump per 16 bytes.
    if (hexDump(payload).count(u'\n') != (qsizetype(size) + 15) / 16)
        std::abort();
    if (arrivalDetails(entry, &message).isEmpty())
        std::abort();
    return 0;
}
