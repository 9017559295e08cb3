// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SyslogFields.h"

#include "TimeStamps.h"

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
constexpr std::array<const char *, 12> Months { "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
constexpr int MillisecondDigits = 3;
constexpr int MicrosecondDigits = 6;
constexpr int MicrosecondsPerMs = 1000;
constexpr int LastHour = 23;
constexpr int LastMinute = 59;
constexpr int LastSecond = 60; // a leap second
constexpr qint64 HalfYearMs = 182 * MsPerDay;
const QByteArrayView Bom("\xEF\xBB\xBF");

// The year of a moment given as milliseconds since the epoch, in the zone it was shifted to.
qint64 yearOf(qint64 shiftedMs)
{
    qint64 days = shiftedMs / MsPerDay;
    if (shiftedMs % MsPerDay < 0)
        --days;
    return civilFromDays(days).year;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

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

// Whether the proleptic Gregorian calendar has the date: unlike QDate's, it has a year 0, which
// RFC 3339 allows.
bool isCivilDate(int year, int month, int day)
{
    static constexpr std::array<int, 12> DaysInMonth { 31, 28, 31, 30, 31, 30,
                                                       31, 31, 30, 31, 30, 31 };
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month >= 1 && month <= 12 && day >= 1
        && day <= DaysInMonth[std::size_t(month - 1)] + (month == 2 && leap ? 1 : 0);
}

// RFC 5424's PRINTUSASCII.
bool isPrintable(char c)
{
    return c >= '!' && c <= '~';
}

// The bytes of the payload, read from the front.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes)
        : m_bytes(bytes)
    { }

    bool atEnd() const { return m_at >= m_bytes.size(); }
    qsizetype position() const { return m_at; }
    void moveTo(qsizetype position) { m_at = position; }
    char peek(qsizetype ahead = 0) const
    {
        return m_at + ahead < m_bytes.size() ? m_bytes[m_at + ahead] : '\0';
    }
    bool take(char c)
    {
        if (atEnd() || m_bytes[m_at] != c)
            return false;
        ++m_at;
        return true;
    }
    // Up to, not including, the next space or the end.
    QByteArrayView word()
    {
        const qsizetype start = m_at;
        while (!atEnd() && m_bytes[m_at] != ' ')
            ++m_at;
        return m_bytes.sliced(start, m_at - start);
    }
    // 'count' digits as a number, or -1 when they are not there.
    int digits(int count)
    {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            if (!isDigit(peek(i)))
                return -1;
            value = value * 10 + (peek(i) - '0');
        }
        m_at += count;
        return value;
    }
    QByteArrayView rest() const { return m_bytes.sliced(std::min(m_at, m_bytes.size())); }
    // How many digits a number of at most 'most' digits here has, when 'after' follows it; else 0.
    qsizetype numberBefore(QByteArrayView after, qsizetype most) const
    {
        qsizetype count = 0;
        while (count <= most && isDigit(peek(count)))
            ++count;
        return count > 0 && count <= most && rest().sliced(count).startsWith(after) ? count : 0;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

std::optional<SyslogPriority> readPriority(Reader &reader, QString *problem)
{
    qsizetype length = 0;
    const std::optional<SyslogPriority> priority =
        SyslogPriority::of(reader.rest(), &length, problem);
    if (priority)
        reader.moveTo(reader.position() + length);
    return priority;
}

// An RFC 3339 time: "2026-12-08T19:45:39.267317+00:00", or with "Z"; to the microsecond.
std::optional<SyslogFields::Time> rfc3339(QByteArrayView text)
{
    Reader reader(text);
    const int year = reader.digits(4);
    if (year < 0 || !reader.take('-'))
        return std::nullopt;
    const int month = reader.digits(2);
    if (!reader.take('-'))
        return std::nullopt;
    const int day = reader.digits(2);
    if (!(reader.take('T') || reader.take('t')))
        return std::nullopt;
    const int hour = reader.digits(2);
    if (!reader.take(':'))
        return std::nullopt;
    const int minute = reader.digits(2);
    if (!reader.take(':'))
        return std::nullopt;
    const int second = reader.digits(2);
    int ms = 0;
    int microseconds = -1;
    if (reader.take('.')) {
        int fraction = 0; // in microseconds
        int fractionDigits = 0;
        for (; isDigit(reader.peek()); ++fractionDigits) {
            if (fractionDigits < MicrosecondDigits)
                fraction = fraction * 10 + (reader.peek() - '0');
            reader.moveTo(reader.position() + 1);
        }
        if (fractionDigits == 0)
            return std::nullopt;
        for (int i = fractionDigits; i < MicrosecondDigits; ++i)
            fraction *= 10;
        ms = fraction / MicrosecondsPerMs;
        if (fractionDigits > MillisecondDigits)
            microseconds = fraction % MicrosecondsPerMs;
    }
    int offsetSeconds = 0;
    if (!(reader.take('Z') || reader.take('z'))) {
        const char sign = reader.peek();
        if (sign != '+' && sign != '-')
            return std::nullopt;
        reader.moveTo(reader.position() + 1);
        const int offsetHours = reader.digits(2);
        if (!reader.take(':'))
            return std::nullopt;
        const int offsetMinutes = reader.digits(2);
        if (offsetHours < 0 || offsetHours > LastHour || offsetMinutes < 0
            || offsetMinutes > LastMinute)
            return std::nullopt;
        offsetSeconds = (offsetHours * SecondsPerHour + offsetMinutes * SecondsPerMinute)
            * (sign == '-' ? -1 : 1);
    }
    if (!reader.atEnd() || !isCivilDate(year, month, day)
        || !QTime::isValid(hour, minute, second, ms))
        return std::nullopt;
    const qint64 localMs = daysFromCivil(year, month, day) * MsPerDay
        + (qint64(hour) * SecondsPerHour + qint64(minute) * SecondsPerMinute + second) * MsPerSecond
        + ms;
    return SyslogFields::Time { localMs - qint64(offsetSeconds) * MsPerSecond, offsetSeconds,
                                microseconds };
}

// "Mmm dd hh:mm:ss", "Mmm dd yyyy hh:mm:ss", each with a fraction or not: RFC 3164's time and
// devices' forms of it. A time without a year goes in the year that puts it nearest the arrival.
std::optional<SyslogFields::Time> bsdTime(Reader &reader, qint64 arrivalNs)
{
    const auto month = std::find_if(Months.begin(), Months.end(), [&](const char *name) {
        return reader.peek() == name[0] && reader.peek(1) == name[1] && reader.peek(2) == name[2];
    });
    if (month == Months.end() || reader.peek(3) != ' ')
        return std::nullopt;
    const qsizetype start = reader.position();
    reader.moveTo(start + 4);
    reader.take(' '); // a day below 10, padded with a space
    int day = reader.digits(2);
    if (day < 0)
        day = reader.digits(1);
    std::optional<int> year;
    if (day < 0 || !reader.take(' ')) {
        reader.moveTo(start);
        return std::nullopt;
    }
    if (isDigit(reader.peek()) && isDigit(reader.peek(3)) && reader.peek(4) == ' ') {
        const int digits = reader.digits(4);
        if (digits < 0) {
            reader.moveTo(start);
            return std::nullopt;
        }
        year = digits;
        reader.take(' ');
    }
    const int hour = reader.digits(2);
    const bool colons = reader.take(':');
    const int minute = reader.digits(2);
    const bool colon = reader.take(':');
    const int second = reader.digits(2);
    if (hour < 0 || !colons || minute < 0 || !colon || second < 0) {
        reader.moveTo(start);
        return std::nullopt;
    }
    int ms = 0;
    if (reader.peek() == '.' && isDigit(reader.peek(1))) {
        reader.take('.');
        int fractionDigits = 0;
        for (; isDigit(reader.peek()); ++fractionDigits) {
            if (fractionDigits < 3)
                ms = ms * 10 + (reader.peek() - '0');
            reader.moveTo(reader.position() + 1);
        }
        for (int i = fractionDigits; i < 3; ++i)
            ms *= 10;
    }
    const int monthNumber = int(month - Months.begin()) + 1;
    if (hour > LastHour || minute > LastMinute || second > LastSecond)
        return std::nullopt;
    // The time as the receiver's clock would read it, in the year nearest the arrival, placed
    // with the receiver's offset from UTC at that time: across a change to or from daylight
    // saving time, the arrival's offset would put it an hour out.
    const qint64 arrivalMs = floorMs(arrivalNs);
    const int offset = localOffsetSeconds(arrivalMs);
    const qint64 msOfDay =
        (qint64(hour) * SecondsPerHour + qint64(minute) * SecondsPerMinute + second) * MsPerSecond
        + ms;
    const auto utcMs = [&](int candidate) {
        const qint64 localMs =
            daysFromCivil(candidate, monthNumber, day) * SecondsPerDay * MsPerSecond + msOfDay;
        const qint64 near = localMs - qint64(offset) * MsPerSecond;
        return localMs - qint64(localOffsetSeconds(near)) * MsPerSecond;
    };
    std::optional<qint64> nearest;
    const auto consider = [&](int candidate) {
        if ((year && candidate != *year) || !isCivilDate(candidate, monthNumber, day))
            return;
        const qint64 candidateMs = utcMs(candidate);
        if (!nearest || std::llabs(candidateMs - arrivalMs) < std::llabs(*nearest - arrivalMs))
            nearest = candidateMs;
    };
    // The same date a year before or after is at least 365 days away from this one: when this
    // one is within half a year of the arrival, neither can be nearer.
    const int arrivalYear = int(yearOf(arrivalMs + qint64(offset) * MsPerSecond));
    consider(arrivalYear);
    if (!nearest || std::llabs(*nearest - arrivalMs) > HalfYearMs) {
        consider(arrivalYear - 1);
        consider(arrivalYear + 1);
    }
    if (year && !nearest && isCivilDate(*year, monthNumber, day))
        nearest = utcMs(*year);
    if (!nearest)
        return std::nullopt;
    return SyslogFields::Time { *nearest, localOffsetSeconds(*nearest) };
}

// A header field of RFC 5424: "-", or up to 'longest' printable characters. A longer one is still
// kept: what a sender wrote is not hidden for a limit it broke.
enum class FieldRead { Read, TooLong, Unreadable };
FieldRead readField(Reader &reader, qsizetype longest, QByteArrayView *field)
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
            m_message.timestamp = rfc3339(time);
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
            time = rfc3339(word);
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
    Reader m_reader;
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
