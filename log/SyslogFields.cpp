// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SyslogFields.h"

#include "ByteReader.h"
#include "SyslogTime.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <numeric>

namespace {

// RFC 5424's limits on its header fields.
constexpr qsizetype LongestHostname = 255;
constexpr qsizetype LongestAppName = 48;
constexpr qsizetype LongestProcId = 128;
constexpr qsizetype LongestMsgId = 32;
constexpr qsizetype LongestSdName = 32;
constexpr int LongestVersion = 3; // digits
constexpr qsizetype LongestOctetCount = 5; // a datagram holds at most 65,507 bytes
// RFC 3164's TAG is at most 32 characters; senders write longer program names, but not much.
constexpr qsizetype LongestTag = 64;
constexpr qsizetype LongestSequence = 10; // a device's sequence number, in digits
constexpr qsizetype ShortestZone = 3; // "UTC", "CEST"
constexpr qsizetype LongestZone = 4;
constexpr char Nil = '-';
const QByteArrayView Bom("\xEF\xBB\xBF");

// In a PARAM-VALUE, a backslash before these stands for the character after it.
bool isEscape(char c, char next)
{
    return c == '\\' && (next == '"' || next == '\\' || next == ']');
}

// A character of an RFC 3164 TAG not ended by a colon: alphanumeric, or one that real tags use.
bool isTagChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '-' || c == '_'
        || c == '.' || c == '/';
}

// RFC 5424's PRINTUSASCII.
bool isPrintable(char c)
{
    return c >= '!' && c <= '~';
}

std::optional<SyslogPriority> readPriority(ByteReader &reader, QString *problem)
{
    qsizetype length = 0;
    const std::optional<SyslogPriority> priority =
        SyslogPriority::of(reader.rest(), &length, problem);
    if (priority)
        reader.moveTo(reader.position() + length);
    return priority;
}

// A header field of RFC 5424: "-", or up to 'longest' printable characters. A longer one is still
// kept: what a sender wrote is not hidden for a limit it broke.
enum class FieldRead { Read, TooLong, Unreadable };
FieldRead readField(ByteReader &reader, qsizetype longest, QByteArrayView *field)
{
    const QByteArrayView word = reader.word();
    if (word.isEmpty() || !std::all_of(word.begin(), word.end(), isPrintable))
        return FieldRead::Unreadable;
    if (word != QByteArrayView("-"))
        *field = word;
    if (!reader.take(' '))
        return FieldRead::Unreadable;
    return word.size() > longest ? FieldRead::TooLong : FieldRead::Read;
}

class Decoder
{
public:
    Decoder(QByteArrayView payload, qint64 arrivalNs)
        : m_payload(payload)
        , m_reader(payload)
        , m_arrivalNs(arrivalNs)
    { }

    SyslogFields read()
    {
        skipOctetCount();
        m_message.priority = readPriority(m_reader, &m_message.problem);
        if (!m_message.priority)
            return m_message;
        if (!readRfc5424())
            readRfc3164();
        return m_message;
    }

private:
    // "123 " before "<": the length of what follows, which some senders put on UDP too.
    void skipOctetCount()
    {
        const qsizetype digits = m_reader.numberBefore(" <", LongestOctetCount);
        if (digits == 0)
            return;
        const QByteArrayView number = m_payload.sliced(m_reader.position(), digits);
        const qsizetype counted =
            std::accumulate(number.begin(), number.end(), qsizetype(0),
                            [](qsizetype sum, char digit) { return sum * 10 + (digit - '0'); });
        m_reader.moveTo(m_reader.position() + digits + 1);
        const qsizetype following = m_payload.size() - m_reader.position();
        if (counted != following) {
            m_message.problem = QStringLiteral("the octet count says %1 bytes, and %2 follow")
                                    .arg(counted)
                                    .arg(following);
        }
    }

    void setMessage(qsizetype at)
    {
        m_message.messageOffset = at;
        m_message.hasBom = m_payload.sliced(at).startsWith(Bom);
        // A NUL or a line end that senders put after the message is not part of it.
        qsizetype end = m_payload.size();
        while (end > at
               && (m_payload[end - 1] == '\0' || m_payload[end - 1] == '\n'
                   || m_payload[end - 1] == '\r'))
            --end;
        m_message.messageTrailer = m_payload.size() - end;
    }

