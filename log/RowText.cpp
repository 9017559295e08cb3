// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RowText.h"

#include "ArrivalText.h"
#include "SyslogMessage.h"
#include "TimeStamps.h"

#include <QDateTime>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr char16_t Delete = 0x7F;
constexpr char16_t FirstC1 = 0x80;
constexpr char16_t LastC1 = 0x9F;
const char HexDigits[] = "0123456789abcdef";
// The characters escaped by a letter (or themselves), as in C; the rest as \xhh.
constexpr std::array<std::pair<char16_t, char16_t>, 6> NamedEscapes { {
    { u'\\', u'\\' },
    { u'\0', u'0' },
    { u'\t', u't' },
    { u'\n', u'n' },
    { u'\r', u'r' },
    { 0x1B, u'e' },
} };

} // namespace

QString escapedText(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || u == Delete || (u >= FirstC1 && u <= LastC1);
        if (!control && u != u'\\') {
            out += c;
            continue;
        }
        out += u'\\';
        const auto named = std::find_if(NamedEscapes.begin(), NamedEscapes.end(),
                                        [&](const auto &escape) { return escape.first == u; });
        if (named != NamedEscapes.end()) {
            out += named->second;
        } else {
            out += u'x';
            out += QLatin1Char(HexDigits[(u >> 4) & 0xF]);
            out += QLatin1Char(HexDigits[u & 0xF]);
        }
    }
    return out;
}

QString oneLineText(QByteArrayView bytes)
{
    static const QByteArrayView Bom("\xEF\xBB\xBF");
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QByteArrayView text = bytes.startsWith(Bom) ? bytes.sliced(Bom.size()) : bytes;
    const QString decoded = utf8(text);
    return escapedText(utf8.hasError() ? QString::fromLatin1(bytes) : decoded);
}

RowText RowText::of(const ArrivalEntry &entry, QByteArrayView payload)
{
    RowText row;
    const Arrival &arrival = entry.arrival;
    const qint64 ms = floorMs(arrival.timeNs);
    row.texts[Time] =
        QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    row.texts[Sender] = arrival.senderText();
    row.texts[Size] = countText(quint64(entry.bytes));
    if (arrival.droppedBefore > 0)
        row.texts[DroppedBefore] = countText(arrival.droppedBefore);
    row.texts[Payload] = escapedText(QString::fromLatin1(payload));
    row.priority = entry.priority;
    const SyslogMessage message = SyslogMessage::decode(payload, arrival.timeNs);
    const SyslogFields &fields = message.fields;
    if (!fields.priority) {
        row.texts[Message] = oneLineText(payload);
        return row;
    }
    row.texts[Severity] = fields.priority->severityKeyword();
    row.texts[Facility] = fields.priority->facilityKeyword();
    row.texts[Host] = escapedText(fieldText(fields.hostname));
    row.texts[App] = escapedText(programText(fields));
    row.texts[MessageId] = escapedText(fieldText(fields.msgId));
    if (message.timestamp)
        row.texts[SenderTime] = message.timestamp->toString(Qt::ISODateWithMs);
    else
        row.texts[SenderTime] = escapedText(fieldText(fields.timestampText));
    row.texts[ClockDifference] = clockDifferenceText(message, arrival.timeNs);
    const QByteArrayView bytes = fields.messageOffset >= 0
        ? payload.sliced(fields.messageOffset)
        : (fields.isSyslog() ? QByteArrayView() : payload);
    row.texts[Message] = oneLineText(bytes);
    return row;
}

QString RowText::columnName(int column)
{
    static const std::array<const char *, Columns> Names {
        "Time",    "Sender",         "Host",       "App",           "Severity",
        "Message", "Facility",       "Message id", "Sender's time", "Clock difference",
        "Size",    "Dropped before", "Payload",
    };
    return QString::fromLatin1(Names[std::size_t(column)]);
}
