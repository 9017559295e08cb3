// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalJson.h"

#include "ArrivalSnapshot.h"
#include "SaveFile.h"
#include "SaveProgress.h"
#include "SyslogFields.h"
#include "TextBuffer.h"
#include "TimeStamps.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>

namespace {

// The most bytes one character becomes: "\u001f", or three bytes of UTF-8.
constexpr qsizetype MostBytesPerUnit = 6;
constexpr quint64 FirstPrintable = 0x20;
constexpr char16_t FirstThreeByte = 0x800;
const char HexDigits[] = "0123456789abcdef";

// How JSON writes each ASCII character inside a string: 0 as itself, 'u' as "\u00XX", any other
// as a backslash and that letter.
constexpr std::array<char, TextBuffer::FirstTwoByte> Escapes = [] {
    std::array<char, TextBuffer::FirstTwoByte> escapes {};
    for (std::size_t c = 0; c < FirstPrintable; ++c)
        escapes[c] = 'u';
    escapes['\n'] = 'n';
    escapes['\r'] = 'r';
    escapes['\t'] = 't';
    escapes['"'] = '"';
    escapes['\\'] = '\\';
    return escapes;
}();

// JSON strings written straight into UTF-8.
class JsonWriter : public TextBuffer
{
public:
    void latin1String(QLatin1String text)
    {
        latin1String(QByteArrayView(text.data(), text.size()));
    }

    // A JSON string of bytes that stand for the characters U+0000 to U+00FF.
    void latin1String(QByteArrayView bytes)
    {
        char *at = room(2 + bytes.size() * MostBytesPerUnit);
        *at++ = '"';
        // Most bytes of a log are printable ASCII, copied eight at a time.
        const char *from = bytes.data();
        const char *const end = from + bytes.size();
        while (end - from >= qsizetype(sizeof(quint64))) {
            quint64 eight = 0;
            std::memcpy(&eight, from, sizeof(eight));
            if (allPlain(eight)) {
                std::memcpy(at, &eight, sizeof(eight));
                at += sizeof(eight);
                from += sizeof(eight);
                continue;
            }
            for (const char *const last = from + sizeof(eight); from != last; ++from)
                at = latin1Character(at, uchar(*from));
        }
        for (; from != end; ++from)
            at = latin1Character(at, uchar(*from));
        *at++ = '"';
        advance(at);
    }

    // A JSON string of UTF-8 as a sender wrote it, which may not be valid: read as QString reads
    // it, each fault a replacement character.
    void utf8String(QByteArrayView bytes)
    {
        if (std::all_of(bytes.begin(), bytes.end(),
                        [](char c) { return uchar(c) < TextBuffer::FirstTwoByte; }))
            latin1String(bytes);
        else
            string(QString::fromUtf8(bytes));
    }

    void string(QStringView text)
    {
        char *at = room(2 + text.size() * MostBytesPerUnit);
        *at++ = '"';
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c < TextBuffer::FirstTwoByte && Escapes[c] == 0) {
                *at++ = char(c);
            } else if (c < TextBuffer::FirstTwoByte) {
                at = escaped(at, uchar(c));
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
        advance(at);
    }

private:
    // Whether none of eight bytes is a control character, '"', '\\' or outside ASCII.
    static bool allPlain(quint64 eight)
    {
        return (hasLess(eight, FirstPrintable) | hasByte(eight, '"') | hasByte(eight, '\\')
                | hasHigh(eight))
            == 0;
    }

    static char *latin1Character(char *at, uchar c)
    {
        if (c >= TextBuffer::FirstTwoByte) {
            *at++ = char(0xC0 | (c >> 6));
            *at++ = char(0x80 | (c & 0x3F));
        } else if (Escapes[c] == 0) {
            *at++ = char(c);
        } else {
            at = escaped(at, c);
        }
        return at;
    }