    // What did not read, the rest read on.
    void note(const QString &problem)
    {
        m_message.problem +=
            (m_message.problem.isEmpty() ? QString() : QStringLiteral("; ")) + problem;
    }
    // What did not read, after which nothing does.
    bool fail(const QString &problem)
    {
        note(problem);
        return true;
    }
    bool readField(qsizetype longest, QByteArrayView *field, const char *name)
    {
        switch (::readField(m_reader, longest, field)) {
        case FieldRead::Read:
            return true;
        case FieldRead::TooLong:
            note(QStringLiteral("the %1 is longer than %2 characters")
                     .arg(QLatin1String(name))
                     .arg(longest));
            return true;
        case FieldRead::Unreadable:
            break;
        }
        fail(QStringLiteral("the %1 is missing or not printable").arg(QLatin1String(name)));
        return false;
    }

    // RFC 5424; false when the payload is not in that form at all.
    bool readRfc5424()
    {
        const qsizetype start = m_reader.position();
        int version = 0;
        int digits = 0;
        while (digits < LongestVersion && isDigit(m_reader.peek(digits)))
            version = version * 10 + (m_reader.peek(digits++) - '0');
        // A version, then a time or "-": "<13>100 apples" is no RFC 5424 message.
        const bool looksLikeTime = m_reader.peek(digits + 1) == Nil
            || (isDigit(m_reader.peek(digits + 1)) && isDigit(m_reader.peek(digits + 4))
                && m_reader.peek(digits + 5) == '-');
        if (digits == 0 || m_reader.peek() == '0' || m_reader.peek(digits) != ' ' || !looksLikeTime)
            return false;
        m_reader.moveTo(start + digits + 1);
        m_message.format = SyslogFields::Format::Rfc5424;
        m_message.version = version;

        const QByteArrayView time = m_reader.word();
        if (time != QByteArrayView("-")) {
            m_message.timestampText = time;
            m_message.timestamp = rfc3339Time(time);
            if (!m_message.timestamp)
                note(QStringLiteral("the time stamp is not an RFC 3339 time"));
        }
        if (!m_reader.take(' '))
            return fail(QStringLiteral("the message ends after its time stamp"));
        if (!readField(LongestHostname, &m_message.hostname, "host name")
            || !readField(LongestAppName, &m_message.appName, "application name")
            || !readField(LongestProcId, &m_message.procId, "process id")
            || !readField(LongestMsgId, &m_message.msgId, "message id"))
            return true;
        if (!readStructuredData())
            return true;
        if (m_reader.atEnd())
            return true;
        if (!m_reader.take(' '))
            return fail(QStringLiteral("no space between the structured data and the message"));
        setMessage(m_reader.position());
        return true;
    }

    // "-", or elements "[id name="value" ...]"; false with the problem when they do not read.
    bool readStructuredData()
    {
        if (m_reader.take(Nil))
            return true;
        if (m_reader.peek() != '[')
            return !fail(QStringLiteral("the structured data is neither \"-\" nor [...]"));
        while (m_reader.take('[')) {
            SyslogFields::Element element;
            const QByteArrayView id = readName();
            if (id.isEmpty())
                return !fail(QStringLiteral("a structured data element has no valid id"));
            element.id = id;
            while (m_reader.take(' ')) {
                SyslogFields::Parameter parameter;
                const QByteArrayView name = readName();
                if (name.isEmpty() || !m_reader.take('=') || !m_reader.take('"'))
                    return !fail(
                        QStringLiteral("a structured data parameter is not name=\"value\""));
                parameter.name = name;
                if (!readValue(&parameter.value)) {
                    m_message.structuredData.append(element);
                    return !fail(QStringLiteral("a structured data value has no closing quote"));
                }
                element.parameters.append(parameter);
            }
            m_message.structuredData.append(element);
            if (!m_reader.take(']'))
                return !fail(QStringLiteral("the structured data ends before its closing ]"));
        }
        return true;
    }

