// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PortText.h"

#include "Failure.h"

#include <charconv>
#include <string>

namespace {

constexpr double LargestAcceptedPort = 32000;

// The port box may hold a whole pasted document; a message quotes only its start.
QString quoted(const QString &text)
{
    constexpr qsizetype MaxQuoted = 40;
    if (text.size() <= MaxQuoted)
        return u'"' + text + u'"';
    return u'"' + text.left(MaxQuoted) + QStringLiteral("…\"");
}

Failure overflow(const QString &text)
{
    return Failure(FailureNumber::Overflow,
                   QStringLiteral("Overflow: the number %1 is too large.").arg(quoted(text)));
}

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    int value = base;
    if (u >= '0' && u <= '9')
        value = u - '0';
    else if (u >= 'a' && u <= 'f')
        value = u - 'a' + 10;
    else if (u >= 'A' && u <= 'F')
        value = u - 'A' + 10;
    return value < base ? value : -1;
}

bool isDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// "&H" or "&O" digits from 'pos' on. A value that fits 16 bits is a 16-bit two's-complement
// number (&HFFFF is -1), a larger one up to 32 bits a 32-bit one; leading zeros do not count.
double readRadixNumber(const QString &text, qsizetype pos, int base)
{
    quint64 value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = digitValue(text.at(pos), base);
        if (digit < 0)
            break;
        value = value * quint64(base) + quint64(digit);
        if (value > 0xFFFFFFFFu)
            throw overflow(text);
    }
    if (value <= 0xFFFFu)
        return double(qint16(quint16(value)));
    return double(qint32(quint32(value)));
}

// Optional sign, digits, optional period and digits, optional exponent (E or D) with optional
// sign and digits. The text is rebuilt in the C form that from_chars reads, so the user's locale
// never changes the meaning.
double readDecimalNumber(const QString &text)
{
    std::string number;
    qsizetype pos = 0;
    auto take = [&](char c) {
        number += c;
        ++pos;
    };
    auto atAny = [&](const char *chars) {
        if (pos >= text.size())
            return false;
        for (const char *c = chars; *c; ++c) {
            if (text.at(pos) == QLatin1Char(*c))
                return true;
        }
        return false;
    };

    // from_chars takes a minus sign but no plus sign.
    if (atAny("-"))
        take('-');
    else if (atAny("+"))
        ++pos;

    // Where the first significant digit stands relative to the period: the number's decimal
    // magnitude, which tells an overflow from an underflow when from_chars gives up.
    qint64 magnitude = 0;
    bool significant = false;
    bool anyDigit = false;
    while (pos < text.size() && isDigit(text.at(pos))) {
        significant = significant || text.at(pos) != u'0';
        if (significant)
            ++magnitude;
        anyDigit = true;
        take(char(text.at(pos).unicode()));
    }
    if (atAny(".")) {
        take('.');
        while (pos < text.size() && isDigit(text.at(pos))) {
            if (!significant && text.at(pos) == u'0')
                --magnitude;
            significant = significant || text.at(pos) != u'0';
            anyDigit = true;
            take(char(text.at(pos).unicode()));
        }
    }
    if (!anyDigit)
        return 0;
    if (!significant)
        return 0; // zero, whatever exponent follows

    qint64 exponent = 0;
    if (atAny("EeDd")) {
        ++pos;
        bool negative = false;
        if (atAny("+-"))
            negative = text.at(pos++) == u'-';
        // Saturate: an exponent of a billion already over- or underflows any double.
        while (pos < text.size() && isDigit(text.at(pos))) {
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (text.at(pos).unicode() - '0');
            ++pos;
        }
        if (negative)
            exponent = -exponent;
        number += 'e';
        number += std::to_string(exponent);
    }

    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range) {
        if (magnitude + exponent > 0)
            throw overflow(text);
        return 0; // too small to be told from zero
    }
    return value;
}

} // namespace

double ReadLeadingNumber(const QString &text)
{
    QString compact = text;
    compact.removeIf([](QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; });

    if (compact.size() >= 2 && compact.at(0) == u'&') {
        const QChar radix = compact.at(1).toUpper();
        if (radix == u'H')
            return readRadixNumber(compact, 2, 16);
        if (radix == u'O')
            return readRadixNumber(compact, 2, 8);
    }
    return readDecimalNumber(compact);
}

bool IsPortAccepted(double value)
{
    return value > 0 && value <= LargestAcceptedPort;
}
