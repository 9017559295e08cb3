// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalJson.h"

#include "ArrivalText.h"
#include "SaveFile.h"
#include "SyslogMessage.h"

#include <QIODevice>

#include <charconv>
#include <cstring>
#include <iterator>
#include <limits>

namespace {

// Lines are gathered up to about this many bytes before they are written.
constexpr qsizetype WriteStep = qsizetype(256) * 1024;
constexpr char16_t FirstPrintable = 0x20;
// The most bytes one UTF-16 unit becomes: "\u001f", or three bytes of UTF-8.
constexpr qsizetype MostBytesPerUnit = 6;
constexpr char16_t FirstTwoByte = 0x80;
constexpr char16_t FirstThreeByte = 0x800;
const char HexDigits[] = "0123456789abcdef";

// JSON text is written straight into UTF-8, a character at a time: building it through QString
// took several times as long as the CSV export.
class JsonWriter
{
public:
    explicit JsonWriter(QByteArray &out)
        : m_out(out)
    { }

    // Not QByteArray's append, which takes its general insert path for every small piece.
    void raw(QByteArrayView text)
    {
        const qsizetype start = m_out.size();
        m_out.resize(start + text.size());
        std::memcpy(m_out.data() + start, text.data(), std::size_t(text.size()));
    }

    // A JSON string of text, UTF-8, quotes, backslashes and control characters escaped.
    void string(QStringView text)
    {
        const qsizetype start = m_out.size();
        m_out.resize(start + 2 + text.size() * MostBytesPerUnit);
        char *at = m_out.data() + start;
        *at++ = '"';
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c < FirstTwoByte) {
                at = ascii(at, char(c));
            } else if (c < FirstThreeByte) {
                *at++ = char(0xC0 | (c >> 6));
                *at++ = char(0x80 | (c & 0x3F));
            } else if (QChar::isHighSurrogate(c) && i + 1 < text.size()
                       && text[i + 1].isLowSurrogate()) {
                const char32_t u = QChar::surrogateToUcs4(c, text[++i].unicode());
                *at++ = char(0xF0 | (u >> 18));
                *at++ = char(0x80 | ((u >> 12) & 0x3F));
                *at++ = char(0x80 | ((u >> 6) & 0x3F));
                *at++ = char(0x80 | (u & 0x3F));
            } else {
                const char16_t unit =
                    QChar::isSurrogate(c) ? char16_t(QChar::ReplacementCharacter) : c;
                *at++ = char(0xE0 | (unit >> 12));
                *at++ = char(0x80 | ((unit >> 6) & 0x3F));
                *at++ = char(0x80 | (unit & 0x3F));
            }
        }
        *at++ = '"';
        m_out.resize(at - m_out.data());
    }

    // The same for bytes that stand for the characters U+0000 to U+00FF.
    void latin1String(QByteArrayView bytes)
    {
        const qsizetype start = m_out.size();
        m_out.resize(start + 2 + bytes.size() * MostBytesPerUnit);
        char *at = m_out.data() + start;
        *at++ = '"';
        for (const char byte : bytes) {
            const auto c = uchar(byte);
            if (c < FirstTwoByte) {
                at = ascii(at, char(c));
            } else {
                *at++ = char(0xC0 | (c >> 6));
                *at++ = char(0x80 | (c & 0x3F));
            }
        }
        *at++ = '"';
        m_out.resize(at - m_out.data());
    }

    void member(QByteArrayView name, QStringView value, bool first = false)
    {
        memberName(name, first);
        string(value);
    }

    // A member whose value needs no escaping.
    void keyword(QByteArrayView name, QLatin1String value, bool first)
    {
        memberName(name, first);
        raw("\"");
        raw(QByteArrayView(value.data(), value.size()));
        raw("\"");
    }

    void number(QByteArrayView name, qint64 value)
    {
        memberName(name, false);
        char digits[std::numeric_limits<qint64>::digits10 + 2];
        const std::to_chars_result written = std::to_chars(digits, std::end(digits), value);
        raw(QByteArrayView(digits, written.ptr - digits));
    }

    void memberName(QByteArrayView name, bool first)
    {
        raw(first ? "\"" : ",\"");
        raw(name);
        raw("\":");
    }