    // An SD-NAME: 1 to 32 printable characters but '=', ' ', ']' and '"'.
    QByteArrayView readName()
    {
        const qsizetype start = m_reader.position();
        while (isPrintable(m_reader.peek()) && m_reader.peek() != '=' && m_reader.peek() != ']'
               && m_reader.peek() != '"')
            m_reader.moveTo(m_reader.position() + 1);
        const qsizetype length = m_reader.position() - start;
        if (length == 0 || length > LongestSdName)
            return {};
        return m_payload.sliced(start, length);
    }

    // A PARAM-VALUE after its opening quote, up to and past its closing one, which an escaped
    // quote is not; false when the payload ends first.
    bool readValue(QByteArrayView *value)
    {
        const qsizetype start = m_reader.position();
        while (!m_reader.atEnd()) {
            const char c = m_reader.peek();
            if (c == '"') {
                *value = m_payload.sliced(start, m_reader.position() - start);
                m_reader.moveTo(m_reader.position() + 1);
                return true;
            }
            m_reader.moveTo(m_reader.position() + (isEscape(c, m_reader.peek(1)) ? 2 : 1));
        }
        return false;
    }

    // RFC 3164 as senders write it.
    void readRfc3164()
    {
        const qsizetype afterPriority = m_reader.position();
        skipSequenceNumber();
        const qsizetype afterSequence = m_reader.position();
        bool hostBeforeTime = false;
        if (!readTime()) {
            // A device's host before its time: "123: router1: Mar 15 10:41:08: ..."
            const QByteArrayView host = m_reader.word();
            if (host.size() > 1 && host.endsWith(':') && m_reader.take(' ') && readTime()) {
                m_message.hostname = host.chopped(1);
                hostBeforeTime = true;
            } else {
                m_reader.moveTo(afterSequence);
            }
        }
        const bool hasTime = !m_message.timestampText.isEmpty();
        if (hasTime && !hostBeforeTime)
            readHostname();
        const bool hasTag = readTag(hasTime);
        m_message.format = SyslogFields::Format::Rfc3164;
        // No header (RFC 3164, 4.3.3): all that follows the priority is the message, as
        // Python's SysLogHandler sends it.
        setMessage(hasTime || hasTag ? m_reader.position() : afterPriority);
    }

    // A device's number for each message: "123: ".
    void skipSequenceNumber()
    {
        if (const qsizetype digits = m_reader.numberBefore(": ", LongestSequence))
            m_reader.moveTo(m_reader.position() + digits + 2);
    }

    // The time: an RFC 3339 time in its place, or "Mmm dd hh:mm:ss" with a device's marks: "*"
    // for a clock not set, "." for one not in step, and a zone and a colon after it.
    bool readTime()
    {
        const qsizetype start = m_reader.position();
        const bool notSet = m_reader.take('*');
        if (!notSet)
            m_reader.take('.');
        const qsizetype timeStart = m_reader.position();
        std::optional<SyslogFields::Time> time;
        if (isDigit(m_reader.peek()) && m_reader.peek(4) == '-') {
            const QByteArrayView word = m_reader.word();
            time = rfc3339Time(word);
        } else {
            time = bsdTime(m_reader, m_arrivalNs);
            if (time)
                skipZone();
        }
        if (!time) {
            m_reader.moveTo(start);
            return false;
        }
        const qsizetype timeEnd = m_reader.position();
        m_reader.take(':');
        if (!m_reader.take(' ') && !m_reader.atEnd()) {
            m_reader.moveTo(start);
            return false;
        }
        m_message.timestampText = m_payload.sliced(timeStart, timeEnd - timeStart);
        m_message.timestamp = time;
        m_message.timeIsSet = !notSet;
        return true;
    }