    static char *escaped(char *at, uchar c)
    {
        *at++ = '\\';
        *at++ = Escapes[c];
        if (Escapes[c] == 'u') {
            for (const char e : { '0', '0', HexDigits[c >> 4], HexDigits[c & 0xF] })
                *at++ = e;
        }
        return at;
    }
};

// One object for each SD-ID, its elements merged where the id repeats, and a parameter's values
// as an array where its name repeats: a JSON reader keeps one value of a repeated key, so that a
// sender could otherwise hide a parameter behind another.
void writeStructuredData(JsonWriter &json, const QList<SyslogFields::Element> &elements)
{
    json.raw(",\"structured_data\":{");
    for (auto element = elements.begin(); element != elements.end(); ++element) {
        const auto sameId = [&](const SyslogFields::Element &other) {
            return other.id == element->id;
        };
        if (std::any_of(elements.begin(), element, sameId))
            continue; // written with the first of its id
        std::vector<const SyslogFields::Parameter *> parameters;
        for (auto same = element; same != elements.end(); ++same) {
            if (sameId(*same)) {
                std::transform(same->parameters.begin(), same->parameters.end(),
                               std::back_inserter(parameters),
                               [](const SyslogFields::Parameter &parameter) { return &parameter; });
            }
        }
        if (element != elements.begin())
            json.raw(",");
        json.latin1String(element->id);
        json.raw(":{");
        bool firstName = true;
        for (auto parameter = parameters.begin(); parameter != parameters.end(); ++parameter) {
            const auto sameName = [&](const SyslogFields::Parameter *other) {
                return other->name == (*parameter)->name;
            };
            if (std::any_of(parameters.begin(), parameter, sameName))
                continue;
            if (!firstName)
                json.raw(",");
            firstName = false;
            json.latin1String((*parameter)->name);
            json.raw(":");
            const bool repeated = std::count_if(parameter, parameters.end(), sameName) > 1;
            if (repeated)
                json.raw("[");
            for (auto same = parameter; same != parameters.end(); ++same) {
                if (!sameName(*same))
                    continue;
                if (same != parameter)
                    json.raw(",");
                json.utf8String(unescapedValue((*same)->value));
            }
            if (repeated)
                json.raw("]");
        }
        json.raw("}");
    }
    json.raw("}");
}

void writeSyslog(JsonWriter &json, const SyslogFields &message, QByteArrayView payload)
{
    json.raw(",\"syslog\":{");
    if (message.isSyslog()) {
        json.raw("\"format\":");
        json.latin1String(SyslogFields::formatName(message.format));
        json.raw(",");
    }
    json.raw("\"facility\":");
    json.latin1String(message.priority->facilityKeyword());
    json.raw(",\"severity\":");
    json.latin1String(message.priority->severityKeyword());
    if (message.timestamp) {
        json.raw(",\"timestamp\":\"");
        json.advance(writeRfc3339(json.room(Rfc3339MicrosecondsLength), message.timestamp->utcMs,
                                  message.timestamp->offsetSeconds,
                                  message.timestamp->microseconds));
        json.raw("\"");
    }
    const std::pair<std::string_view, QByteArrayView> fields[] = {
        { ",\"hostname\":", message.hostname },
        { ",\"app\":", message.appName },
        { ",\"procid\":", message.procId },
        { ",\"msgid\":", message.msgId },
    };
    for (const auto &[name, value] : fields) {
        if (!value.isEmpty()) {
            json.raw(name);
            json.latin1String(value);
        }
    }
    if (!message.structuredData.isEmpty())
        writeStructuredData(json, message.structuredData);
    if (const QByteArrayView bytes = message.messageBytes(payload); !bytes.isEmpty()) {
        json.raw(",\"msg\":");
        message.isUtf8(payload) ? json.utf8String(bytes) : json.latin1String(bytes);
    }
    if (!message.problem.isEmpty()) {
        json.raw(",\"problem\":");
        json.utf8String(message.problem.toUtf8());
    }
    json.raw("}");
}

void writeLine(JsonWriter &json, const ArrivalEntry &entry, QByteArrayView payload)
{
    json.raw("{\"time\":\"");
    json.arrivalTime(entry.arrival.timeNs);
    json.raw("\",\"sender\":\"");
    json.sender(entry.arrival);
    json.raw("\",\"bytes\":");
    json.number(entry.bytes);
    json.raw(",\"dropped_before\":");
    json.number(entry.arrival.droppedBefore);
    json.raw(",\"payload\":");
    json.latin1String(payload);
    const SyslogFields message = SyslogFields::read(payload, entry.arrival.timeNs);
    if (message.priority)
        writeSyslog(json, message, payload);
    json.raw("}");
}

} // namespace

QString arrivalJson(const ArrivalEntry &entry, QByteArrayView payload)
{
    JsonWriter json;
    writeLine(json, entry, payload);
    return QString::fromUtf8(json.text());
}

bool writeArrivalsJsonLines(const ArrivalSnapshot &arrivals, QIODevice &out, SaveProgress &progress,
                            QString *readError)
{
    JsonWriter json;
    const ArrivalSnapshot::Read read = arrivals.forEach(
        [&](const ArrivalEntry &entry, QByteArrayView payload) {
            writeLine(json, entry, payload);
            json.raw("\n");
            if (!progress.add(1))
                return false;
            if (json.text().size() < TextBuffer::WriteStep)
                return true;
            const bool written = writeAll(out, json.text());
            json.clear();
            return written;
        },
        readError);
    return read == ArrivalSnapshot::Read::Done && writeAll(out, json.text());
}