private:
    static char *ascii(char *at, char c)
    {
        switch (c) {
        case '"':
        case '\\':
            *at++ = '\\';
            *at++ = c;
            return at;
        case '\n':
            *at++ = '\\';
            *at++ = 'n';
            return at;
        case '\r':
            *at++ = '\\';
            *at++ = 'r';
            return at;
        case '\t':
            *at++ = '\\';
            *at++ = 't';
            return at;
        default:
            break;
        }
        if (uchar(c) < FirstPrintable) {
            for (const char e : { '\\', 'u', '0', '0' })
                *at++ = e;
            *at++ = HexDigits[uchar(c) >> 4];
            *at++ = HexDigits[uchar(c) & 0xF];
            return at;
        }
        *at++ = c;
        return at;
    }

    QByteArray &m_out;
};

void writeSyslog(JsonWriter &json, const SyslogMessage &message, QByteArrayView payload)
{
    json.raw(",\"syslog\":{");
    bool first = true;
    if (message.isSyslog()) {
        json.member("format", message.formatName(), first);
        first = false;
    }
    json.keyword("facility", message.priority->facilityKeyword(), first);
    json.keyword("severity", message.priority->severityKeyword(), false);
    if (message.timestamp)
        json.member("timestamp", isoTime(*message.timestamp));
    const std::pair<QByteArrayView, const QString &> fields[] = {
        { "hostname", message.hostname },
        { "app", message.appName },
        { "procid", message.procId },
        { "msgid", message.msgId },
    };
    for (const auto &[name, value] : fields) {
        if (!value.isEmpty())
            json.member(name, value);
    }
    if (!message.structuredData.isEmpty()) {
        json.raw(",\"structured_data\":{");
        for (qsizetype i = 0; i < message.structuredData.size(); ++i) {
            const SyslogMessage::Element &element = message.structuredData.at(i);
            if (i > 0)
                json.raw(",");
            json.string(element.id);
            json.raw(":{");
            for (qsizetype j = 0; j < element.parameters.size(); ++j) {
                if (j > 0)
                    json.raw(",");
                json.string(element.parameters.at(j).name);
                json.raw(":");
                json.string(element.parameters.at(j).value);
            }
            json.raw("}");
        }
        json.raw("}");
    }
    if (message.messageOffset >= 0 && message.hasBom) {
        json.member("msg", message.message);
    } else if (message.messageOffset >= 0) {
        // One character per byte, as the payload holds it: written from the payload itself.
        json.memberName("msg", false);
        json.latin1String(payload.sliced(message.messageOffset));
    }
    json.raw("}");
}

void writeLine(QByteArray &out, const ArrivalRecord::Entry &entry, QByteArrayView payload)
{
    JsonWriter json(out);
    json.raw("{");
    json.member("time", isoLocalTime(entry.arrival.timeNs), true);
    json.member("sender", entry.arrival.senderText());
    json.number("bytes", entry.bytes);
    json.number("dropped_before", entry.arrival.droppedBefore);
    json.memberName("payload", false);
    json.latin1String(payload);
    const SyslogMessage message = SyslogMessage::decode(payload, entry.arrival.timeNs);
    if (message.priority)
        writeSyslog(json, message, payload);
    json.raw("}");
}

} // namespace

QString arrivalJson(const ArrivalRecord::Entry &entry, QByteArrayView payload)
{
    QByteArray line;
    writeLine(line, entry, payload);
    return QString::fromUtf8(line);
}

bool writeArrivalsJsonLines(const ArrivalRecord &record, QIODevice &out)
{
    QByteArray lines;
    const bool wrote =
        record.forEach([&](const ArrivalRecord::Entry &entry, QByteArrayView payload) {
            writeLine(lines, entry, payload);
            lines += '\n';
            if (lines.size() < WriteStep)
                return true;
            const bool written = writeAll(out, lines);
            lines.resize(0);
            return written;
        });
    return wrote && writeAll(out, lines);
}