    // A zone after the time, as devices write it: "10:41:08.453 UTC:". (The time is taken as the
    // receiver's: a zone's letters do not say its offset.)
    void skipZone()
    {
        const qsizetype afterTime = m_reader.position();
        if (!m_reader.take(' '))
            return;
        const qsizetype zoneStart = m_reader.position();
        QByteArrayView zone = m_reader.word();
        if (zone.endsWith(':'))
            zone = zone.chopped(1);
        const bool isZone = zone.size() >= ShortestZone && zone.size() <= LongestZone
            && std::all_of(zone.begin(), zone.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
        m_reader.moveTo(isZone ? zoneStart + zone.size() : afterTime);
    }

    // The host after the time, unless what follows the time is the program's tag.
    void readHostname()
    {
        const qsizetype start = m_reader.position();
        const QByteArrayView word = m_reader.word();
        const bool isHost = !word.isEmpty() && word.size() <= LongestHostname && !word.endsWith(':')
            && !word.contains('[') && !word.startsWith('%')
            && std::all_of(word.begin(), word.end(), isPrintable) && m_reader.take(' ');
        if (isHost)
            m_message.hostname = word;
        else
            m_reader.moveTo(start);
    }

    // "program[pid]:", "program:", "program[pid]", or a device's "%FACILITY-SEVERITY-MNEMONIC:";
    // after a header, also "program" ended by a space, as rsyslog forwards a tag without a colon
    // (RFC 3164, 4.1.3: the TAG ends at the first character that is not alphanumeric; the others
    // that real tags hold, as in postfix/smtpd and systemd-logind, are let in).
    bool readTag(bool afterHeader)
    {
        const qsizetype start = m_reader.position();
        const QByteArrayView word = m_reader.word();
        if (word.startsWith('%') && word.endsWith(':') && word.count('-') >= 2) {
            const QByteArrayView tag = word.sliced(1).chopped(1);
            const qsizetype firstDash = tag.indexOf('-');
            const qsizetype lastDash = tag.lastIndexOf('-');
            m_message.appName = tag.first(firstDash);
            m_message.msgId = tag.sliced(lastDash + 1);
            m_reader.take(' ');
            return true;
        }
        const bool colon = word.endsWith(':');
        QByteArrayView tag = colon ? word.chopped(1) : word;
        QByteArrayView pid;
        const qsizetype bracket = tag.indexOf('[');
        if (bracket > 0 && tag.endsWith(']')) {
            pid = tag.sliced(bracket + 1, tag.size() - bracket - 2);
            tag = tag.first(bracket);
        }
        const bool tagChars = std::all_of(tag.begin(), tag.end(), [colon](char c) {
            return colon ? isPrintable(c) && c != '[' && c != ']' && c != ':' : isTagChar(c);
        });
        if (tag.isEmpty() || tag.size() > LongestTag || !tagChars
            || (!colon && pid.isEmpty() && !afterHeader)
            || !std::all_of(pid.begin(), pid.end(), isPrintable)) {
            m_reader.moveTo(start);
            return false;
        }
        m_message.appName = tag;
        m_message.procId = pid;
        m_reader.take(' ');
        return true;
    }

    QByteArrayView m_payload;
    ByteReader m_reader;
    qint64 m_arrivalNs;
    SyslogFields m_message;
};

} // namespace

QLatin1String SyslogFields::formatName(Format format)
{
    switch (format) {
    case Format::Rfc5424:
        return QLatin1String("rfc5424");
    case Format::Rfc3164:
        return QLatin1String("rfc3164");
    case Format::NotSyslog:
        break;
    }
    return {};
}

QByteArrayView SyslogFields::messageBytes(QByteArrayView payload) const
{
    if (messageOffset < 0)
        return {};
    const qsizetype start = messageOffset + (hasBom ? Bom.size() : 0);
    return payload.sliced(start, std::max<qsizetype>(0, payload.size() - messageTrailer - start));
}

SyslogFields SyslogFields::read(QByteArrayView payload, qint64 arrivalNs)
{
    return Decoder(payload, arrivalNs).read();
}

QByteArray unescapedValue(QByteArrayView value)
{
    QByteArray bytes;
    bytes.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (isEscape(value[i], i + 1 < value.size() ? value[i + 1] : '\0'))
            ++i;
        bytes += value[i];
    }
    return bytes;
}
